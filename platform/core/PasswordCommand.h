#pragma once
// A password command: a program with its arguments, started without a shell
// when a connection needs a password, whose first line of output is the
// password (or an access token). It lets the password live in any password
// manager instead of the settings.
//
// Writing the command (split()): blanks separate the program and its
// arguments. An argument holding blanks goes in double or single quotes;
// inside single quotes every character stands for itself; elsewhere a
// backslash makes the blank, quote or backslash after it an ordinary
// character and stands for itself before anything else (so C:\tools\x.exe
// needs no doubling). No shell is involved: no variables, no ~, no
// wildcards, no pipes; a command that needs them is written as
// sh -c '...'.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace PasswordCommand {
// The program (first entry) and its arguments; nothing when a quote is not
// closed or the text names no program.
std::optional<QStringList> split(const QString &command);

struct Result
{
    enum class Status {
        Ok,
        BadQuoting, // split() refused the text
        NotStarted, // the program could not be started
        TimedOut,   // it did not finish in time and was ended
        Failed,     // it ended with an exit status other than 0, or crashed
        NoPassword, // it succeeded but its first line is empty
    };
    Status status = Status::NotStarted;
    QByteArray secret;  // Ok: the first output line without its line end
    int exitCode = 0;   // Failed: the exit status (-1 for a crash)
    QString detail;     // NotStarted: the system's reason; Failed: the first line of its error output
};

// Runs the command with no input, waiting (the event loop running, so
// windows stay live) at most timeoutMs milliseconds. Output past the first
// 64 KiB is read and dropped. The secret is never part of `detail`.
Result run(const QString &command, int timeoutMs);
}
