#pragma once
// Language files for the catalog tests, written byte for byte into a
// temporary folder.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <initializer_list>

class LanguageFolder
{
public:
    LanguageFolder() { EXPECT_TRUE(m_dir.isValid()); }
    QString path() const { return m_dir.path(); }

    void writeRaw(const QString &name, const QByteArray &bytes) const
    {
        QFile file(QDir(path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    // A language file: header (its number 1) and entry lines, each ended by CR LF.
    void write(const QString &name, const QByteArray &languageName, const QByteArray &code,
               std::initializer_list<QByteArray> entries) const
    {
        QByteArray bytes = languageName + "\r\n" + code + "\r\nheader text\r\n1\r\n";
        for (const QByteArray &entry : entries)
            bytes += entry + "\r\n";
        writeRaw(name, bytes);
    }

private:
    QTemporaryDir m_dir;
};
