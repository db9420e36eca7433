// The account table and the accounts dialog's working copy: compaction in
// both directions, the stored form, and the edit commands' slot rules.
#include "platform/core/SettingsKey.h"
#include "settings/AccountsWorkingCopy.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {
using Result = AccountsWorkingCopy::SaveResult;

AccountSlot account(const QString &name, int port = 110)
{
    return AccountSlot{name, QStringLiteral("pop.%1.example").arg(name), name + QStringLiteral("-user"),
                       name + QStringLiteral("-pw"), port};
}

// Opening the dialog: working copy from the table, edit slot at the first free entry.
AccountsWorkingCopy opened(const AccountTable &table)
{
    AccountsWorkingCopy copy;
    copy.Einlesen(table);
    copy.setEditSlot(copy.filledCount() + 1);
    return copy;
}

Result save(AccountsWorkingCopy &copy, const QString &name, const QString &port = QStringLiteral("110"))
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
}

TEST(AccountTable, SlotsAreOneBasedAndNamesFollowSlotOrder)
{
    AccountTable table;
    table.slot(65).Konto = QStringLiteral("Home");
    table.slot(7).Konto = QStringLiteral("Work");
    table.slot(1).Konto = QStringLiteral("Home");
    table.slot(4).Host = QStringLiteral("left over"); // no name: not listed
    EXPECT_EQ(table.names(), QStringList({QStringLiteral("Home"), QStringLiteral("Work"), QStringLiteral("Home")}));
    EXPECT_THROW(table.slot(0), std::out_of_range);
    EXPECT_THROW(table.slot(66), std::out_of_range);
    EXPECT_THROW(AccountsWorkingCopy().entry(66), std::out_of_range);
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
        key.writeString(QStringLiteral("POP"), QStringLiteral("Port6"), QStringLiteral("pop3"));
        key.flush();
    }
    SettingsKey key(path);
    table = AccountTable();
    table.read(key);
    EXPECT_EQ(table.slot(6).Port, 110); // not an integer

    AccountsWorkingCopy copy = opened(table);
    EXPECT_EQ(copy.filledCount(), 2);
    EXPECT_EQ(copy.editSlot(), 3);
    EXPECT_EQ(copy.names(), QStringList({QStringLiteral("Two"), QStringLiteral("Five")}));
    EXPECT_EQ(copy.entry(2).User, QStringLiteral("Five-user"));
    EXPECT_EQ(copy.entry(2).Passwort, QStringLiteral("Five-pw"));
    EXPECT_EQ(copy.entry(2).Port, 995);

    copy.applyTo(table);
    EXPECT_EQ(table.names(), QStringList({QStringLiteral("Two"), QStringLiteral("Five")}));
    EXPECT_EQ(table.slot(2).Host, QStringLiteral("pop.Five.example"));
    EXPECT_EQ(table.slot(2).Port, 995);
    // Slots behind the accounts lose only their name.
    EXPECT_EQ(table.slot(5).Host, QStringLiteral("pop.Five.example"));
    EXPECT_EQ(table.slot(4).Host, QStringLiteral("host of an empty slot"));

    table.write(key, true);
    key.flush();
    SettingsKey again(path);
    AccountTable reread;
    reread.read(again);
    EXPECT_EQ(reread.names(), table.names());
    EXPECT_EQ(reread.slot(2).Port, 995);
    for (int n = 3; n <= 65; ++n)
        EXPECT_EQ(again.readString(QStringLiteral("POP"), QStringLiteral("Konto%1").arg(n)), QString()) << n;
}

TEST(AccountsWorkingCopy, EntriesBehindTheFilledOnesKeepTheirOtherFields)
{
    AccountsWorkingCopy copy = opened(threeAccounts());
    AccountTable one;
    one.slot(4) = account(QStringLiteral("Only"));
    copy.Einlesen(one);
    EXPECT_EQ(copy.names(), QStringList({QStringLiteral("Only")}));
    EXPECT_EQ(copy.entry(2).Host, QStringLiteral("pop.B.example"));
    EXPECT_EQ(copy.entry(3).Port, 995);
}

TEST(AccountsWorkingCopy, DeleteLeavesAGapThatEditSkipsAndNewFills)
{
    AccountTable table = threeAccounts();
    AccountsWorkingCopy copy = opened(table);

    ASSERT_EQ(copy.editByListPosition(1), 2); // delete B
    EXPECT_EQ(copy.Temp_Sichern(AccountsWorkingCopy::DeletionMarker, {}, {}, {}, QStringLiteral("110")), Result::Saved);
    EXPECT_EQ(copy.names(), QStringList({QStringLiteral("A"), QStringLiteral("C")}));

    ASSERT_EQ(copy.editByListPosition(1), 3); // line 1 now shows C, not the gap
    EXPECT_EQ(copy.entry(copy.editSlot()).Bezeichnung, QStringLiteral("C"));
    EXPECT_EQ(save(copy, QStringLiteral("C2"), QStringLiteral("996")), Result::Saved);
    EXPECT_EQ(copy.entry(3).Port, 996);

    ASSERT_TRUE(copy.Neuer_Eintrag());
    EXPECT_EQ(copy.editSlot(), 2);
    EXPECT_EQ(save(copy, QStringLiteral("New"), QStringLiteral("995")), Result::Saved);
    copy.applyTo(table);
    EXPECT_EQ(table.names(), QStringList({QStringLiteral("A"), QStringLiteral("New"), QStringLiteral("C2")}));
    EXPECT_EQ(table.slot(2).Port, 995);
    EXPECT_EQ(table.slot(2).UserID, QStringLiteral("New-u"));
}

TEST(AccountsWorkingCopy, DeletionMarkerIsExactAndRefusedSavesChangeNothing)
{
    AccountsWorkingCopy copy = opened(threeAccounts());
    ASSERT_EQ(copy.editByListPosition(0), 1);
    EXPECT_EQ(save(copy, QStringLiteral("Leer")), Result::Saved);
    EXPECT_EQ(copy.entry(1).Bezeichnung, QStringLiteral("Leer"));
    EXPECT_EQ(save(copy, QStringLiteral("leer")), Result::Saved);
    EXPECT_EQ(copy.names(), QStringList({QStringLiteral("B"), QStringLiteral("C")}));

    EXPECT_FALSE(copy.editByListPosition(-1).has_value());
    EXPECT_FALSE(copy.editByListPosition(2).has_value());
    ASSERT_EQ(copy.editSlot(), 1);
    ASSERT_EQ(copy.editByListPosition(1), 3);
    EXPECT_EQ(save(copy, QString()), Result::NameMissing);
    EXPECT_EQ(save(copy, QStringLiteral("Renamed"), QStringLiteral("abc")), Result::PortInvalid);
    EXPECT_EQ(copy.entry(3).Bezeichnung, QStringLiteral("C"));
    EXPECT_EQ(copy.entry(3).Host, QStringLiteral("pop.C.example"));
    EXPECT_TRUE(AccountsWorkingCopy::portErrorText(QStringLiteral("abc")).contains(QStringLiteral("'abc'")));
}

TEST(AccountsWorkingCopy, FullTableRefusesNewAndSavesPastTheLastEntry)
{
    AccountTable table;
    for (int n = 1; n <= AccountTable::Count; ++n)
        table.slot(n) = account(QStringLiteral("acc%1").arg(n));
    AccountsWorkingCopy copy = opened(table);
    EXPECT_EQ(copy.editSlot(), 66);
    EXPECT_FALSE(copy.Neuer_Eintrag());
    EXPECT_EQ(copy.editSlot(), 66);
    EXPECT_EQ(save(copy, QStringLiteral("one too many")), Result::NoSlot);
    EXPECT_EQ(copy.names(), table.names());

    ASSERT_EQ(copy.editByListPosition(64), 65); // after an edit, Save overwrites that entry
    EXPECT_FALSE(copy.Neuer_Eintrag());
    EXPECT_EQ(save(copy, QStringLiteral("Template")), Result::Saved);
    copy.applyTo(table);
    EXPECT_EQ(table.slot(65).Konto, QStringLiteral("Template"));
    EXPECT_EQ(table.names().size(), 65);
}
