#include "net/MailHeaders.h"

#include <QHostInfo>
#include <QRandomGenerator>

namespace {

const char *const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

QByteArray twoDigits(int n)
{
    return QByteArray::number(n).rightJustified(2, '0');
}

// RFC 5322 section 3.2.3: a dot-atom of letters, digits and the atext
// signs; a dot neither first, last nor doubled.
bool isDotAtom(const QByteArray &text)
{
    static const QByteArray signs = "!#$%&'*+-/=?^_`{|}~";
    if (text.isEmpty() || text.startsWith('.') || text.endsWith('.') || text.contains(".."))
        return false;
    for (const char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'
                        || signs.contains(c);
        if (!ok)
            return false;
    }
    return true;
}

// RFC 5322 section 3.6.4: "[" dtext "]", printable ASCII without "[", "]"
// and "\".
bool isNoFoldLiteral(const QByteArray &text)
{
    if (text.size() < 3 || !text.startsWith('[') || !text.endsWith(']'))
        return false;
    for (const char c : text.mid(1, text.size() - 2))
        if (c < 33 || c > 126 || c == '[' || c == ']' || c == '\\')
            return false;
    return true;
}

// A host name a server takes in EHLO: labels of letters, digits and
// hyphens, at least two of them.
bool isDomainName(const QString &name)
{
    const QStringList labels = name.split(QLatin1Char('.'));
    if (labels.size() < 2)
        return false;
    for (const QString &label : labels) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(QLatin1Char('-'))
            || label.endsWith(QLatin1Char('-')))
            return false;
        for (const QChar c : label)
            if (!(c.isDigit() || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                  || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('-')))
                return false;
    }
    return true;
}

}

QByteArray MailHeaders::Date(const QDateTime &when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    const int offset = when.offsetFromUtc() / 60;
    const int magnitude = offset < 0 ? -offset : offset;
    return QByteArray(kDays[d.dayOfWeek() - 1]) + ", " + twoDigits(d.day()) + ' ' + kMonths[d.month() - 1] + ' '
           + QByteArray::number(d.year()) + ' ' + twoDigits(t.hour()) + ':' + twoDigits(t.minute()) + ':'
           + twoDigits(t.second()) + ' ' + (offset < 0 ? '-' : '+') + twoDigits(magnitude / 60)
           + twoDigits(magnitude % 60);
}

QByteArray MailHeaders::MessageId(const QByteArray &domain, const QDateTime &when)
{
    const quint64 random = QRandomGenerator::system()->generate64();
    const QByteArray right = isDotAtom(domain) || isNoFoldLiteral(domain) ? domain : QByteArray("localhost");
    return '<' + QByteArray::number(random, 16) + '.' + QByteArray::number(when.toMSecsSinceEpoch()) + '@' + right
           + '>';
}

QByteArray MailHeaders::AddressLiteral(const QHostAddress &address)
{
    bool isV4 = false; // an IPv4 address, or one mapped into IPv6
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4)
        return '[' + QHostAddress(v4).toString().toLatin1() + ']';
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        QHostAddress plain = address;
        plain.setScopeId(QString()); // no "%eth0" in a literal
        return "[IPv6:" + plain.toString().toLatin1() + ']';
    }
    return "[127.0.0.1]";
}

QByteArray MailHeaders::ClientDomain(const QString &hostName, const QString &localDomain, const QHostAddress &local)
{
    const QString host = hostName.trimmed();
    const QString domain = localDomain.trimmed();
    if (isDomainName(host))
        return host.toLatin1();
    if (!host.isEmpty() && !host.contains(QLatin1Char('.')) && !domain.isEmpty()) {
        const QString full = host + QLatin1Char('.') + domain;
        if (isDomainName(full))
            return full.toLatin1();
    }
    return AddressLiteral(local);
}

QByteArray MailHeaders::ClientDomain(const QHostAddress &local)
{
    return ClientDomain(QHostInfo::localHostName(), QHostInfo::localDomainName(), local);
}
