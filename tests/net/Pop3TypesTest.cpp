// The POP3 command and reply types without a server: the lines commands
// make, how status lines are judged, the fields of STAT and LIST, and the
// reply reader with several commands in flight.
#include "NetFailure.h"
#include "QtPrinters.h"
#include "net/Pop3Command.h"
#include "net/Pop3Fields.h"
#include "net/Pop3Reply.h"

#include <gtest/gtest.h>

TEST(Pop3Command, Lines)
{
    const struct
    {
        Pop3Command command;
        QByteArray line;
        bool multiLine;
    } rows[] = {
        {Pop3Command::USER("anna"), "USER anna", false},
        {Pop3Command::PASS(""), "PASS ", false}, // the blank is sent with an empty password
        {Pop3Command::STAT(), "STAT", false},
        {Pop3Command::LIST(7), "LIST 7", false},
        {Pop3Command::TOP(12, 0), "TOP 12 0", true},
        {Pop3Command::RETR(3), "RETR 3", true},
        {Pop3Command::DELE(3), "DELE 3", false},
        {Pop3Command::RSET(), "RSET", false},
        {Pop3Command::QUIT(), "QUIT", false},
        {Pop3Command::CAPA(), "CAPA", true},
        {Pop3Command::PASS("se\r\ncr\net"), "PASS secret", false},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(row.command.Line(), row.line);
        EXPECT_EQ(row.command.MultiLine(), row.multiLine) << row.line.constData();
    }
}

TEST(Pop3Reply, Judged)
{
    const struct
    {
        QByteArray line;
        bool accepted, refused;
    } rows[] = {
        {"+OK 2 320\r\n", true, false}, {"+OK\r\n", true, false},      {"+OK.\r\n", true, false},
        {"x+OKy\n", true, false},       {"-ERR\r\n", false, true},     {"-ERR no such message\r\n", false, true},
        {"-ERROR\r\n", false, false},   {"OK +OK\r\n", false, false}, {"", false, false},
    };
    for (const auto &row : rows) {
        const Pop3Reply reply(row.line);
        EXPECT_EQ(reply.Accepted(), row.accepted) << row.line.constData();
        EXPECT_EQ(reply.Refused(), row.refused) << row.line.constData();
    }
}

TEST(Pop3Reply, Fields)
{
    const Pop3Reply reply("+OK  2   1834\r\n");
    EXPECT_EQ(reply.Field(1), "+OK");
    EXPECT_EQ(reply.Field(2), "2");
    EXPECT_EQ(reply.Field(3), "1834");
    EXPECT_EQ(reply.Field(4), QByteArray());
}

TEST(Pop3Fields, MessageCount)
{
    const struct
    {
        QByteArray stat;
        std::optional<int> count;
    } rows[] = {{"+OK 3 4711\r\n", 3},      {"+OK 0 0\r\n", 0},     {"+OK lots 0\r\n", {}},
                {"+OK 99999999999 0", {}}, {"+OK -3 0\r\n", {}}, {"+OK\r\n", {}}};
    for (const auto &row : rows)
        EXPECT_EQ(Pop3Fields::MessageCount(Pop3Reply(row.stat)), row.count) << row.stat.constData();
}

TEST(Pop3Fields, ListBytes)
{
    EXPECT_EQ(Pop3Fields::ListBytes(Pop3Reply("+OK 2 1834\r\n")), 1834);
    const NetFailure f = failure([] { Pop3Fields::ListBytes(Pop3Reply("-ERR no such message\r\n")); });
    EXPECT_EQ(f.kind, NetError::NotANumber);
    EXPECT_EQ(f.text, "'such' ist kein gültiger ganzzahliger Wert");
}

// Two summaries requested ahead, the first TOP refused: each line goes to
// the reply it belongs to.
TEST(Pop3ReplyReader, RepliesInOrder)
{
    Pop3ReplyReader replies;
    for (int n : {1, 2}) {
        replies.Sent(Pop3Command::TOP(n, 0));
        replies.Sent(Pop3Command::LIST(n));
    }
    EXPECT_EQ(replies.Outstanding(), 4);
    EXPECT_FALSE(replies.TakeStatus("-ERR no such message\r\n").Accepted());
    EXPECT_FALSE(replies.InData()) << "no data follows a refusal";
    EXPECT_EQ(replies.Next().Line(), "LIST 1");
    replies.TakeStatus("-ERR no such message\r\n");
    EXPECT_EQ(replies.Next().Line(), "TOP 2 0");
    EXPECT_TRUE(replies.TakeStatus("+OK\r\n").Accepted());
    ASSERT_TRUE(replies.InData());
    EXPECT_FALSE(replies.TakeData("Subject: x\r\n"));
    EXPECT_FALSE(replies.TakeData("..\r\n")) << "a stuffed dot is data";
    EXPECT_TRUE(replies.TakeData(".\r\n"));
    EXPECT_EQ(replies.Outstanding(), 1);
    EXPECT_EQ(replies.TakeStatus("+OK 2 120\r\n").Field(3), "120");
    EXPECT_EQ(replies.Outstanding(), 0);
}

TEST(Pop3ReplyReader, ClearedWithTheConnection)
{
    Pop3ReplyReader replies;
    replies.Sent(Pop3Command::RETR(1));
    replies.TakeStatus("+OK\r\n");
    replies.Clear();
    EXPECT_EQ(replies.Outstanding(), 0);
    EXPECT_FALSE(replies.InData());
}
