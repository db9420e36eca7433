#include "settings/CertificateTrust.h"

#include "platform/core/SettingsKey.h"

namespace {

// Far more than anyone trusts by hand; a bound on a file's entries.
constexpr int kMaxEntries = 1000;

QString normalHost(const QString &host)
{
    return host.trimmed().toLower();
}

QString name(const char *column, int n)
{
    return QLatin1String(column) + QString::number(n);
}

QByteArray digestFromText(const QString &text)
{
    QString hex = text;
    hex.remove(QLatin1Char(':')).remove(QLatin1Char(' '));
    const QByteArray digest = QByteArray::fromHex(hex.toLatin1());
    // fromHex skips what is not hex: only a whole 32-byte digest counts.
    return hex.size() == 64 && digest.size() == 32 && digest.toHex() == hex.toLower().toLatin1() ? digest
                                                                                                 : QByteArray();
}

}

QString CertificateTrust::section()
{
    return QStringLiteral("Zertifikate");
}

QByteArray CertificateTrust::trusted(const QString &host, int port) const
{
    const QString h = normalHost(host);
    for (const Entry &e : m_entries)
        if (e.port == port && normalHost(e.host) == h)
            return e.sha256;
    return {};
}

void CertificateTrust::trust(const QString &host, int port, const QByteArray &sha256)
{
    const QString h = normalHost(host);
    for (Entry &e : m_entries) {
        if (e.port == port && normalHost(e.host) == h) {
            e.sha256 = sha256;
            e.unread.clear();
            return;
        }
    }
    m_entries.append({host.trimmed(), port, sha256, QString()});
}

void CertificateTrust::read(const SettingsKey &key)
{
    m_entries.clear();
    for (int n = 1; n <= kMaxEntries; ++n) {
        const std::optional<QString> host = key.readString(section(), name("Host", n));
        if (!host)
            break;
        const int port = key.readInteger(section(), name("Port", n), 0);
        const QString text = key.readString(section(), name("Fingerabdruck", n), QString());
        const QByteArray digest = digestFromText(text);
        // An entry spoilt by hand trusts nothing, but stays as it was written.
        m_entries.append({*host, port, digest, digest.isEmpty() ? text : QString()});
    }
}

void CertificateTrust::write(SettingsKey &key) const
{
    int n = 0;
    for (const Entry &e : m_entries) {
        ++n;
        key.writeString(section(), name("Host", n), e.host);
        key.writeInteger(section(), name("Port", n), e.port);
        key.writeString(section(), name("Fingerabdruck", n),
                        e.sha256.isEmpty() ? e.unread : QString::fromLatin1(e.sha256.toHex(':').toUpper()));
    }
    // Entries removed since the store was read must not come back with the
    // next read, which goes on up to the first missing Host<n>.
    for (++n; n <= kMaxEntries && key.readString(section(), name("Host", n)); ++n) {
        for (const char *column : {"Host", "Port", "Fingerabdruck"})
            key.removeValue(section(), name(column, n));
    }
}
