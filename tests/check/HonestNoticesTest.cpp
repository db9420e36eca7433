// Notices only to senders the account's own server vouched for: the skip
// decision of the notice run, the run against aiosmtpd with skipped entries
// logged, a pass over all accounts against Dovecot that deletes mail
// carrying Authentication-Results fields, and the switch and the trusted
// names through the real settings and accounts windows.
#include "MailServers.h"
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "check/SenderNotices.h"
#include "net/SmtpClient.h"
#include "settings/KontenForm.h"
#include "settings/NoticeServerFields.h"
#include "settings/SetupForm.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"
#include "support/StringGridView.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace {
using Decision = AuthResults::Decision;

PendingNotices::Entry entry(const QByteArray &sender, const QList<QByteArray> &fields,
                            const QString &host = QStringLiteral("pop.guard.example"),
                            const QString &trusted = QStringLiteral("mx.partner.example"))
{
    PendingNotices list;
    list.add(sender, " Offer", QString(), {fields, host, trusted});
    return list.entries().first();
}

struct SkipRow {
    const char *name;
    QByteArray sender;
    QList<QByteArray> fields;
    QString host;
    bool onlyVouched;
    std::optional<Decision> skipped;
};

void PrintTo(const SkipRow &row, std::ostream *os) { *os << row.name; }

class NoticeSkip : public ::testing::TestWithParam<SkipRow>
{
};

const QString kHost = QStringLiteral("pop.guard.example");
const QByteArray kShop = " Shop <news@shop.example>";
}

TEST_P(NoticeSkip, OnlyVouchedSendersAreTold)
{
    const SkipRow &r = GetParam();
    EXPECT_EQ(SenderNotices::skipReason(entry(r.sender, r.fields, r.host), r.onlyVouched), r.skipped);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NoticeSkip,
    ::testing::Values(
        SkipRow{"DmarcPassOfTheHostsDomain", kShop, {" guard.example; dmarc=pass header.from=shop.example"}, kHost,
                true, std::nullopt},
        SkipRow{"AlignedSpfPassOfAListedName", kShop, {" mx.partner.example; spf=pass smtp.mailfrom=b.shop.example"},
                kHost, true, std::nullopt},
        SkipRow{"PassOfAnUntrustedServer", kShop, {" evil.example; dmarc=pass header.from=shop.example"}, kHost, true,
                Decision::NoTrustedField},
        SkipRow{"NoField", kShop, {}, kHost, true, Decision::NoTrustedField},
        SkipRow{"TrustedFail", kShop, {" pop.guard.example; spf=fail; dmarc=fail"}, kHost, true, Decision::NoPass},
        SkipRow{"SpfPassForAnotherDomain", kShop, {" pop.guard.example; spf=pass smtp.mailfrom=evil.example"}, kHost,
                true, Decision::Unaligned},
        SkipRow{"SwitchedOffUntrusted", kShop, {" evil.example; dmarc=pass"}, kHost, false, std::nullopt},
        SkipRow{"SwitchedOffNoField", kShop, {}, kHost, false, std::nullopt},
        // A display name long enough to cut the stored sender before its
        // address: the From domain still comes from the whole text.
        SkipRow{"LongDisplayName", " " + QByteArray(110, 'N') + " <news@shop.example>",
                {" guard.example; dmarc=pass header.from=shop.example"}, kHost, true, std::nullopt},
        // An address as the POP3 host has no parent domain to trust.
        SkipRow{"AddressHostItself", kShop, {" 127.0.0.1; dmarc=pass"}, QStringLiteral("127.0.0.1"), true,
                std::nullopt},
        SkipRow{"AddressHostNoParent", kShop, {" 0.0.1; dmarc=pass", " x.0.0.1; dmarc=pass"},
                QStringLiteral("127.0.0.1"), true, Decision::NoTrustedField}),
    [](const ::testing::TestParamInfo<SkipRow> &info) { return std::string(info.param.name); });

TEST(NoticeEntry, KeepsAtMostSixteenFieldsAndItsAccount)
{
    const QList<QByteArray> many(20, " pop.guard.example; dmarc=pass");
    const PendingNotices::Entry e = entry(kShop, many);
    EXPECT_EQ(e.authResults.size(), AuthResults::FieldCountLimit);
    EXPECT_EQ(e.pop3Host, kHost);
    EXPECT_EQ(e.trustedIds, QStringLiteral("mx.partner.example"));
}

namespace {
class HonestNotices : public ::testing::Test
{
protected:
    void presetNotices()
    {
        p.presetUsedStore();
        p.on("SMTP", "Send");
        p.on("SMTP", "Host", "127.0.0.1");
        p.on("SMTP", "Port", QByteArray::number(smtp.port()).constData());
        p.on("SMTP", "Adresse", "guard@example.org");
        p.on("SMTP", "Betreff", "Your message was deleted");
    }
    void send() { p.form().But_BeendenClick(p.form().Senden1); }
    QStringList log() { return p.form().RE_Message_Stamm->texts(); }
    QString text(TextId n) { return p.form().text(n); }
    QString skipped(const char *address, TextId reason)
    {
        return text(TextId::NoNoticeTo) + QLatin1Char(' ') + QLatin1String(address) + QStringLiteral(": ")
                + text(reason);
    }
    // Five notices from one account: one vouched for, three refused for
    // each reason, one with a control character in its address.
    void sendMixedNotices()
    {
        KV_START_PEER(smtp.start());
        presetNotices();
        p.start();
        p.show();
        const PendingNotices::Origin account{{}, kHost, QString()};
        auto with = [&](const QByteArray &field) {
            PendingNotices::Origin o = account;
            o.authResults = {field};
            return o;
        };
        p.app->notices.add(" forged@victim.example", " A", QString(), with(" evil.example; dmarc=pass"));
        p.app->notices.add(" Shop <news@shop.example>", " B", QString(),
                           with(" guard.example; spf=pass smtp.mailfrom=news@shop.example"));
        p.app->notices.add(" failed@shop.example", " C", QString(), with(" guard.example; dmarc=fail; spf=softfail"));
        p.app->notices.add(" other@shop.example", " D", QString(), with(" guard.example; spf=pass smtp.mailfrom=x.example"));
        p.app->notices.add(" ev\x1b[2Jil@junk.example", " E", QString(), account);
        send();
        ASSERT_TRUE(smtp.waitForMessages(1));
    }
    // The program over a store with one account "Anna" and the values given.
    void startWithAnna(std::initializer_list<std::array<const char *, 3>> values = {})
    {
        p.presetUsedStore();
        p.account(1, "Anna", "anna", "pw-anna", 110);
        for (const auto &[section, name, value] : values)
            p.on(section, name, value);
        p.start();
        p.show();
    }
    TSetupForm &shownSetup()
    {
        TSetupForm &setup = *p.windows.others.SetupForm;
        setup.show();
        QCoreApplication::processEvents();
        return setup;
    }
    // The accounts window, Anna's entry open for editing.
    TKontenForm &editingAnna()
    {
        TKontenForm &accounts = *p.windows.others.KontenForm;
        accounts.show();
        QCoreApplication::processEvents();
        accounts.ListBox_konten->setCurrentRow(0);
        accounts.But_Edit->click();
        return accounts;
    }
    QString storedAfterClose(const char *section, const char *name)
    {
        p.close();
        return p.reread()->readString(QLatin1String(section), QLatin1String(name), QString());
    }

    SmtpCaptureServer smtp;
    ProgramFixture p;
};
}

TEST_F(HonestNotices, OnlyTheVouchedSenderIsSent)
{
    ASSERT_NO_FATAL_FAILURE(sendMixedNotices());
    if (IsSkipped())
        return;
    EXPECT_FALSE(smtp.waitForMessages(2, 300));
    EXPECT_TRUE(smtp.messages()[0].contains("X-RcptTo: news@shop.example")) << smtp.messages()[0].toStdString();
    EXPECT_EQ(log().first(), QStringLiteral("1") + text(TextId::NoticesSent));   // skipped ones are not counted
    EXPECT_EQ(p.app->notices.count(), 0);
}

TEST_F(HonestNotices, SkippedSendersAreLoggedWithTheReason)
{
    ASSERT_NO_FATAL_FAILURE(sendMixedNotices());
    if (IsSkipped())
        return;
    const QStringList lines = log();
    EXPECT_TRUE(lines.contains(skipped("forged@victim.example", TextId::SkipNoTrustedField)))
            << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains(skipped("failed@shop.example", TextId::SkipNoPass))) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains(skipped("other@shop.example", TextId::SkipNotAligned)))
            << lines.join('\n').toStdString();
    // A control character in the address is shown escaped, not written.
    EXPECT_TRUE(lines.contains(skipped("ev\\x1B[2Jil@junk.example", TextId::SkipNoTrustedField)))
            << lines.join('\n').toStdString();
}

// Nothing to send: the run needs no server and ends without a failure.
TEST_F(HonestNotices, ARunWithEverySenderSkippedTouchesNoServer)
{
    presetNotices(); // the SMTP server is not started: its port is 0
    p.start();
    p.show();
    p.app->notices.add(" forged@victim.example", " A", QString(), {{" evil.example; dmarc=pass"}, kHost, {}});
    p.app->notices.add(" plain@nofield.example", " B");
    send();
    EXPECT_EQ(log().first(), QStringLiteral("0") + text(TextId::NoticesSent));
    EXPECT_TRUE(log().contains(skipped("plain@nofield.example", TextId::SkipNoTrustedField)));
    EXPECT_EQ(p.app->notices.count(), 0);
    EXPECT_FALSE(p.form().SMTP_Versand->Connected());
}

TEST_F(HonestNotices, SwitchedOffEverySenderIsToldAsBefore)
{
    KV_START_PEER(smtp.start());
    presetNotices();
    p.on("SMTP", "Nur_Bestaetigte", "0");
    p.start();
    p.show();
    p.app->notices.add(" forged@victim.example", " A", QString(), {{" evil.example; dmarc=pass"}, kHost, {}});
    p.app->notices.add(" plain@nofield.example", " B");
    send();
    ASSERT_TRUE(smtp.waitForMessages(2));
    EXPECT_TRUE(smtp.messages()[0].contains("X-RcptTo: forged@victim.example"));
    EXPECT_TRUE(smtp.messages()[1].contains("X-RcptTo: plain@nofield.example"));
    EXPECT_EQ(log().first(), QStringLiteral("2") + text(TextId::NoticesSent));
    EXPECT_FALSE(log().join('\n').contains(text(TextId::NoNoticeTo)));
}

namespace {
// A pass over all accounts that deletes every message (subject "WIN ...")
// of one Dovecot account at 127.0.0.1, with notices on.
class HonestPass : public HonestNotices
{
protected:
    void SetUp() override
    {
        KV_START_PEER(pop.start({{"anna", "pw-anna"}}));
        KV_START_PEER(smtp.start());
        pop.addMessage("anna", mailMessage("Authentication-Results: mx.guard.example;\r\n"
                                           "\tspf=pass smtp.mailfrom=friend@vouched.example;\r\n"
                                           "\tdmarc=pass header.from=vouched.example\r\n"
                                           "From: Friend <friend@vouched.example>\r\nSubject: WIN cash\r\n"));
        pop.addMessage("anna", mailMessage("From: Forger <forged@victim.example>\r\n"
                                           "Authentication-Results: evil.example; dmarc=pass header.from=victim.example\r\n"
                                           "Subject: WIN prize\r\n"));
        pop.addMessage("anna", mailMessage("From: plain@nofield.example\r\nSubject: WIN now\r\n"));
        presetNotices();
        p.account(1, "Anna", "anna", "pw-anna", pop.pop3Port());
        p.on("Delete", "Subject_I");
        p.on("Delete", "AutoKill");
        p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN\r\n");
    }
    void pass()
    {
        p.start();
        p.show();
        p.form().But_AlleKontenClick(p.form().But_AlleKonten);
    }
    QList<QByteArray> recipients()
    {
        QList<QByteArray> out;
        for (const QByteArray &m : smtp.messages()) {
            const qsizetype at = m.indexOf("X-RcptTo: ") + 10;
            out << m.mid(at, m.indexOf('\n', at) - at);
        }
        return out;
    }

    DovecotServer pop;
};
}

TEST_F(HonestPass, OnlyTheSenderVouchedByATrustedServerIsTold)
{
    p.on("POP", "Pruefserver1", "mx.guard.example");
    pass();
    ASSERT_TRUE(smtp.waitForMessages(1));
    EXPECT_FALSE(smtp.waitForMessages(2, 300));
    EXPECT_EQ(recipients(), QList<QByteArray>({"friend@vouched.example"}));
    EXPECT_TRUE(pop.messages("anna").isEmpty());   // all three deleted all the same
    const QStringList lines = log();
    EXPECT_TRUE(lines.contains(skipped("forged@victim.example", TextId::SkipNoTrustedField)))
            << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains(skipped("plain@nofield.example", TextId::SkipNoTrustedField)))
            << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.join('\n').contains(skipped("friend@vouched.example", TextId::SkipNoTrustedField)));
    EXPECT_TRUE(lines.contains(QStringLiteral("1") + text(TextId::NoticesSent)));
}

// The check of one account, by rule and by hand, hands the same to the run.
TEST_F(HonestPass, SingleCheckNoticesCarryTheFields)
{
    pop.addMessage("anna", mailMessage("Authentication-Results: mx.guard.example; dmarc=pass\r\n"
                                       "From: Pal <pal@vouched.example>\r\nSubject: Hello\r\n"));
    p.on("POP", "Pruefserver1", "mx.guard.example");
    p.start();
    p.show();
    TStammForm &f = p.form();
    f.But_BeendenClick(f.But_Postfach);
    EXPECT_EQ(p.app->notices.count(), 3);
    f.Tabelle->selectRow(4);
    p.prompts.expectConfirm(true);
    f.But_BeendenClick(f.But_Loeschen);
    ASSERT_EQ(p.app->notices.count(), 4);
    send();
    ASSERT_TRUE(smtp.waitForMessages(2));
    EXPECT_FALSE(smtp.waitForMessages(3, 300));
    EXPECT_EQ(recipients(), QList<QByteArray>({"friend@vouched.example", "pal@vouched.example"}));
    EXPECT_EQ(log().first(), QStringLiteral("2") + text(TextId::NoticesSent));
    EXPECT_TRUE(log().contains(skipped("forged@victim.example", TextId::SkipNoTrustedField)));
}

// A store without the new values: on, and only the account's own host
// (here an address, which has no parent domain) is trusted.
TEST_F(HonestPass, AStoreWithoutTheNewValuesTrustsOnlyTheHost)
{
    pop.addMessage("anna", mailMessage("Authentication-Results: 127.0.0.1; spf=pass smtp.mailfrom=host.example\r\n"
                                       "From: <own@host.example>\r\nSubject: WIN here\r\n"));
    pop.addMessage("anna", mailMessage("Authentication-Results: 0.0.1; dmarc=pass\r\n"
                                       "From: <parent@host.example>\r\nSubject: WIN there\r\n"));
    pass();
    ASSERT_TRUE(smtp.waitForMessages(1));
    EXPECT_FALSE(smtp.waitForMessages(2, 300));
    EXPECT_EQ(recipients(), QList<QByteArray>({"own@host.example"}));
    const QStringList lines = log();
    for (const char *address : {"friend@vouched.example", "forged@victim.example", "plain@nofield.example",
                                "parent@host.example"})
        EXPECT_TRUE(lines.contains(skipped(address, TextId::SkipNoTrustedField))) << address << "\n"
                                                                                  << lines.join('\n').toStdString();
}

TEST_F(HonestNotices, SwitchIsOnInAStoreWithoutIt)
{
    startWithAnna();
    TSetupForm &setup = shownSetup();
    EXPECT_TRUE(setup.NoticeServer->CB_Nur_Bestaetigte->isChecked());
    EXPECT_FALSE(setup.NoticeServer->LNur_Bestaetigte->text().isEmpty());
}

TEST_F(HonestNotices, SwitchedOffIsSaved)
{
    startWithAnna();
    TSetupForm &setup = shownSetup();
    setup.NoticeServer->CB_Nur_Bestaetigte->setChecked(false);
    setup.SBestaetigen->click();
    EXPECT_EQ(storedAfterClose("SMTP", "Nur_Bestaetigte"), QStringLiteral("0"));
}

TEST_F(HonestNotices, TrustedServersAreSavedTrimmed)
{
    startWithAnna();
    TKontenForm &accounts = editingAnna();
    EXPECT_TRUE(accounts.FE_Pruefserver->text().isEmpty());
    accounts.FE_Pruefserver->setText(QStringLiteral(" mx.guard.example, filter.example "));
    accounts.But_Sichern->click();
    accounts.But_Schliessen->click();
    EXPECT_EQ(storedAfterClose("POP", "Pruefserver1"), QStringLiteral("mx.guard.example, filter.example"));
}

TEST_F(HonestNotices, StoredSwitchShowsInTheSettings)
{
    startWithAnna({{"SMTP", "Nur_Bestaetigte", "0"}});
    TSetupForm &setup = shownSetup();
    EXPECT_FALSE(setup.NoticeServer->CB_Nur_Bestaetigte->isChecked());
    setup.SAbbrechen->click();
}

TEST_F(HonestNotices, StoredTrustedServersShowInTheAccount)
{
    startWithAnna({{"POP", "Pruefserver1", "mx.guard.example, filter.example"}});
    TKontenForm &accounts = editingAnna();
    EXPECT_EQ(accounts.FE_Pruefserver->text(), QStringLiteral("mx.guard.example, filter.example"));
    EXPECT_FALSE(accounts.FE_Pruefserver->toolTip().isEmpty());
    accounts.But_Schliessen->click();
}
