// The logic libraries linked alone, without Qt Widgets and without any
// windows library (the check logic included): this program only links while they need no widget. Each
// test uses a little of one of them, so that its code is pulled in.
#include "check/AppServices.h"
#include "check/CertificateQuestion.h"
#include "lang/KvLanguage.h"
#include "net/PeerCertificate.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/WavePlayer.h"
#include "platform/core/SettingsKey.h"
#include "rules/Classifier.h"
#include "settings/SettingsStore.h"
#include "support/RichLog.h"
#include "viewer/AttachmentTypes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

TEST(LogicOnly, StoreLoads)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2.00.ini"));
    writeFile(path, "[Language]\nFile=English\n[Check]\nCheck_Time=120000\n[POP]\nKonto1=Home\n");
    SettingsKey key(path);
    Settings settings;
    AccountTable accounts;
    EXPECT_EQ(SettingsStore::load(key, settings, accounts), QStringLiteral("English"));
    EXPECT_EQ(settings.Check_Time, 120000);
    EXPECT_EQ(accounts.names(), QStringList{QStringLiteral("Home")});
}

TEST(LogicOnly, CatalogLooksUp)
{
    QTemporaryDir dir;
    writeFile(QDir(dir.path()).filePath(QStringLiteral("Test.LNG")),
              "Testish\r\nT\r\n\r\n1\r\n3,Three\r\n7,Seven\r\n");
    TKvLanguage catalog(nullptr);
    catalog.setPath(dir.path());
    catalog.setFileName(QStringLiteral("Test"));
    ASSERT_TRUE(catalog.isLoaded());
    EXPECT_EQ(catalog.GetText(7), QStringLiteral("Seven"));
    EXPECT_EQ(catalog.GetText(5), QString());
    EXPECT_FALSE(catalog.ChooseLanguage());   // no chooser without the windows
}

TEST(LogicOnly, RulesCountHits)
{
    const QList<QByteArray> entries{"viagra", "lottery", "viagra"};
    EXPECT_EQ(countHits(entries, "Cheap VIAGRA and viagra pills"), 2);
    EXPECT_EQ(countHits(entries, "Meeting at noon"), 0);
}

TEST(LogicOnly, LogDropsItsOldestLines)
{
    RichLog log(QStringLiteral("log"), RichLog::Order::OldestFirst);
    qsizetype dropped = 0;
    QObject::connect(&log, &RichLog::droppedOldest, &log, [&](qsizetype n) { dropped += n; });
    const qsizetype n = RichLog::MaxLines + RichLog::MaxLines / 10 + 1;
    for (qsizetype i = 1; i <= n; ++i)
        log.addLine(QString::number(i));
    EXPECT_EQ(log.lines().size(), RichLog::MaxLines);
    EXPECT_EQ(dropped, n - RichLog::MaxLines);
    EXPECT_EQ(log.texts().first(), QString::number(n - RichLog::MaxLines + 1));
    EXPECT_EQ(log.texts().last(), QString::number(n));
}

TEST(LogicOnly, AttachmentTypeDescribed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("types.ini"));
    writeFile(path, "[.zip]\nName=Archive\n");
    const AttachmentTypeTable table(path);
    EXPECT_EQ(table.describe(QStringLiteral(".zip")), QStringLiteral("Archive"));
}

// The check logic puts a certificate question through the asker the windows
// give it; the prompts only say whether anybody may be asked.
class NoDesktop : public Prompts, public Shell, public WavePlayer
{
public:
    bool canAsk() const override { return true; }
    bool open(const QString &) override { return false; }
    bool start(const QString &, const QStringList &) override { return false; }
    void setFileName(const QString &) override {}
    QString fileName() const override { return {}; }
    void play() override {}

protected:
    void showError(const QString &) override {}
    bool askConfirm(const QString &) override { return false; }
    void showInformation(const QString &) override {}
    int runDialog(QDialog &) override { return 0; }
    QString chooseSaveFile(const QString &, const QString &) override { return {}; }
    QString chooseOpenFile(const QString &, const QString &) override { return {}; }
    QString chooseDirectory() override { return {}; }
};

QStringList g_asked;

bool trustAll(Prompts &, const CertificateQuestion::Texts &texts)
{
    g_asked << texts.details;
    return true;
}

TEST(LogicOnly, CertificateQuestionGoesThroughTheAsker)
{
    int argc = 1;
    char name[] = "test_layers";
    char *argv[] = {name, nullptr};
    QCoreApplication core(argc, argv);
    QTemporaryDir dir;
    NoDesktop desktop;
    SettingsKey key(dir.filePath(QStringLiteral("2.00.ini")));
    AppServices app(dir.path(), desktop, desktop, key, desktop);
    TKvLanguage catalog(nullptr);
    PeerCertificate peer;
    peer.host = QStringLiteral("pop.example.org");
    peer.port = 995;
    peer.sha256 = QByteArray(32, '\x5a');
    peer.reasons << QStringLiteral("self-signed");

    using Q = CertificateQuestion::Repeat;
    EXPECT_EQ(CertificateQuestion::ask(app, catalog, peer, Q::Always), CertificateQuestion::NotAsked);
    app.askCertificate = &trustAll;
    EXPECT_EQ(CertificateQuestion::ask(app, catalog, peer, Q::Always), CertificateQuestion::Trusted);
    ASSERT_EQ(g_asked.size(), 1);
    EXPECT_TRUE(g_asked.first().contains(QStringLiteral("pop.example.org:995")));
    EXPECT_EQ(app.settings.certificates.trusted(peer.host, peer.port), peer.sha256);
    EXPECT_EQ(CertificateQuestion::ask(app, catalog, peer, Q::Always), CertificateQuestion::AlreadyTrusted);
    EXPECT_EQ(g_asked.size(), 1);
}

} // namespace
