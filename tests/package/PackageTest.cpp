// The Debian package as a user gets it: built with CPack from this build,
// unpacked into a temporary root, and the installed program started from
// there by a user who cannot write to its folder (as root the test runs the
// program as "nobody"; otherwise the unpacked tree is made read-only). The
// installed copy must answer --help and --version, check a real POP3 server
// with --check-all from its own per-user folder, and start its windows.
#include "MailServers.h"
#include "platform/core/SettingsKey.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct Ran
{
    int exitCode = -1;
    QByteArray out, err;
};

class PackageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // The user must reach the unpacked tree and own their home.
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                              | QFileDevice::ReadOther | QFileDevice::ExeOther
                                              | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
        home = dir.filePath(QStringLiteral("home"));
        root = dir.filePath(QStringLiteral("root"));
        QDir().mkpath(home);
        if (geteuid() == 0) {
            ASSERT_EQ(::chown(QFile::encodeName(home).constData(), 65534, 65534), 0);
        }
    }

    static bool have(const char *tool) { return !QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(); }

    static Ran run(const QString &program, const QStringList &args, const QProcessEnvironment &env = {},
                   int waitMs = 120000)
    {
        QProcess p;
        if (!env.isEmpty())
            p.setProcessEnvironment(env);
        p.start(program, args);
        Ran r;
        if (!p.waitForFinished(waitMs)) {
            p.kill();
            p.waitForFinished();
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

    // The environment of a user with nothing but this home.
    QProcessEnvironment userEnvironment() const
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        return env;
    }

    // The installed program, started as the unprivileged user.
    Ran asUser(const QStringList &args, const QProcessEnvironment &extra = {}, int waitMs = 120000) const
    {
        QProcessEnvironment env = userEnvironment();
        for (const QString &k : extra.keys())
            env.insert(k, extra.value(k));
        const QString program = root + QStringLiteral("/usr/bin/korvalinthus");
        if (geteuid() != 0)
            return run(program, args, env, waitMs);
        return run(QStringLiteral("setpriv"),
                   QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                               QStringLiteral("--clear-groups"), QStringLiteral("--"), program}
                       + args,
                   env, waitMs);
    }

    QTemporaryDir dir;
    QString home, root;
};

} // namespace

TEST_F(PackageTest, TheInstalledPackageChecksARealServer)
{
    for (const char *tool : {"cpack", "dpkg-deb", "dpkg-shlibdeps", "setpriv", "desktop-file-validate", "appstreamcli"}) {
        if (!have(tool)) {
            if (peersRequired())
                FAIL() << tool << " is missing";
            GTEST_SKIP() << tool << " is missing";
        }
    }
    DovecotServer pop;
    KV_START_PEER(pop.start({{QStringLiteral("anna"), QStringLiteral("secret")}}));
    pop.addMessage(QStringLiteral("anna"), mailMessage("From: Bob <bob@example.org>\r\nSubject: Lunch on Friday\r\n"));
    pop.addMessage(QStringLiteral("anna"), mailMessage("From: Lucky <x@example.net>\r\nSubject: You have won 1000000\r\n"));

    // Build the package from this build folder.
    const QString out = dir.filePath(QStringLiteral("out"));
    const Ran packed = run(QStringLiteral("cpack"), {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                                                     QStringLiteral(KV_TEST_BUILD_DIR "/CPackConfig.cmake"),
                                                     QStringLiteral("-B"), out},
                           {}, 240000);
    ASSERT_EQ(packed.exitCode, 0) << packed.out.toStdString() << packed.err.toStdString();
    const QStringList debs = QDir(out).entryList({QStringLiteral("korvalinthus_*.deb")}, QDir::Files);
    ASSERT_EQ(debs.size(), 1);
    const QString deb = out + QLatin1Char('/') + debs.first();

    const Ran fields = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
    for (const char *needed : {"libqt6widgets6", "libqt6network6", "libqt6multimedia6", "libssl3"})
        EXPECT_TRUE(fields.out.contains(needed)) << needed << " in " << fields.out.toStdString();
    ASSERT_EQ(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root}).exitCode, 0);
    for (const char *file : {"/usr/share/applications/Korvalinthus.desktop",
                             "/usr/share/metainfo/org.quorbell.Korvalinthus.metainfo.xml",
                             "/usr/share/icons/hicolor/48x48/apps/korvalinthus.png",
                             "/usr/lib/korvalinthus/ini/Betreff.ini", "/usr/lib/korvalinthus/language/Deutsch.LNG",
                             "/usr/lib/korvalinthus/help/index.htm"})
        EXPECT_TRUE(QFileInfo::exists(root + QLatin1String(file))) << file;
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/usr/bin/korvalinthus")).isSymLink());
    // What desktops and software centres read must pass their own checks.
    const Ran entry = run(QStringLiteral("desktop-file-validate"),
                          {root + QStringLiteral("/usr/share/applications/Korvalinthus.desktop")});
    EXPECT_EQ(entry.exitCode, 0) << entry.out.toStdString();
    const Ran metainfo = run(QStringLiteral("appstreamcli"),
                             {QStringLiteral("validate"), QStringLiteral("--no-net"),
                              root + QStringLiteral("/usr/share/metainfo/org.quorbell.Korvalinthus.metainfo.xml")});
    EXPECT_EQ(metainfo.exitCode, 0) << metainfo.out.toStdString();
    if (geteuid() != 0)   // a user other than root cannot write to what they did not unpack as theirs
        for (QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext();)
            QFile::setPermissions(it.next(), QFile::permissions(it.filePath()) & ~(QFileDevice::WriteOwner | QFileDevice::WriteUser));

    const Ran version = asUser({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(version.out.trimmed(), QByteArray("korvalinthus " KV_TEST_VERSION));
    const Ran help = asUser({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--check-all"));

    // The stored account, the shipped subject list deleting in the pass.
    const QString settings = home + QStringLiteral("/settings.ini");
    {
        SettingsKey key(settings);
        const auto put = [&key](const char *section, const char *name, const QString &value) {
            key.writeString(QLatin1String(section), QLatin1String(name), value);
        };
        put("POP", "Konto1", QStringLiteral("Anna"));
        put("POP", "Host1", QStringLiteral("127.0.0.1"));
        put("POP", "Port1", QString::number(pop.pop3Port()));
        put("POP", "UserID1", QStringLiteral("anna"));
        put("POP", "Passwort1", QStringLiteral("secret"));
        put("Delete", "Subject", QStringLiteral("1"));
        put("Delete", "AutoKill", QStringLiteral("1"));
        put("Language", "File", QStringLiteral("English.LNG"));
        put("Settings", "First", QStringLiteral("0"));
        key.flush();
    }
    if (geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(settings).constData(), 65534, 65534), 0);
    }
    const Ran pass = asUser({QStringLiteral("--check-all"), QStringLiteral("--settings"), settings});
    EXPECT_EQ(pass.exitCode, 0) << pass.err.toStdString();
    EXPECT_TRUE(pass.out.contains("Lunch on Friday")) << pass.out.toStdString();
    EXPECT_TRUE(pass.out.contains("You have won 1000000, DEL")) << pass.out.toStdString();
    const QList<QByteArray> left = pop.messages(QStringLiteral("anna"));
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(left.first().contains("Lunch on Friday"));

    // It worked from a folder of the user's, filled from the installed one.
    const QString own = home + QStringLiteral("/.local/share/Quorbell/Korvalinthus");
    for (const char *file : {"/ini/Betreff.ini", "/ini/Betreff_User.ini", "/language/Nederlands.LNG", "/temp"})
        EXPECT_TRUE(QFileInfo::exists(own + QLatin1String(file))) << file;
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/usr/lib/korvalinthus/ini/.installed")));

    // The windows start (offscreen) and stay up until they are ended.
    QProcessEnvironment offscreen;
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const Ran gui = asUser({QStringLiteral("--settings"), settings}, offscreen, 3000);
    EXPECT_EQ(gui.exitCode, -1) << "ended by itself: " << gui.err.toStdString();
}
