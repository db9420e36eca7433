#pragma once
// Reading SMTP replies (RFC 5321 section 4.2). Pure code over bytes: the
// client hands over the lines it reads; tests and fuzzers their own.
//
// A reply is one or more lines, each starting with the same three-digit
// code; every line but the last has a "-" after the code:
//     S: 250-smtp.example.org
//     S: 250-PIPELINING
//     S: 250 HELP
// A line that starts with a blank is taken as a continuation as well.
//
// Nothing here raises but SmtpReplyReader::Take.
#include <QByteArray>
#include <QList>

class SmtpReply
{
public:
    // The leading digits of the first line (0 when it starts with none),
    // as the transport reads its ReplyNumber.
    int Code() const { return m_code; }
    // Every line as received, line ends included.
    const QList<QByteArray> &Lines() const { return m_lines; }
    // The last line: the text of a refusal.
    QByteArray Last() const { return m_lines.isEmpty() ? QByteArray() : m_lines.last(); }
    // Line i after its code and the "-" or blank behind it, line end
    // removed. Of an EHLO reply, lines 1 and on name the extensions the
    // server offers (RFC 5321 section 4.1.1.1; see ServerCapabilities).
    QByteArray Text(qsizetype i) const;

    // 4yz (transient) or 5yz (permanent) negative completion, 4.2.1.
    bool Negative() const { return m_code >= 400; }
    // Not a positive completion (2yz) or a reply without a code: a 3yz is
    // not the end of a command that wants none.
    bool Incomplete() const { return m_code >= 300; }

    // A line that another line of the same reply follows.
    static bool IsContinued(const QByteArray &line);

private:
    friend class SmtpReplyReader;
    int m_code = 0;
    QList<QByteArray> m_lines;
};

// Collects the lines of one reply; reuse it for the next one after
// TakeReply(). A reply is bounded in lines and bytes: a server that sends
// "220-" lines without end must not make the client hold them all.
class SmtpReplyReader
{
public:
    static constexpr int MaxLines = 512;
    static constexpr qint64 MaxBytes = 64 * 1024;

    enum class Result {
        More,     // a continued line: the reply goes on
        Complete, // the last line of the reply
        TooLong,  // past MaxLines or MaxBytes; the line was not kept
    };

    // One line with its line end. Throws EProtocolError BadReplyNumber when
    // the first line's number does not fit into 16 bits.
    Result Take(const QByteArray &line);
    // The lines taken so far; the reader is empty again.
    SmtpReply TakeReply();

private:
    SmtpReply m_reply;
    qint64 m_bytes = 0;
};
