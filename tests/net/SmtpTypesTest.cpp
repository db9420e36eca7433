// The SMTP command and reply types and the capability list without a
// server: command lines, replies of several lines, their bounds, and the
// extensions of EHLO and CAPA replies.
#include "NetFailure.h"
#include "QtPrinters.h"
#include "net/Pop3Reply.h"
#include "net/ServerCapabilities.h"
#include "net/SmtpCommand.h"
#include "net/SmtpReply.h"

#include <gtest/gtest.h>

namespace {

SmtpReply read(const QList<QByteArray> &lines)
{
    SmtpReplyReader reader;
    for (const QByteArray &line : lines)
        if (reader.Take(line) != SmtpReplyReader::Result::More)
            break;
    return reader.TakeReply();
}

}

TEST(SmtpCommand, Lines)
{
    const struct
    {
        SmtpCommand command;
        QByteArray line;
    } rows[] = {
        {SmtpCommand::HELO("host.example.org"), "HELO host.example.org"},
        {SmtpCommand::HELO("evil\r\nRSET"), "HELO evil  RSET"},
        {SmtpCommand::MAIL("a@example.org"), "MAIL FROM:<a@example.org>"},
        {SmtpCommand::RCPT("b@exa\r\nmple.org"), "RCPT TO:<b@example.org>"},
        {SmtpCommand::DATA(), "DATA"},
        {SmtpCommand::EndOfData(), "."},
        {SmtpCommand::RSET(), "RSET"},
        {SmtpCommand::QUIT(), "QUIT"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.command.Line(), row.line);
}

// The code is the first line's; the last line is the one a refusal shows.
TEST(SmtpReply, SeveralLines)
{
    const SmtpReply reply = read({"250-smtp.example.org\r\n", " folded\r\n", "250 HELP\r\n", "not read\r\n"});
    EXPECT_EQ(reply.Code(), 250);
    EXPECT_EQ(reply.Lines().size(), 3);
    EXPECT_EQ(reply.Last(), "250 HELP\r\n");
    EXPECT_EQ(reply.Text(0), "smtp.example.org");
    EXPECT_EQ(reply.Text(1), "folded");
    EXPECT_EQ(reply.Text(2), "HELP");
}

TEST(SmtpReply, Judged)
{
    const struct
    {
        QByteArray line;
        bool negative, incomplete;
    } rows[] = {{"250 OK\r\n", false, false},
                {"354 go ahead\r\n", false, true},
                {"451 try later\r\n", true, true},
                {"554 no\r\n", true, true},
                {"hello\r\n", false, false}}; // no code: taken as it always was
    for (const auto &row : rows) {
        const SmtpReply reply = read({row.line});
        EXPECT_EQ(reply.Negative(), row.negative) << row.line.constData();
        EXPECT_EQ(reply.Incomplete(), row.incomplete) << row.line.constData();
    }
}

TEST(SmtpReplyReader, BoundedInLines)
{
    SmtpReplyReader reader;
    SmtpReplyReader::Result r = SmtpReplyReader::Result::More;
    int lines = 0;
    while (r == SmtpReplyReader::Result::More && lines < 10000) {
        r = reader.Take("220-still greeting\r\n");
        ++lines;
    }
    EXPECT_EQ(r, SmtpReplyReader::Result::TooLong);
    EXPECT_EQ(lines, SmtpReplyReader::MaxLines + 1);
    EXPECT_EQ(reader.TakeReply().Lines().size(), SmtpReplyReader::MaxLines);
}

TEST(SmtpReplyReader, BadNumber)
{
    SmtpReplyReader reader;
    EXPECT_EQ(failure([&] { reader.Take("99999 big\r\n"); }).kind, NetError::BadReplyNumber);
}

TEST(ServerCapabilities, FromEhlo)
{
    const ServerCapabilities caps = ServerCapabilities::FromEhlo(
        read({"250-smtp.example.org greets you\r\n", "250-PIPELINING\r\n", "250-auth PLAIN LOGIN\r\n", "250 STARTTLS\r\n"}));
    EXPECT_TRUE(caps.Has("pipelining"));
    EXPECT_TRUE(caps.Has("STARTTLS"));
    EXPECT_FALSE(caps.Has("SMTP.EXAMPLE.ORG")) << "the greeting line names no extension";
    EXPECT_EQ(caps.Parameters("AUTH"), QList<QByteArray>({"PLAIN", "LOGIN"}));
}

TEST(ServerCapabilities, FromCapa)
{
    const ServerCapabilities caps({"TOP\r\n", "SASL  PLAIN\tLOGIN\r\n", "PIPELINING\r\n", "\r\n", ".\r\n"});
    EXPECT_TRUE(caps.Has("PIPELINING"));
    EXPECT_EQ(caps.Parameters("sasl"), QList<QByteArray>({"PLAIN", "LOGIN"}));
    EXPECT_TRUE(caps.Parameters("TOP").isEmpty());
    EXPECT_FALSE(caps.Has("."));
    EXPECT_FALSE(caps.Has("STLS"));
}
