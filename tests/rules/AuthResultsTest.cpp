// Whether the account's own server vouched for a sender: which
// Authentication-Results fields count, and what in them makes a pass.
#include "rules/AuthResults.h"

#include <gtest/gtest.h>

using AuthResults::Decision;

namespace {
struct Row {
    const char *name;
    QList<QByteArray> fields;
    QByteArray from;
    Decision expected;
};

void PrintTo(const Row &row, std::ostream *os) { *os << row.name; }

class AuthDecision : public ::testing::TestWithParam<Row>
{
};

const AuthResults::Trust trust(QStringLiteral("pop.example.net"), QStringLiteral("mx.partner.example, Filter.Example"));
}

TEST_P(AuthDecision, Decides)
{
    const Row &row = GetParam();
    EXPECT_EQ(AuthResults::decide(row.fields, row.from, trust), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AuthDecision,
    ::testing::Values(
        Row{"DmarcPass", {" mx1.example.net; dmarc=pass header.from=shop.example"}, " Shop <news@shop.example>",
            Decision::Vouched},
        Row{"DmarcPassForOtherDomain", {" mx1.example.net; dmarc=pass header.from=evil.example"},
            " Shop <news@shop.example>", Decision::NoPass},
        Row{"SpfPassAligned", {" example.net; spf=pass smtp.mailfrom=bounce@mail.shop.example"},
            " news@shop.example", Decision::Vouched},
        Row{"SpfPassParentOfFrom", {" mx.example.net; spf=pass smtp.mailfrom=shop.example"},
            " <a@eu.shop.example>", Decision::Vouched},
        Row{"SpfPassUnaligned", {" mx.example.net; spf=pass smtp.mailfrom=bulk@sender.example"},
            " news@shop.example", Decision::Unaligned},
        Row{"SpfPassLookalikeSuffix", {" mx.example.net; spf=pass smtp.mailfrom=x@evilshop.example"},
            " news@shop.example", Decision::Unaligned},
        Row{"ForeignAuthservId", {" mx.evil.example; dmarc=pass header.from=shop.example"},
            " news@shop.example", Decision::NoTrustedField},
        Row{"SameSuffixNotParent", {" badexample.net; dmarc=pass"}, " news@shop.example",
            Decision::NoTrustedField},
        Row{"ListedIdAnyCase", {" MX.Partner.Example.; dmarc=pass"}, " news@shop.example", Decision::Vouched},
        Row{"ForgedBeforeTrustedFail",
            {" mx.evil.example; dmarc=pass", " mx.example.net; dmarc=fail header.from=shop.example; spf=softfail"},
            " news@shop.example", Decision::NoPass},
        Row{"SecondFieldTrusted", {" other.example; dmarc=none", " filter.example; dkim=pass; dmarc=pass"},
            " news@shop.example", Decision::Vouched},
        Row{"CommentsQuotesFoldsAndCase",
            {" mx.example.net (Postfix (v3)\r\n\t; dmarc=pass);\r\n SPF=Pass (sender \"ok\"; really)"
             " smtp.mailfrom=\"b@shop.example\""},
            " news@SHOP.example", Decision::Vouched},
        Row{"VersionAfterId", {" mx.example.net 1; dmarc/1=pass"}, " news@shop.example", Decision::Vouched},
        Row{"NoResult", {" mx.example.net; none"}, " news@shop.example", Decision::NoPass},
        Row{"Malformed", {" ;;==; dmarc= ; spf pass; =pass"}, " news@shop.example", Decision::NoTrustedField},
        Row{"MalformedTrusted", {" mx.example.net; dmarc= ; spf pass; =pass; dkim; ;"}, " news@shop.example",
            Decision::NoPass},
        Row{"NoFields", {}, " news@shop.example", Decision::NoTrustedField},
        Row{"UnclosedComment", {" mx.example.net; dmarc=fail (pass; dmarc=pass"}, " news@shop.example",
            Decision::NoPass},
        Row{"NoAddressInFrom", {" mx.example.net; spf=pass smtp.mailfrom=shop.example"}, " Shop",
            Decision::Unaligned}),
    [](const ::testing::TestParamInfo<Row> &info) { return std::string(info.param.name); });

TEST(AuthTrust, TheHostAndItsParentAreTrusted)
{
    const AuthResults::Trust t(QStringLiteral("pop.mail.example.com"), QString());
    EXPECT_TRUE(t.trusts("pop.mail.example.com"));
    EXPECT_TRUE(t.trusts("mail.example.com"));
    EXPECT_TRUE(t.trusts("mx2.mail.example.com"));
    EXPECT_FALSE(t.trusts("example.com"));   // only the first label is dropped
    EXPECT_FALSE(t.trusts(""));
}

// A host of two labels has no parent to trust: "com" would trust everybody.
TEST(AuthTrust, ATwoLabelHostHasNoParent)
{
    const AuthResults::Trust shortHost(QStringLiteral("example.com"), QString());
    EXPECT_TRUE(shortHost.trusts("example.com"));
    EXPECT_FALSE(shortHost.trusts("evil.com"));
    const AuthResults::Trust address(QStringLiteral("192.0.2.7"), QString());
    EXPECT_FALSE(address.trusts("0.2.7"));
    EXPECT_FALSE(address.trusts("x.0.2.7"));
}

TEST(AuthParse, LongFieldIsReadOnlyToTheLimit)
{
    QByteArray value = " mx.example.net";
    for (int i = 0; i < 5000; ++i)
        value += "; spf=fail";
    value += "; dmarc=pass";
    const AuthResults::Field f = AuthResults::parse(value);
    EXPECT_EQ(f.authservId, QByteArray("mx.example.net"));
    EXPECT_EQ(f.results.size(), AuthResults::ResultLimit);
    EXPECT_EQ(AuthResults::decide({value}, " a@example.org", trust), Decision::NoPass);
    // Deep comments end the field's reading but not the program.
    EXPECT_EQ(AuthResults::parse(" mx.example.net; " + QByteArray(100000, '(')).results.size(), 0);
}

// An address as the POP3 host is trusted as itself only: no part of it is a
// parent domain.
TEST(AuthTrust, AnAddressHostHasNoParent)
{
    const struct {
        const char *host;
        const char *id;
        const char *notParents[2];
    } rows[] = {
        {"127.0.0.1", "127.0.0.1", {"0.0.1", "mx.0.0.1"}},
        {"127.0.0.1.", "127.0.0.1", {"0.0.1", "x.0.0.1"}},
        {"10.0.0.0x1", "10.0.0.0x1", {"0.0.0x1", "a.0.0.0x1"}},
        {"10.1.2.0XFF", "10.1.2.0xff", {"1.2.0xff", "a.1.2.0xff"}},
        {"::1", "::1", {"1", ":1"}},
        {"[::1]", "[::1]", {"1]", "::1]"}},
        {"::ffff:192.0.2.7", "::ffff:192.0.2.7", {"0.2.7", "2.7"}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.host);
        const AuthResults::Trust t(QLatin1String(r.host), QString());
        EXPECT_TRUE(t.trusts(r.id));
        for (const char *id : r.notParents)
            EXPECT_FALSE(t.trusts(id)) << id;
    }
    // A name whose labels hold digits still has its parent.
    const AuthResults::Trust named(QStringLiteral("pop3.mail1.example"), QString());
    EXPECT_TRUE(named.trusts("mx.mail1.example"));
}

TEST(AuthHeader, EveryFieldOfTheHeaderFoldedLinesJoinedBounded)
{
    const QList<QByteArray> header = {
        "Received: from mx", "AUTHENTICATION-RESULTS: a.example;", "\tspf=pass", "From: x@y.example",
        "Authentication-Results-Extra: b.example; dmarc=pass", "authentication-results: c.example; dmarc=fail",
        "", "Authentication-Results: body.example; dmarc=pass", "."};
    EXPECT_EQ(AuthResults::headerFields(header),
              QList<QByteArray>({" a.example;\r\n\tspf=pass", " c.example; dmarc=fail"}));

    QList<QByteArray> many;
    for (int i = 0; i < 20; ++i)
        many << "Authentication-Results: n" + QByteArray::number(i) + ".example; dmarc=pass";
    const QList<QByteArray> kept = AuthResults::headerFields(many);
    ASSERT_EQ(kept.size(), AuthResults::FieldCountLimit);
    EXPECT_EQ(kept.last(), QByteArray(" n15.example; dmarc=pass"));

    // A value grown by folded lines stops at the limit.
    QList<QByteArray> folded = {"Authentication-Results: big.example;"};
    for (int i = 0; i < 3000; ++i)
        folded << " spf=fail smtp.mailfrom=x.example;";
    EXPECT_EQ(AuthResults::headerFields(folded).first().size(), AuthResults::FieldLimit);
}
