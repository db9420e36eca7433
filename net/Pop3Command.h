#pragma once
// One POP3 command as it goes on the wire (RFC 1939 section 3): a keyword
// and its argument separated by a blank; the transport adds CR LF. Call
// sites read as the RFC does: Exchange(Pop3Command::TOP(n, 0)).
//
// A command knows the shape of its reply: a status line alone, or, after a
// positive status, data lines up to a line holding only "." (TOP and RETR
// and RFC 2449's CAPA here; LIST and UIDL without an argument have that
// shape too). The reply reader (Pop3Reply.h) goes by it, so that replies to
// several commands in flight are read in the order the commands went out.
//
// An argument never holds CR or LF: they are dropped, so that a user name
// or password cannot end the command early and start one of its own.
//
// Nothing here raises.
#include <QByteArray>

class Pop3Command
{
public:
    enum class Reply { StatusLine, MultiLine };

    // A command without an argument, and one with (the blank is sent also
    // when the argument is empty: "PASS " for an empty password).
    explicit Pop3Command(const QByteArray &keyword, Reply reply = Reply::StatusLine);
    Pop3Command(const QByteArray &keyword, const QByteArray &argument, Reply reply = Reply::StatusLine);

    // RFC 1939 section 7: the login of the AUTHORIZATION state.
    static Pop3Command USER(const QByteArray &name);
    static Pop3Command PASS(const QByteArray &password);
    // Section 5: the TRANSACTION state.
    static Pop3Command STAT();
    static Pop3Command LIST(int message); // the scan listing of one message
    static Pop3Command RETR(int message);
    static Pop3Command DELE(int message);
    static Pop3Command RSET();
    // Section 7: the header and the first `lines` lines of the body.
    static Pop3Command TOP(int message, int lines);
    // Section 6: ends the session; the server then removes what DELE marked.
    static Pop3Command QUIT();
    // RFC 2449 section 5: the capability list, in either state.
    static Pop3Command CAPA();
    // RFC 2595 section 4: TLS on the connection that is open.
    static Pop3Command STLS();
    // RFC 5034 section 4: a SASL exchange with `mechanism`; the server
    // answers "+ " with a challenge, each response is one base64 line.
    static Pop3Command AUTH(const QByteArray &mechanism);
    // With the initial response (base64) on the command line.
    static Pop3Command AUTH(const QByteArray &mechanism, const QByteArray &initialResponse);
    static Pop3Command SaslResponse(const QByteArray &base64);

    // The command line without its line end.
    const QByteArray &Line() const { return m_line; }
    bool MultiLine() const { return m_reply == Reply::MultiLine; }

private:
    QByteArray m_line;
    Reply m_reply;
};
