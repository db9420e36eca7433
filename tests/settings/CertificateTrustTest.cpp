// Trusted server certificates in the store: one certificate per host and
// port, kept by its SHA-256 digest beside the design's values.
#include "platform/core/SettingsKey.h"
#include "settings/CertificateTrust.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QByteArray digest(const char *seed)
{
    return QCryptographicHash::hash(seed, QCryptographicHash::Sha256);
}

class CertificateTrustTest : public ::testing::Test
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("2.00.ini")); }
    CertificateTrust reread() const
    {
        CertificateTrust t;
        t.read(SettingsKey(path()));
        return t;
    }
    // A good entry for home.lan:995 and a spoilt digest for nas.lan:110.
    void writeByHand() const
    {
        SettingsKey key(path());
        key.writeString(QStringLiteral("POP"), QStringLiteral("Konto1"), QStringLiteral("Home"));
        key.writeString(QStringLiteral("Zertifikate"), QStringLiteral("Host1"), QStringLiteral("home.lan"));
        key.writeString(QStringLiteral("Zertifikate"), QStringLiteral("Port1"), QStringLiteral("995"));
        key.writeString(QStringLiteral("Zertifikate"), QStringLiteral("Fingerabdruck1"),
                        QString::fromLatin1(digest("by hand").toHex()));
        key.writeString(QStringLiteral("Zertifikate"), QStringLiteral("Host2"), QStringLiteral("nas.lan"));
        key.writeString(QStringLiteral("Zertifikate"), QStringLiteral("Port2"), QStringLiteral("110"));
        key.writeString(QStringLiteral("Zertifikate"), QStringLiteral("Fingerabdruck2"), QStringLiteral("AB:CD:zz"));
        key.flush();
    }
    QTemporaryDir dir;
};
}

TEST_F(CertificateTrustTest, OneCertificatePerHostAndPort)
{
    CertificateTrust trust;
    trust.trust(QStringLiteral("Mail.Example.org "), 995, digest("first"));
    trust.trust(QStringLiteral("mail.example.org"), 110, digest("plain port"));
    trust.trust(QStringLiteral("mail.example.org"), 995, digest("changed"));
    SettingsKey key(path());
    trust.write(key);
    key.flush();

    const CertificateTrust t = reread();
    ASSERT_EQ(t.entries().size(), 2) << "the changed certificate took the place of the first";
    EXPECT_EQ(t.trusted(QStringLiteral("MAIL.example.org"), 995), digest("changed"));
    EXPECT_EQ(t.trusted(QStringLiteral("mail.example.org"), 110), digest("plain port"));
    EXPECT_TRUE(t.trusted(QStringLiteral("mail.example.org"), 465).isEmpty());
    EXPECT_TRUE(t.trusted(QStringLiteral("other.example.org"), 995).isEmpty());
    EXPECT_EQ(SettingsKey(path()).readString(CertificateTrust::section(), QStringLiteral("Fingerabdruck1")),
              QString::fromLatin1(digest("changed").toHex(':').toUpper()));
}

TEST_F(CertificateTrustTest, HandWrittenEntriesAreRead)
{
    writeByHand();
    EXPECT_EQ(reread().trusted(QStringLiteral("home.lan"), 995), digest("by hand"));
}

TEST_F(CertificateTrustTest, ASpoiltEntryTrustsNothingButStays)
{
    writeByHand();
    CertificateTrust t = reread();
    EXPECT_TRUE(t.trusted(QStringLiteral("nas.lan"), 110).isEmpty());
    SettingsKey again(path());
    t.write(again);
    again.flush();
    EXPECT_EQ(SettingsKey(path()).readString(QStringLiteral("Zertifikate"), QStringLiteral("Fingerabdruck2")),
              QStringLiteral("AB:CD:zz"));
}

// An entry the user removed does not come back from the store, and a later
// entry in its place is not followed by the removed ones.
TEST_F(CertificateTrustTest, RemovedEntriesStayRemoved)
{
    CertificateTrust trust;
    for (const char *host : {"a.lan", "b.lan", "c.lan"})
        trust.trust(QLatin1String(host), 995, digest(host));
    SettingsKey key(path());
    trust.write(key);
    key.flush();

    CertificateTrust edited = reread();
    QList<CertificateTrust::Entry> kept = edited.entries();
    kept.removeAt(0);
    kept.removeAt(0);
    edited.setEntries(kept);
    SettingsKey again(path());
    edited.write(again);
    again.flush();
    ASSERT_EQ(reread().entries().size(), 1);
    EXPECT_EQ(reread().trusted(QStringLiteral("c.lan"), 995), digest("c.lan"));

    edited.trust(QStringLiteral("d.lan"), 110, digest("d.lan"));
    SettingsKey third(path());
    edited.write(third);
    third.flush();
    const CertificateTrust t = reread();
    EXPECT_EQ(t.entries().size(), 2);
    EXPECT_TRUE(t.trusted(QStringLiteral("a.lan"), 995).isEmpty());
    EXPECT_TRUE(t.trusted(QStringLiteral("b.lan"), 995).isEmpty());
}
