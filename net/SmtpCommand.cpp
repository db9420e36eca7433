#include "net/SmtpCommand.h"

QByteArray SmtpCommand::Mailbox(const QByteArray &address)
{
    QByteArray a = address;
    a.replace('\r', "");
    a.replace('\n', "");
    return a;
}

SmtpCommand SmtpCommand::HELO(const QByteArray &domain)
{
    QByteArray d = domain;
    d.replace('\r', ' ');
    d.replace('\n', ' ');
    return SmtpCommand("HELO " + d);
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
