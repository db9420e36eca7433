#pragma once
// The SASL mechanisms that log in with an OAuth2 access token instead of a
// password: OAUTHBEARER (RFC 7628) and the older XOAUTH2 that large
// providers still offer. Pure code over bytes, shared by the POP3 (RFC
// 5034) and SMTP (RFC 4954) clients; tests and fuzzers use it directly.
//
// The client response, before the base64 of the protocol:
//     OAUTHBEARER  n,a=anna@example.org,^Aauth=Bearer <token>^A^A
//     XOAUTH2      user=anna@example.org^Aauth=Bearer <token>^A^A
// (^A is the byte 0x01). A server that refuses the token answers with a
// challenge, a base64 JSON object whose "status" names the reason:
//     S: + eyJzdGF0dXMiOiJpbnZhbGlkX3Rva2VuIn0=
//     C: AQ==                 (OAUTHBEARER: a single 0x01; XOAUTH2: empty)
//     S: -ERR [AUTH] Authentication failed.
//
// Nothing here raises but Begin.
#include <QByteArray>
#include <QList>
#include <QString>

namespace OAuthSasl {

enum class Mechanism { None, OAuthBearer, XOAuth2 };

// The mechanism to use among those the server offers (any case):
// OAUTHBEARER when offered, else XOAUTH2, else None.
Mechanism Choose(const QList<QByteArray> &offered);
// "OAUTHBEARER" or "XOAUTH2"; empty for None.
QByteArray Name(Mechanism mechanism);
// The client response, not yet in base64. In the OAUTHBEARER form a "," or
// "=" in the user name is written as "=2C" or "=3D" (RFC 5801 saslname).
QByteArray Response(Mechanism mechanism, const QByteArray &user, const QByteArray &token);
// What a client sends to log in with a token: the mechanism chosen among
// those offered, its name and the client response in base64. Throws
// EProtocolError(NoTokenMechanism) naming what the server offers (or "-")
// when it offers neither mechanism.
struct Start
{
    Mechanism mechanism;
    QByteArray name;
    QByteArray response;
};
Start Begin(const QList<QByteArray> &offered, const QByteArray &user, const QByteArray &token);
// The answer to an error challenge, in base64: "AQ==" for OAUTHBEARER,
// the empty line for XOAUTH2.
QByteArray ErrorAnswer(Mechanism mechanism);
// The "status" of an error challenge (its base64 text), as printable ASCII
// of at most MaxStatus characters; "-" when the challenge holds no JSON
// object with a status.
inline constexpr int MaxStatus = 64;
QString ErrorStatus(const QByteArray &base64);

}
