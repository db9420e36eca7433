#pragma once
// Language files for the catalog tests, written byte for byte into a
// temporary folder.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <initializer_list>

class LanguageFolder
{
public:
    LanguageFolder() { EXPECT_TRUE(m_dir.isValid()); }

    QString path() const { return m_dir.path(); }

    // Writes raw bytes to <folder>/name.
    void writeRaw(const QString &name, const QByteArray &bytes) const
    {
        QFile file(QDir(path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    // A language file: header and entry lines joined with CR LF, with a
    // break after the last line.
    void write(const QString &name, const QByteArray &languageName, const QByteArray &code,
               std::initializer_list<QByteArray> entries, const QByteArray &number = "1") const
    {
        QByteArray bytes = languageName + "\r\n" + code + "\r\nheader text\r\n" + number + "\r\n";
        for (const QByteArray &entry : entries)
            bytes += entry + "\r\n";
        writeRaw(name, bytes);
    }

private:
    QTemporaryDir m_dir;
};
