#pragma once
// Server certificates the user chose to trust although they failed
// verification (a self-signed home server, a company CA the system does not
// know): exactly one certificate, by its SHA-256 digest, for one host and
// port. A different certificate on that host and port is not trusted and is
// put to the user again.
//
// Stored beside the design's values, in the section Zertifikate, for n = 1, 2
// ... up to the first missing Host<n>: Host<n>, Port<n> and Fingerabdruck<n>
// (the digest as hex pairs, "AB:CD:..."). A store without the section trusts
// none, and a user can add an entry by hand.
#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

class SettingsKey;

class CertificateTrust
{
public:
    struct Entry
    {
        QString host;
        int port = 0;
        QByteArray sha256;
        QString unread; // the stored text when it was no digest: kept as it stands
    };

    // The digest trusted for host and port (host names in any letter case);
    // empty when none.
    QByteArray trusted(const QString &host, int port) const;
    // Trusts exactly this certificate for host and port, in place of the one
    // trusted there before.
    void trust(const QString &host, int port, const QByteArray &sha256);
    const QList<Entry> &entries() const { return m_entries; }
    // The whole list, as the settings dialog leaves it (entries removed).
    void setEntries(QList<Entry> entries) { m_entries = std::move(entries); }

    // The user said no to this certificate: not asked again in this run.
    void decline(const QByteArray &sha256) { m_declined.insert(sha256); }
    bool declined(const QByteArray &sha256) const { return m_declined.contains(sha256); }

    void read(const SettingsKey &key);
    void write(SettingsKey &key) const;

    // The section's name in the store, for messages that tell where it is.
    static QString section();

private:
    QList<Entry> m_entries;
    QSet<QByteArray> m_declined;
};
