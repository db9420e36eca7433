#include "net/SmtpCommand.h"

QByteArray SmtpCommand::Mailbox(const QByteArray &address)
{
    QByteArray a = address;
    a.replace('\r', "");
    a.replace('\n', "");
    return a;
}

namespace {
QByteArray oneLine(const QByteArray &text)
{
    QByteArray d = text;
    d.replace('\r', ' ');
    d.replace('\n', ' ');
    return d;
}
}

SmtpCommand SmtpCommand::HELO(const QByteArray &domain)
{
    return SmtpCommand("HELO " + oneLine(domain));
}

SmtpCommand SmtpCommand::EHLO(const QByteArray &domain)
{
    return SmtpCommand("EHLO " + oneLine(domain));
}

SmtpCommand SmtpCommand::MAIL(const QByteArray &reversePath, qint64 size)
{
    return SmtpCommand(MAIL(reversePath).Line() + " SIZE=" + QByteArray::number(size));
}

SmtpCommand SmtpCommand::STARTTLS() { return SmtpCommand("STARTTLS"); }

SmtpCommand SmtpCommand::AUTH(const QByteArray &mechanism, const QByteArray &initialResponse)
{
    QByteArray line = "AUTH " + Mailbox(mechanism);
    if (!initialResponse.isEmpty())
        line += ' ' + Mailbox(initialResponse);
    return SmtpCommand(line);
}

SmtpCommand SmtpCommand::SaslResponse(const QByteArray &base64)
{
    return SmtpCommand(Mailbox(base64));
}

SmtpCommand SmtpCommand::MAIL(const QByteArray &reversePath)
{
    return SmtpCommand("MAIL FROM:<" + Mailbox(reversePath) + ">");
}

SmtpCommand SmtpCommand::RCPT(const QByteArray &forwardPath)
{
    return SmtpCommand("RCPT TO:<" + Mailbox(forwardPath) + ">");
}
SmtpCommand SmtpCommand::DATA() { return SmtpCommand("DATA"); }
SmtpCommand SmtpCommand::EndOfData() { return SmtpCommand("."); }
SmtpCommand SmtpCommand::RSET() { return SmtpCommand("RSET"); }
SmtpCommand SmtpCommand::QUIT() { return SmtpCommand("QUIT"); }
