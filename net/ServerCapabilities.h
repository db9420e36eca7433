#pragma once
// What a server announces it can do: one keyword a line, with parameters
// separated by blanks. The lines are the data lines of a POP3 CAPA reply
// (RFC 2449 section 5) or the lines of an SMTP EHLO reply after the first
// (RFC 5321 section 4.1.1.1):
//     C: CAPA                        C: EHLO host.example.org
//     S: +OK Capability list follows S: 250-smtp.example.org
//     S: TOP                         S: 250-PIPELINING
//     S: SASL PLAIN LOGIN            S: 250-AUTH PLAIN LOGIN
//     S: PIPELINING                  S: 250 STARTTLS
//     S: .
// Keywords are compared without regard to case, as both RFCs say.
//
// Nothing here raises.
#include <QByteArray>
#include <QList>

class SmtpReply;

class ServerCapabilities
{
public:
    ServerCapabilities() = default;
    // Lines with or without their line ends; a POP3 end line "." is no
    // capability.
    explicit ServerCapabilities(const QList<QByteArray> &lines);
    // The extensions of an EHLO reply: its lines after the greeting line.
    static ServerCapabilities FromEhlo(const SmtpReply &reply);

    bool Has(const QByteArray &keyword) const;
    // The parameters of `keyword` ("SASL PLAIN LOGIN" gives PLAIN, LOGIN);
    // empty when it has none or is not announced.
    QList<QByteArray> Parameters(const QByteArray &keyword) const;
    bool isEmpty() const { return m_lines.isEmpty(); }

private:
    const QList<QByteArray> *Find(const QByteArray &keyword) const;

    QList<QList<QByteArray>> m_lines; // each: the keyword in upper case, then its parameters
};
