// Password commands: how the text is split into program and arguments, and
// what a run gives for a good command, a failing one, a hanging one, one that
// cannot start and one that prints nothing.
#include "platform/core/PasswordCommand.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using Status = PasswordCommand::Result::Status;

TEST(PasswordCommand, SplitsWordsWithoutAShell)
{
    const struct
    {
        const char *text;
        QStringList words; // empty: refused
    } rows[] = {
        {"prog a b", {"prog", "a", "b"}},
        {"  prog\t a  ", {"prog", "a"}},
        {"prog \"two words\" 'and more'", {"prog", "two words", "and more"}},
        {"prog 'it''s' \"say \\\"hi\\\"\"", {"prog", "its", "say \"hi\""}},
        {"prog 'no \\ escape \"here\"'", {"prog", "no \\ escape \"here\""}},
        {"prog a\\ b \\'q\\' \\\\", {"prog", "a b", "'q'", "\\"}},
        {"C:\\tools\\get.exe mail", {"C:\\tools\\get.exe", "mail"}},
        {"prog \"\" ''", {"prog", "", ""}},
        {"prog $HOME ~ *.txt |", {"prog", "$HOME", "~", "*.txt", "|"}},
        {"prog \"open", {}},
        {"prog 'open", {}},
        {"", {}},
        {"   ", {}},
        {"\"\" arg", {}},
    };
    for (const auto &row : rows) {
        const std::optional<QStringList> words = PasswordCommand::split(QString::fromUtf8(row.text));
        if (row.words.isEmpty()) {
            EXPECT_FALSE(words.has_value()) << row.text;
        } else {
            EXPECT_EQ(words.value_or(QStringList{QStringLiteral("<refused>")}), row.words) << row.text;
        }
    }
}

TEST(PasswordCommand, ARunGivesTheFirstLineOrAReason)
{
    const struct
    {
        const char *command;
        Status status;
        QByteArray secret;
        int exitCode;
        const char *detail; // contained in the detail
    } rows[] = {
        {"sh -c 'printf \"s3cr et\\r\\nsecond line\\n\"'", Status::Ok, "s3cr et", 0, ""},
        {"echo token-123", Status::Ok, "token-123", 0, ""},
        {"printf no-line-end", Status::Ok, "no-line-end", 0, ""},
        {"sh -c 'echo oops: vault locked >&2; exit 3'", Status::Failed, "", 3, "oops: vault locked"},
        {"sh -c 'echo half; echo half >&2; exit 1'", Status::Failed, "", 1, "********"},
        {"sh -c 'kill -9 $$'", Status::Failed, "", -1, ""},
        {"true", Status::NoPassword, "", 0, ""},
        {"sh -c 'echo; echo later'", Status::NoPassword, "", 0, ""},
        {"/nonexistent/password-tool", Status::NotStarted, "", 0, ""},
        {"prog 'unclosed", Status::BadQuoting, "", 0, ""},
    };
    for (const auto &row : rows) {
        const PasswordCommand::Result r = PasswordCommand::run(QString::fromUtf8(row.command), 5000);
        EXPECT_EQ(r.status, row.status) << row.command;
        EXPECT_EQ(r.secret, row.secret) << row.command;
        if (row.status == Status::Failed) {
            EXPECT_EQ(r.exitCode, row.exitCode) << row.command;
        }
        EXPECT_TRUE(r.detail.contains(QString::fromUtf8(row.detail))) << row.command << ": " << r.detail.toStdString();
        EXPECT_FALSE(r.detail.contains(QStringLiteral("half"))) << row.command;
    }
}

TEST(PasswordCommand, AHangingCommandIsEndedAtItsTimeOut)
{
    QElapsedTimer clock;
    clock.start();
    const PasswordCommand::Result r = PasswordCommand::run(QStringLiteral("sleep 30"), 300);
    EXPECT_EQ(r.status, Status::TimedOut);
    EXPECT_TRUE(r.secret.isEmpty());
    EXPECT_GE(clock.elapsed(), 290);
    EXPECT_LT(clock.elapsed(), 3000);
}
