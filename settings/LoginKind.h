#pragma once
// How an account (Anmeldeart<n>) or the notice server (SMTP/Anmeldeart)
// logs in. Empty, which a store without the value gives, is the password
// (USER/PASS or AUTH PLAIN for POP3, AUTH PLAIN or LOGIN for SMTP).
// "OAuth2" sends an OAuth2 access token instead, by SASL OAUTHBEARER or
// XOAUTH2 and only over an encrypted connection; the token is what the
// password command prints (or what the password field holds), since tokens
// expire within the hour and a helper program renews them.
#include <QString>

namespace LoginKind {
inline const QString Password; // empty
inline const QString OAuth2 = QStringLiteral("OAuth2");

// The known stored values; anything else logs in with the password.
inline QString normalized(const QString &stored)
{
    return stored.trimmed().compare(OAuth2, Qt::CaseInsensitive) == 0 ? OAuth2 : Password;
}
}
