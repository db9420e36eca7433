#include "check/AccountSecurity.h"

#include "check/AppServices.h"
#include "lang/KvLanguage.h"
#include "settings/Accounts.h"
#include "settings/ConnectionSecurity.h"
#include "settings/LoginKind.h"
#include "settings/Settings.h"

namespace {
AccountSecurity fromChoice(const QString &stored, const QString &login, const Settings &settings,
                           const QString &host, int port)
{
    AccountSecurity s;
    const QString chosen = ConnectionSecurity::normalized(stored);
    if (chosen == ConnectionSecurity::Tls) {
        s.useTls = true;
    } else if (chosen == ConnectionSecurity::StartTls) {
        s.useTls = false;
        s.upgrade = StartTlsPolicy::Required;
    } else if (chosen == ConnectionSecurity::None) {
        s.useTls = false;
        s.upgrade = StartTlsPolicy::Never;
    }
    s.extraCaFile = settings.CA_Datei.trimmed();
    s.trustedCertificate = settings.certificates.trusted(host.trimmed(), port);
    s.login = LoginKind::normalized(login) == LoginKind::OAuth2 ? LoginMethod::OAuth2 : LoginMethod::Password;
    return s;
}
}

AccountSecurity AccountSecurity::forAccount(const AccountSlot &slot, const Settings &settings)
{
    return fromChoice(slot.Sicherheit, slot.Anmeldeart, settings, slot.Host, slot.Port);
}

AccountSecurity AccountSecurity::forNotices(const Settings &settings, int port)
{
    return fromChoice(settings.Sicherheit, settings.Anmeldeart, settings, settings.Host, port);
}

void AccountSecurity::applyTo(TLineSocket &client) const
{
    if (useTls)
        client.SetUseTls(*useTls);
    else
        client.ResetUseTls();
    client.SetTlsUpgrade(upgrade);
    client.SetExtraCaFile(extraCaFile);
    client.SetTrustedCertificate(trustedCertificate);
    client.SetLoginBy(login);
}

QString AccountSecurity::unencryptedWarning(AppServices &app, const AccountSlot &slot, const TKvLanguage &catalog)
{
    const QString key = slot.Konto + QLatin1Char('\n') + slot.Host.trimmed().toLower() + QLatin1Char(':')
                        + QString::number(slot.Port);
    if (app.warnedInClear.contains(key))
        return {};
    app.warnedInClear.insert(key);
    return slot.Konto + QLatin1Char(' ') + catalog.GetText(TextId::CheckedWithoutEncryption);
}
