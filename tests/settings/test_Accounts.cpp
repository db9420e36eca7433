// The account table and the accounts dialog's working copy: compaction in
// both directions, the stored form, and the deletion marker. The edit
// commands are driven through the dialog in KontenFormTest.
#include "platform/core/SettingsKey.h"
#include "settings/AccountsWorkingCopy.h"

#include <QTemporaryDir>
#include <tuple>
#include <gtest/gtest.h>

namespace {
AccountSlot account(const QString &name, int port = 110)
{
    return AccountSlot{name, QStringLiteral("pop.%1.example").arg(name), name + QStringLiteral("-user"),
                       name + QStringLiteral("-pw"), port, QString(), QString(), false, QString(), QString(), QString()};
}

// A store holding just these values of the POP section.
void writePop(const QString &path, std::initializer_list<std::pair<const char *, const char *>> values)
{
    SettingsKey key(path);
    for (const auto &[name, value] : values)
        key.writeString(QStringLiteral("POP"), QLatin1String(name), QLatin1String(value));
    key.flush();
}
}

TEST(AccountsWorkingCopy, GapsCloseUpThroughTheStore)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2.00.ini"));
    AccountTable table;
    table.slot(2) = account(QStringLiteral("Two"));
    table.slot(5) = account(QStringLiteral("Five"), 995);
    table.slot(4).Host = QStringLiteral("host of an empty slot");
    SettingsKey key(path);
    table.write(key, AccountTable::filePlan(true));
    key.writeString(QStringLiteral("POP"), QStringLiteral("Port6"), QStringLiteral("pop3"));
    key.flush();
    table = AccountTable();
    SettingsKey stored(path);
    table.read(stored);
    EXPECT_EQ(table.slot(6).Port, 110);   // not an integer

    AccountsWorkingCopy copy;
    copy.Einlesen(table);
    EXPECT_EQ(copy.filledCount(), 2);
    EXPECT_EQ(copy.names(), QStringList({QStringLiteral("Two"), QStringLiteral("Five")}));
    EXPECT_EQ(copy.entry(2).Passwort, QStringLiteral("Five-pw"));

    copy.applyTo(table);
    EXPECT_EQ(table.names(), copy.names());
    EXPECT_EQ(table.slot(2).Host, QStringLiteral("pop.Five.example"));
    EXPECT_EQ(table.slot(2).Port, 995);
    // Slots behind the accounts lose only their name.
    EXPECT_EQ(table.slot(4).Host, QStringLiteral("host of an empty slot"));

    table.write(stored, AccountTable::filePlan(true));
    stored.flush();
    SettingsKey again(path);
    AccountTable reread;
    reread.read(again);
    EXPECT_EQ(reread.names(), copy.names());
    EXPECT_EQ(reread.slot(2).Port, 995);
    for (int n = 3; n <= 65; ++n)
        EXPECT_EQ(again.readString(QStringLiteral("POP"), QStringLiteral("Konto%1").arg(n)), QString()) << n;
}

// Accounts A, B and C, with A being edited.
class EditingTheFirstOfThree : public ::testing::Test
{
protected:
    EditingTheFirstOfThree()
    {
        AccountTable table;
        for (int n = 1; n <= 3; ++n)
            table.slot(n) = account(QString(QLatin1Char('A' + n - 1)));
        copy.Einlesen(table);
    }
    void SetUp() override { ASSERT_EQ(copy.editByListPosition(0), 1); }
    AccountsWorkingCopy::SaveResult deleteEdited()
    {
        return copy.Temp_Sichern(AccountsWorkingCopy::DeletionMarker, {}, {}, {}, QStringLiteral("110"));
    }

    AccountsWorkingCopy copy;
};

TEST_F(EditingTheFirstOfThree, OnlyTheExactMarkerDeletes)
{
    const auto save = [&](const QString &name) {
        return copy.Temp_Sichern(name, {}, QStringLiteral("pop.example"), {}, QStringLiteral("110"), {},
                                 QStringLiteral("STARTTLS"));
    };
    EXPECT_EQ(save(QStringLiteral("Leer")), AccountsWorkingCopy::SaveResult::Saved);
    EXPECT_EQ(copy.names().first(), QStringLiteral("Leer"));
    EXPECT_EQ(deleteEdited(), AccountsWorkingCopy::SaveResult::Saved);   // deleting needs no server
    EXPECT_EQ(copy.names(), QStringList({QStringLiteral("B"), QStringLiteral("C")}));
}

// A kept account needs its server and a port of 1..65535; nothing of a
// refused save is written.
TEST_F(EditingTheFirstOfThree, RefusedSavesWriteNothing)
{
    using R = AccountsWorkingCopy::SaveResult;
    const std::tuple<const char *, const char *, R> refused[] = {
        {" ", "110", R::HostMissing}, {"pop.example", "0", R::PortInvalid}, {"pop.example", "65536", R::PortInvalid},
        {"pop.example", "11O", R::PortInvalid}, {"pop.example", "", R::PortInvalid}};
    for (const auto &[host, port, result] : refused) {
        SCOPED_TRACE(port);
        EXPECT_EQ(copy.Temp_Sichern(QStringLiteral("X"), {}, QLatin1String(host), {}, QLatin1String(port)), result);
        EXPECT_EQ(copy.entry(1).Bezeichnung, QStringLiteral("A"));
    }
}

TEST_F(EditingTheFirstOfThree, ListPositionsSkipADeletedEntry)
{
    ASSERT_EQ(deleteEdited(), AccountsWorkingCopy::SaveResult::Saved);
    EXPECT_FALSE(copy.editByListPosition(-1).has_value());
    EXPECT_FALSE(copy.editByListPosition(2).has_value());
    EXPECT_EQ(copy.editByListPosition(1), 3);
}

TEST(AccountsWorkingCopy, SecurityGoesWithItsAccount)
{
    // Slot 2 is an account of the design's layout, without Sicherheit2.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2.00.ini"));
    writePop(path, {{"Konto1", "New"}, {"Sicherheit1", "tls"}, {"Konto2", "Old"}, {"Konto3", "Work"},
                    {"Sicherheit3", "STARTTLS"}});
    AccountTable table;
    table.read(SettingsKey(path));
    EXPECT_EQ(table.slot(1).Sicherheit, QStringLiteral("TLS")) << "stored values in any letter case";
    EXPECT_EQ(table.slot(2).Sicherheit, QString());

    AccountsWorkingCopy copy;
    copy.Einlesen(table);
    ASSERT_EQ(copy.editByListPosition(0), 1);
    copy.Temp_Sichern(AccountsWorkingCopy::DeletionMarker, {}, {}, {}, QStringLiteral("995"), {}, QStringLiteral("TLS"));
    copy.applyTo(table);
    SettingsKey key(path);
    table.write(key, AccountTable::filePlan(true));
    key.flush();

    AccountTable reread;
    reread.read(SettingsKey(path));
    EXPECT_EQ(reread.names(), QStringList({QStringLiteral("Old"), QStringLiteral("Work")}));
    EXPECT_EQ(reread.slot(1).Sicherheit, QString()) << "the older account took no value over";
    EXPECT_EQ(reread.slot(2).Sicherheit, QStringLiteral("STARTTLS"));
}

TEST(AccountsWorkingCopy, LoginKindGoesWithItsAccount)
{
    // Slot 2 is an account of the design's layout, without Anmeldeart2.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2.00.ini"));
    writePop(path, {{"Konto1", "Token"}, {"Anmeldeart1", "oauth2"}, {"Konto2", "Old"}, {"Konto3", "Odd"},
                    {"Anmeldeart3", "kerberos"}});
    AccountTable table;
    table.read(SettingsKey(path));
    EXPECT_EQ(table.slot(1).Anmeldeart, QStringLiteral("OAuth2"));
    EXPECT_EQ(table.slot(2).Anmeldeart, QString());
    EXPECT_EQ(table.slot(3).Anmeldeart, QString()) << "an unknown kind logs in with the password";

    AccountsWorkingCopy copy;
    copy.Einlesen(table);
    ASSERT_EQ(copy.editByListPosition(0), 1);
    copy.Temp_Sichern(AccountsWorkingCopy::DeletionMarker, {}, {}, {}, QStringLiteral("110"), {}, {}, {},
                      QStringLiteral("OAuth2"));
    copy.setEditSlot(4);
    ASSERT_EQ(copy.Temp_Sichern(QStringLiteral("Mailbox"), QStringLiteral("me@example.org"),
                                QStringLiteral("pop.example.org"), {}, QStringLiteral("995"),
                                QStringLiteral("token-helper --account me"), QStringLiteral("TLS"), {},
                                QStringLiteral("OAuth2")),
              AccountsWorkingCopy::SaveResult::Saved);
    copy.applyTo(table);
    {
        SettingsKey key(path);
        table.write(key, AccountTable::filePlan(true));
        key.flush();
    }
    const SettingsKey stored(path);
    const auto value = [&](const char *name) {
        return stored.readString(QStringLiteral("POP"), QLatin1String(name), QStringLiteral("(absent)"));
    };
    EXPECT_EQ(value("Konto1"), QStringLiteral("Old"));
    EXPECT_EQ(value("Anmeldeart1"), QStringLiteral("(absent)")) << "the older account took no value over";
    EXPECT_EQ(value("Anmeldeart2"), QStringLiteral("(absent)"));
    EXPECT_EQ(value("Konto3"), QStringLiteral("Mailbox"));
    EXPECT_EQ(value("Anmeldeart3"), QStringLiteral("OAuth2"));
}
