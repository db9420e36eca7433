#pragma once
// One SMTP command as it goes on the wire (RFC 5321 section 4.1.1); the
// transport adds CR LF. Call sites read as the RFC does:
// Exchange(SmtpCommand::MAIL(from)).
//
// No argument can end the command early: CR and LF become blanks in the
// HELO and EHLO domain and are dropped from the paths of MAIL and RCPT and
// from SASL responses.
//
// Nothing here raises.
#include <QByteArray>

class SmtpCommand
{
public:
    explicit SmtpCommand(QByteArray line) : m_line(std::move(line)) {}

    static SmtpCommand HELO(const QByteArray &domain);       // 4.1.1.1
    static SmtpCommand EHLO(const QByteArray &domain);       // 4.1.1.1
    // "MAIL FROM:<path> SIZE=n" (RFC 1870) for a server that announced SIZE.
    static SmtpCommand MAIL(const QByteArray &reversePath, qint64 size);
    static SmtpCommand STARTTLS();                           // RFC 3207
    // RFC 4954: "AUTH mechanism" with the initial response when there is one.
    static SmtpCommand AUTH(const QByteArray &mechanism, const QByteArray &initialResponse = {});
    // A line of a SASL exchange (base64, or "*" to cancel).
    static SmtpCommand SaslResponse(const QByteArray &base64);
    static SmtpCommand MAIL(const QByteArray &reversePath);  // 4.1.1.2: "MAIL FROM:<path>"
    static SmtpCommand RCPT(const QByteArray &forwardPath);  // 4.1.1.3: "RCPT TO:<path>"
    static SmtpCommand DATA();                               // 4.1.1.4
    // The line "." that ends the mail data (4.1.1.4): the data always ends
    // with CR LF, so this forms the end sequence CR LF "." CR LF.
    static SmtpCommand EndOfData();
    static SmtpCommand RSET();                               // 4.1.1.5
    static SmtpCommand QUIT();                               // 4.1.1.10

    // The address as it goes between "<" and ">": CR and LF dropped.
    static QByteArray Mailbox(const QByteArray &address);

    // The command line without its line end.
    const QByteArray &Line() const { return m_line; }

private:
    QByteArray m_line;
};
