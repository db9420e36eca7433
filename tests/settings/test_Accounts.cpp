// The account table and the accounts dialog's working copy: compaction in
// both directions, the stored form, and the edit commands' slot rules.
#include "platform/core/SettingsKey.h"
#include "settings/AccountsWorkingCopy.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {
AccountSlot account(const QString &name, int port = 110)
{
    return AccountSlot{name, QStringLiteral("pop.") + name + QStringLiteral(".example"), name + QStringLiteral("-user"),
                       name + QStringLiteral("-pw"), port};
}

// Opens the dialog: working copy from the table, edit slot at the first free entry.
AccountsWorkingCopy opened(const AccountTable &table)
{
    AccountsWorkingCopy copy;
    copy.Einlesen(table);
    copy.setEditSlot(copy.filledCount() + 1);
    return copy;
}

AccountsWorkingCopy::SaveResult save(AccountsWorkingCopy &copy, const QString &name, const QString &port = QStringLiteral("110"))
{
    return copy.Temp_Sichern(name, name + QStringLiteral("-u"), name + QStringLiteral("-h"), name + QStringLiteral("-p"), port);
}

AccountTable threeAccounts()
{
    AccountTable table;
    table.slot(1) = account(QStringLiteral("A"));
    table.slot(2) = account(QStringLiteral("B"));
    table.slot(3) = account(QStringLiteral("C"), 995);
    return table;
}

using Result = AccountsWorkingCopy::SaveResult;
}

TEST(AccountTable, SlotsAreOneBasedAndBounded)
{
    AccountTable table;
    table.slot(1).Konto = QStringLiteral("first");
    table.slot(AccountTable::Count).Konto = QStringLiteral("last");
    EXPECT_EQ(table.names(), QStringList({QStringLiteral("first"), QStringLiteral("last")}));
    EXPECT_THROW(table.slot(0), std::out_of_range);
    EXPECT_THROW(table.slot(AccountTable::Count + 1), std::out_of_range);
    AccountsWorkingCopy copy;
    EXPECT_THROW(copy.entry(0), std::out_of_range);
    EXPECT_THROW(copy.entry(AccountsWorkingCopy::Count + 1), std::out_of_range);
}

TEST(AccountTable, NamesFollowSlotOrderAndKeepDuplicates)
{
    AccountTable table;
    table.slot(7).Konto = QStringLiteral("Work");
    table.slot(2).Konto = QStringLiteral("Home");
    table.slot(9).Konto = QStringLiteral("Home");
    table.slot(4).Host = QStringLiteral("left over"); // no name: not listed
    EXPECT_EQ(table.names(), QStringList({QStringLiteral("Home"), QStringLiteral("Work"), QStringLiteral("Home")}));
}

TEST(AccountTable, StoredFormRoundTripsAndMissingPortsAre110)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2.00.ini"));
    AccountTable table;
    table.slot(1) = account(QStringLiteral("Home, \"main\""), 995);
    table.slot(65) = account(QStringLiteral("Last"), -1);
    {
        SettingsKey key(path);
        table.write(key, true);
        key.writeString(QStringLiteral("POP"), QStringLiteral("Port3"), QStringLiteral("pop3"));
        key.flush();
    }
    SettingsKey key(path);
    AccountTable read;
    read.read(key);
    for (int n : {1, 65}) {
        EXPECT_EQ(read.slot(n).Konto, table.slot(n).Konto);
        EXPECT_EQ(read.slot(n).Host, table.slot(n).Host);
        EXPECT_EQ(read.slot(n).UserID, table.slot(n).UserID);
        EXPECT_EQ(read.slot(n).Passwort, table.slot(n).Passwort);
        EXPECT_EQ(read.slot(n).Port, table.slot(n).Port);
    }
    EXPECT_EQ(read.slot(3).Port, 110); // not an integer
    EXPECT_EQ(key.readString(QStringLiteral("POP"), QStringLiteral("Konto2")), QString());
}

TEST(AccountsWorkingCopy, SlotsTwoAndFiveBecomeEntriesOneAndTwoThenSlotsOneAndTwo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2.00.ini"));
    AccountTable table;
    table.slot(2) = account(QStringLiteral("Two"));
    table.slot(5) = account(QStringLiteral("Five"), 995);
    table.slot(4).Host = QStringLiteral("host of an empty slot");
    {
        SettingsKey key(path);
        table.write(key, true);
        key.flush();
    }

    AccountsWorkingCopy copy = opened(table);
    EXPECT_EQ(copy.filledCount(), 2);
    EXPECT_EQ(copy.editSlot(), 3);
    EXPECT_EQ(copy.names(), QStringList({QStringLiteral("Two"), QStringLiteral("Five")}));
    EXPECT_EQ(copy.entry(1).Host, table.slot(2).Host);
    EXPECT_EQ(copy.entry(2).User, table.slot(5).UserID);
    EXPECT_EQ(copy.entry(2).Passwort, table.slot(5).Passwort);
    EXPECT_EQ(copy.entry(2).Port, 995);

    copy.applyTo(table);
    EXPECT_EQ(table.names(), QStringList({QStringLiteral("Two"), QStringLiteral("Five")}));
    EXPECT_EQ(table.slot(1).Host, QStringLiteral("pop.Two.example"));
    EXPECT_EQ(table.slot(2).Port, 995);
    // Slots behind the accounts lose only their name.
    EXPECT_TRUE(table.slot(5).Konto.isEmpty());
    EXPECT_EQ(table.slot(5).Host, QStringLiteral("pop.Five.example"));
    EXPECT_EQ(table.slot(4).Host, QStringLiteral("host of an empty slot"));

    SettingsKey key(path);
    table.write(key, true);
    key.flush();
    SettingsKey again(path);
    EXPECT_EQ(again.readString(QStringLiteral("POP"), QStringLiteral("Konto1"), {}), QStringLiteral("Two"));
    EXPECT_EQ(again.readString(QStringLiteral("POP"), QStringLiteral("Konto2"), {}), QStringLiteral("Five"));
    for (int n = 3; n <= 65; ++n)
        EXPECT_EQ(again.readString(QStringLiteral("POP"), QStringLiteral("Konto%1").arg(n)), QString()) << n;
}

TEST(AccountsWorkingCopy, EntriesBehindTheFilledOnesKeepTheirOtherFields)
{
    AccountsWorkingCopy copy = opened(threeAccounts());
    AccountTable one;
    one.slot(4) = account(QStringLiteral("Only"));
    copy.Einlesen(one);
    EXPECT_EQ(copy.filledCount(), 1);
    EXPECT_EQ(copy.names(), QStringList({QStringLiteral("Only")}));
    EXPECT_TRUE(copy.entry(2).Bezeichnung.isEmpty());
    EXPECT_EQ(copy.entry(2).Host, QStringLiteral("pop.B.example"));
    EXPECT_EQ(copy.entry(3).Port, 995);
}

TEST(AccountsWorkingCopy, PortTypedInTheDialogReachesTheTable)
{
    AccountTable table;
    AccountsWorkingCopy copy = opened(table);
    ASSERT_TRUE(copy.Neuer_Eintrag());
    EXPECT_EQ(copy.Temp_Sichern(QStringLiteral("Secure"), QStringLiteral("me"), QStringLiteral("pop.example.com"),
                                QStringLiteral("pw"), QStringLiteral("995")),
              Result::Saved);
    copy.applyTo(table);
    EXPECT_EQ(table.slot(1).Konto, QStringLiteral("Secure"));
    EXPECT_EQ(table.slot(1).Port, 995);
    EXPECT_EQ(table.slot(1).UserID, QStringLiteral("me"));
    EXPECT_EQ(table.slot(1).Host, QStringLiteral("pop.example.com"));
    EXPECT_EQ(table.slot(1).Passwort, QStringLiteral("pw"));
}

TEST(AccountsWorkingCopy, DeleteLeavesAGapThatEditSkipsAndNewFills)
{
    AccountTable table = threeAccounts();
    AccountsWorkingCopy copy = opened(table);

    // Delete B: edit line 1, then save under the deletion marker.
    ASSERT_EQ(copy.editByListPosition(1), 2);
    EXPECT_EQ(copy.Temp_Sichern(AccountsWorkingCopy::DeletionMarker, {}, {}, {}, QStringLiteral("110")), Result::Saved);
    EXPECT_EQ(copy.names(), QStringList({QStringLiteral("A"), QStringLiteral("C")}));
    EXPECT_TRUE(copy.entry(2).Host.isEmpty());

    // Line 1 now shows C, so editing it loads C's entry, not the gap.
    ASSERT_EQ(copy.editByListPosition(1), 3);
    EXPECT_EQ(copy.entry(copy.editSlot()).Bezeichnung, QStringLiteral("C"));
    EXPECT_EQ(copy.entry(copy.editSlot()).Port, 995);
    EXPECT_EQ(save(copy, QStringLiteral("C2"), QStringLiteral("996")), Result::Saved);
    EXPECT_EQ(copy.entry(3).Bezeichnung, QStringLiteral("C2"));
    EXPECT_EQ(copy.entry(3).Port, 996);

    // New takes B's old entry.
    ASSERT_TRUE(copy.Neuer_Eintrag());
    EXPECT_EQ(copy.editSlot(), 2);
    EXPECT_EQ(save(copy, QStringLiteral("New")), Result::Saved);
    copy.applyTo(table);
    EXPECT_EQ(table.names(), QStringList({QStringLiteral("A"), QStringLiteral("New"), QStringLiteral("C2")}));
}

TEST(AccountsWorkingCopy, DeletionMarkerIsExactAndSavingAgainOverwritesTheSameEntry)
{
    AccountsWorkingCopy copy = opened(threeAccounts());
    ASSERT_EQ(copy.editByListPosition(0), 1);
    EXPECT_EQ(save(copy, QStringLiteral("Leer")), Result::Saved);
    EXPECT_EQ(copy.entry(1).Bezeichnung, QStringLiteral("Leer"));
    EXPECT_EQ(save(copy, QStringLiteral("leer ")), Result::Saved);
    EXPECT_EQ(copy.entry(1).Bezeichnung, QStringLiteral("leer "));
    EXPECT_EQ(save(copy, QStringLiteral("leer")), Result::Saved);
    EXPECT_TRUE(copy.entry(1).Bezeichnung.isEmpty());
    EXPECT_EQ(copy.names(), QStringList({QStringLiteral("B"), QStringLiteral("C")}));
}

TEST(AccountsWorkingCopy, RefusedSavesLeaveTheEntryUntouched)
{
    AccountsWorkingCopy copy = opened(threeAccounts());
    ASSERT_EQ(copy.editByListPosition(2), 3);
    EXPECT_EQ(save(copy, QString()), Result::NameMissing);
    EXPECT_EQ(save(copy, QStringLiteral("Renamed"), QStringLiteral("abc")), Result::PortInvalid);
    EXPECT_EQ(save(copy, QStringLiteral("Renamed"), QString()), Result::PortInvalid);
    const TTemp &c = copy.entry(3);
    EXPECT_EQ(c.Bezeichnung, QStringLiteral("C"));
    EXPECT_EQ(c.User, QStringLiteral("C-user"));
    EXPECT_EQ(c.Host, QStringLiteral("pop.C.example"));
    EXPECT_EQ(c.Passwort, QStringLiteral("C-pw"));
    EXPECT_EQ(c.Port, 995);
    EXPECT_TRUE(AccountsWorkingCopy::portErrorText(QStringLiteral("abc")).contains(QStringLiteral("'abc'")));
}

TEST(AccountsWorkingCopy, EditWithoutAMatchingLineChangesNothing)
{
    AccountsWorkingCopy copy = opened(threeAccounts());
    EXPECT_EQ(copy.editSlot(), 4);
    EXPECT_FALSE(copy.editByListPosition(-1).has_value());
    EXPECT_FALSE(copy.editByListPosition(3).has_value());
    EXPECT_EQ(copy.editSlot(), 4);
}

TEST(AccountsWorkingCopy, FullTableRefusesNewAndSavesPastTheLastEntry)
{
    AccountTable table;
    for (int n = 1; n <= AccountTable::Count; ++n)
        table.slot(n) = account(QStringLiteral("acc%1").arg(n));
    AccountsWorkingCopy copy = opened(table);
    EXPECT_EQ(copy.filledCount(), 65);
    EXPECT_EQ(copy.editSlot(), 66);

    EXPECT_FALSE(copy.Neuer_Eintrag());
    EXPECT_EQ(copy.editSlot(), 66);
    EXPECT_EQ(save(copy, QStringLiteral("one too many")), Result::NoSlot);
    copy.setEditSlot(0);
    EXPECT_EQ(save(copy, QStringLiteral("one too many")), Result::NoSlot);
    EXPECT_EQ(copy.names(), table.names());

    // After an edit the slot is valid again and saving overwrites that entry.
    ASSERT_EQ(copy.editByListPosition(64), 65);
    EXPECT_FALSE(copy.Neuer_Eintrag());
    EXPECT_EQ(copy.editSlot(), 65);
    EXPECT_EQ(save(copy, QStringLiteral("Template")), Result::Saved);
    copy.applyTo(table);
    EXPECT_EQ(table.slot(65).Konto, QStringLiteral("Template"));
    EXPECT_EQ(table.names().size(), 65);
}
