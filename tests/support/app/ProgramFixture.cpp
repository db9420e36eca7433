#include "app/ProgramFixture.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

namespace {
QString sourceDir()
{
    const QString env = qEnvironmentVariable("KV_SOURCE_DIR");
    if (!env.isEmpty())
        return env;
    return QStringLiteral(KV_TEST_SOURCE_DIR);
}

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
