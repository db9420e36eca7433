#pragma once
// A temporary program folder for the dialog tests: two language files whose
// text n reads "<prefix><n>" (so composed messages can be checked piece by
// piece) and a catalog already pointed at the first one, Testish.LNG.
#include "ScriptedPrompts.h"
#include "lang/KvLanguage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class FormTestFolder
{
public:
    FormTestFolder() : catalog(&prompts)
    {
        EXPECT_TRUE(m_dir.isValid());
        QDir().mkpath(path(QStringLiteral("/language")));
        QDir().mkpath(path(QStringLiteral("/ini")));
        writeLanguage("Testish", "E", "T");
        writeLanguage("Other", "O", "O");
        catalog.setPath(path(QStringLiteral("/language")));
        catalog.setFileName(QStringLiteral("Testish.LNG"));
    }

    QString folder() const { return m_dir.path(); }
    QString path(const QString &relative) const { return m_dir.path() + relative; }
    static QString t(TextId id) { return QStringLiteral("T%1").arg(textNumber(id)); }   // the text of Testish.LNG

    void write(const QString &relative, const QByteArray &bytes) const
    {
        QFile f(path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    ScriptedPrompts prompts;
    TKvLanguage catalog;

private:
    void writeLanguage(const QByteArray &language, const QByteArray &code, const QByteArray &prefix) const
    {
        QByteArray bytes = language + "\r\n" + code + "\r\nheader\r\n1\r\n";
        for (int n = 1; n <= 420; ++n)
            bytes += QByteArray::number(n) + "," + prefix + QByteArray::number(n) + "\r\n";
        write(QStringLiteral("/language/%1.LNG").arg(QLatin1String(language)), bytes);
    }

    QTemporaryDir m_dir;
};
