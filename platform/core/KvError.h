#pragma once
// The one exception family of the program. Every failure that reaches the
// user carries a text that is shown unchanged ("Error: " + text in the logs).
#include <QString>
#include <exception>
#include <string>

class KvError : public std::exception
{
public:
    explicit KvError(QString text) : m_text(std::move(text)), m_utf8(m_text.toStdString()) {}
    const QString &text() const noexcept { return m_text; }
    const char *what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_text;
    std::string m_utf8;
};

// The texts for a file that cannot be read or written, worded once for
// every place that reports one; `reason` is the file's error string.
inline QString fileOpenText(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}

inline QString fileCreateText(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

// The text for a value that should be a whole number and is not (a port, a
// time, a catalog key), worded once for every place that reports one.
inline QString notAnIntegerText(const QString &value)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(value);
}
