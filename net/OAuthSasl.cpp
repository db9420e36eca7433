#include "net/OAuthSasl.h"

#include "net/NetError.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {
constexpr char kSeparator = '\x01';

QByteArray saslName(const QByteArray &user)
{
    QByteArray out;
    for (const char c : user) {
        if (c == ',')
            out += "=2C";
        else if (c == '=')
            out += "=3D";
        else
            out += c;
    }
    return out;
}
}

OAuthSasl::Mechanism OAuthSasl::Choose(const QList<QByteArray> &offered)
{
    bool xoauth2 = false;
    for (const QByteArray &m : offered) {
        const QByteArray name = m.toUpper();
        if (name == "OAUTHBEARER")
            return Mechanism::OAuthBearer;
        if (name == "XOAUTH2")
            xoauth2 = true;
    }
    return xoauth2 ? Mechanism::XOAuth2 : Mechanism::None;
}

QByteArray OAuthSasl::Name(Mechanism mechanism)
{
    switch (mechanism) {
    case Mechanism::OAuthBearer:
        return "OAUTHBEARER";
    case Mechanism::XOAuth2:
        return "XOAUTH2";
    case Mechanism::None:
        break;
    }
    return {};
}

QByteArray OAuthSasl::Response(Mechanism mechanism, const QByteArray &user, const QByteArray &token)
{
    const QByteArray auth = "auth=Bearer " + token + kSeparator + kSeparator;
    switch (mechanism) {
    case Mechanism::OAuthBearer:
        // RFC 7628 section 3.1: the GS2 header (no channel binding, the
        // authorization identity), then the key/value pairs.
        return "n,a=" + saslName(user) + ',' + kSeparator + auth;
    case Mechanism::XOAuth2:
        return "user=" + user + kSeparator + auth;
    case Mechanism::None:
        break;
    }
    return {};
}

OAuthSasl::Start OAuthSasl::Begin(const QList<QByteArray> &offered, const QByteArray &user, const QByteArray &token)
{
    const Mechanism mechanism = Choose(offered);
    if (mechanism == Mechanism::None)
        throw EProtocolError(NetError::NoTokenMechanism,
                             offered.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(offered.join(' ')));
    return {mechanism, Name(mechanism), Response(mechanism, user, token).toBase64()};
}

QByteArray OAuthSasl::ErrorAnswer(Mechanism mechanism)
{
    // RFC 7628 section 3.2.3: a single 0x01 ends the failed exchange.
    return mechanism == Mechanism::OAuthBearer ? QByteArray(1, kSeparator).toBase64() : QByteArray();
}

QString OAuthSasl::ErrorStatus(const QByteArray &base64)
{
    const auto decoded = QByteArray::fromBase64Encoding(base64.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QStringLiteral("-");
    const QJsonDocument doc = QJsonDocument::fromJson(*decoded);
    const QJsonValue status = doc.isObject() ? doc.object().value(QLatin1String("status")) : QJsonValue();
    QString text;
    if (status.isString())
        text = status.toString();
    else if (status.isDouble())
        text = QString::number(status.toDouble());
    // The server's words go into an error text: printable ASCII only.
    QString shown;
    for (const QChar c : text) {
        if (shown.size() == MaxStatus)
            break;
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            shown += c;
    }
    return shown.isEmpty() ? QStringLiteral("-") : shown;
}
