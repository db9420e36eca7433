#include "app/ProgramFixture.h"
#include "SourceTree.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

namespace {
void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(from).relativeFilePath(it.filePath());
        if (it.fileInfo().isDir())
            QDir().mkpath(to + QLatin1Char('/') + rel);
        else
            QFile::copy(it.filePath(), to + QLatin1Char('/') + rel);
    }
}
}

ProgramFixture::ProgramFixture()
{
    EXPECT_TRUE(m_dir.isValid());
    copyTree(sourceDir() + QStringLiteral("/data"), programFolder());
    QFile::remove(programFolder() + QStringLiteral("/CMakeLists.txt"));
    QFile::remove(programFolder() + QStringLiteral("/lay.cmake"));
    QDir().mkpath(programFolder() + QStringLiteral("/temp"));
    key = std::make_unique<SettingsKey>(settingsFile());
}

ProgramFixture::~ProgramFixture()
{
    if (windows.StammForm) {
        // Tear down without the close handler: a test that wanted it called close().
        windows.StammForm.reset();
    }
    QCoreApplication::processEvents();
}

void ProgramFixture::preset(const QString &section, const QString &name, const QString &value)
{
    key->writeString(section, name, value);
    key->flush();
}

void ProgramFixture::presetUsedStore()
{
    preset(QStringLiteral("Language"), QStringLiteral("File"), QStringLiteral("English.LNG"));
    preset(QStringLiteral("Settings"), QStringLiteral("First"), QStringLiteral("0"));
    preset(QStringLiteral("Settings"), QStringLiteral("Readme"), QStringLiteral("0"));
}

void ProgramFixture::account(int slot, const QString &name, const QString &user, const QString &password, quint16 port,
                             const QString &security)
{
    const QString n = QString::number(slot);
    const QString pop = QStringLiteral("POP");
    preset(pop, QStringLiteral("Konto") + n, name);
    preset(pop, QStringLiteral("Host") + n, QStringLiteral("127.0.0.1"));
    preset(pop, QStringLiteral("Port") + n, QString::number(port));
    preset(pop, QStringLiteral("UserID") + n, user);
    preset(pop, QStringLiteral("Passwort") + n, password);
    if (!security.isEmpty())
        preset(pop, QStringLiteral("Sicherheit") + n, security);
}

void ProgramFixture::write(const QString &relative, const QByteArray &bytes) const
{
    QFile f(path(relative));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size()) << relative.toStdString();
}

void ProgramFixture::start()
{
    key = std::make_unique<SettingsKey>(settingsFile());
    app = std::make_unique<AppServices>(programFolder(), prompts, shell, *key, player);
    windows = buildWindows(*app);
}

void ProgramFixture::show()
{
    form().show();
    QCoreApplication::processEvents();
}

void ProgramFixture::close()
{
    form().close();
    QCoreApplication::processEvents();
}

std::unique_ptr<SettingsKey> ProgramFixture::reread() const
{
    return std::make_unique<SettingsKey>(settingsFile());
}

QStringList rowCells(const StringGrid &grid, int row, int from, int to)
{
    QStringList out;
    for (int col = from; col <= to; ++col)
        out << grid.cell(col, row);
    return out;
}
