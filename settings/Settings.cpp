#include "settings/Settings.h"

#include <QtGlobal>
#include <utility>

namespace {
template<class... F>
struct Overloaded : F...
{
    using F::operator()...;
};
template<class... F>
Overloaded(F...) -> Overloaded<F...>;

SettingRow row(const char *section, const char *name, SettingValue defaultValue, SettingTarget target,
               bool readAtLoad = true)
{
    return SettingRow{QString::fromLatin1(section), QString::fromLatin1(name), std::move(defaultValue),
                      target, readAtLoad, false, {}};
}

// A value added later: a store written without it keeps `earlier`.
SettingRow added(SettingRow r, SettingValue earlier)
{
    r.earlierStoreValue = std::move(earlier);
    return r;
}

SettingRow secretRow(const char *section, const char *name, QString Settings::*target)
{
    SettingRow r = row(section, name, QString(), target);
    r.secret = true;
    return r;
}

using S = Settings;
const QString kNone;

std::vector<SettingRow> buildRows()
{
    const char *const set = "Settings";
    const char *const check = "Check";
    const char *const del = "Delete";
    const char *const smtp = "SMTP";
    const char *const table = "Table";
    return {
        row("Language", "File", QStringLiteral("Keine"), HeldOutside::LanguageFile),
        row(set, "Readme", true, &S::Readme),
        row(set, "Hints", true, &S::Hints),
        row(set, "Angabe", QStringLiteral("KByte"), &S::Angabe),
        row(set, "Client", kNone, &S::Client),
        row(set, "sound_path", kNone, &S::sound_path),
        row(set, "Parameter", kNone, &S::Parameter),
        row(set, "Check_Path", kNone, &S::Check_Path),
        row(set, "Check_Parameter", kNone, &S::Check_Parameter),
        row(set, "close_client", true, &S::close_client),
        row(set, "Auto_check", true, &S::Auto_check),
        row(set, "Anzeige_clearen", false, &S::Anzeige_clearen),
        row(check, "Autocheck", false, &S::Autocheck),
        row(check, "Beep_Mail", false, &S::Beep_Mail),
        row(check, "Beep_Error", false, &S::Beep_Error),
        row(check, "Beep_Intern", true, &S::Beep_Intern),
        added(row(check, "Decoded_Match", true, &S::Decoded_Match), false),
        row(set, "Minimize", false, &S::Minimize),
        row(check, "Check_Time", 600000, &S::Check_Time),
        row(set, "TimeOut", 20000, &S::TimeOut),
        row(set, "password_save", false, &S::password_save),
        row(set, "First", true, &S::First),
        row(set, "CA_Datei", kNone, &S::CA_Datei),
        row(del, "Subject", false, &S::Subject),
        row(del, "Subject_I", false, &S::Subject_I),
        row(del, "From", false, &S::From),
        row(del, "From_I", false, &S::From_I),
        row(del, "Groesse", false, &S::Groesse),
        row(del, "AutoKill", false, &S::AutoKill),
        row(del, "Groesse_KB", 102400, &S::Groesse_KB),
        row(smtp, "Betreff", kNone, &S::Betreff),
        row(smtp, "Absender", kNone, &S::Absender),
        row(smtp, "Adresse", kNone, &S::Adresse),
        row(smtp, "Reply", kNone, &S::Reply),
        row(smtp, "Blind", kNone, &S::Blind),
        row(smtp, "Host", kNone, &S::Host),
        row(smtp, "User", kNone, &S::User),
        row(smtp, "Port", QStringLiteral("587"), &S::Port), // submission (RFC 6409)
        row(smtp, "Send", false, &S::Send),
        row(smtp, "Passwortbefehl", kNone, &S::Passwortbefehl),
        row(set, "Pipelining", true, &S::Pipelining),
        row(check, "Verbindungen", 6, &S::Verbindungen),
        row(smtp, "Sicherheit", kNone, &S::Sicherheit),
        row(smtp, "Anmeldename", kNone, &S::Anmeldename),
        secretRow(smtp, "Passwort", &S::Passwort),
        secretRow(smtp, "Schluesselbund", &S::Schluesselbund),
        row(check, "Gruende", false, &S::Gruende),
        row(smtp, "Nur_Bestaetigte", true, &S::Nur_Bestaetigte),
        row(smtp, "Anmeldeart", kNone, &S::Anmeldeart),
        row(table, "Spalte0", 10, ColumnWidth{0}),
        row(table, "Spalte1", 65, ColumnWidth{1}),
        row(table, "Spalte2", 65, ColumnWidth{2}),
        row(table, "Spalte3", 80, ColumnWidth{3}),
        row(table, "Spalte4", 180, ColumnWidth{4}),
        row(table, "Spalte5", 200, ColumnWidth{5}),
        row("InstallPath", "Path", kNone, HeldOutside::ProgramFolder, false),
    };
}

// Section and name of every written value, in writing order.
const char *const kWriteOrder[][2] = {
    {"InstallPath", "Path"},
    {"Settings", "Hints"}, {"Settings", "Readme"}, {"Language", "File"}, {"Settings", "Angabe"},
    {"Settings", "TimeOut"}, {"Check", "Check_Time"}, {"Settings", "First"},
    {"Settings", "password_save"}, {"Settings", "Auto_check"}, {"Settings", "Anzeige_clearen"},
    {"Check", "Autocheck"}, {"Check", "Beep_Mail"}, {"Check", "Beep_Error"}, {"Check", "Beep_Intern"},
    {"Check", "Decoded_Match"},
    {"Settings", "Minimize"}, {"Settings", "close_client"}, {"Settings", "Client"},
    {"Settings", "sound_path"}, {"Settings", "Parameter"}, {"Settings", "Check_Path"},
    {"Settings", "Check_Parameter"}, {"Settings", "CA_Datei"},
    {"Delete", "Subject"}, {"Delete", "Subject_I"}, {"Delete", "From"}, {"Delete", "From_I"},
    {"Delete", "Groesse"}, {"Delete", "AutoKill"}, {"Delete", "Groesse_KB"},
    {"SMTP", "Betreff"}, {"SMTP", "Absender"}, {"SMTP", "Adresse"}, {"SMTP", "Reply"},
    {"SMTP", "Blind"}, {"SMTP", "Host"}, {"SMTP", "User"}, {"SMTP", "Port"}, {"SMTP", "Send"},
    {"SMTP", "Passwortbefehl"},
    {"Settings", "Pipelining"}, {"Check", "Verbindungen"},
    {"SMTP", "Sicherheit"}, {"SMTP", "Anmeldename"}, {"SMTP", "Passwort"},
    {"SMTP", "Schluesselbund"}, {"Check", "Gruende"}, {"SMTP", "Nur_Bestaetigte"},
    {"SMTP", "Anmeldeart"},
    {"Table", "Spalte1"}, {"Table", "Spalte2"}, {"Table", "Spalte3"}, {"Table", "Spalte4"},
    {"Table", "Spalte5"},
};
}

SettingValue SettingRow::get(const Settings &settings) const
{
    Q_ASSERT(!isHeldOutside());
    return std::visit(Overloaded{
                          [](HeldOutside) -> SettingValue { return QString(); },
                          [&](QString Settings::*m) -> SettingValue { return settings.*m; },
                          [&](int Settings::*m) -> SettingValue { return settings.*m; },
                          [&](bool Settings::*m) -> SettingValue { return settings.*m; },
                          [&](ColumnWidth c) -> SettingValue { return settings.Spalte[c.column]; },
                      },
                      target);
}

void SettingRow::set(Settings &settings, const SettingValue &value) const
{
    Q_ASSERT(!isHeldOutside());
    std::visit(Overloaded{
                   [](HeldOutside) {},
                   [&](QString Settings::*m) { settings.*m = std::get<QString>(value); },
                   [&](int Settings::*m) { settings.*m = std::get<int>(value); },
                   [&](bool Settings::*m) { settings.*m = std::get<bool>(value); },
                   [&](ColumnWidth c) { settings.Spalte[c.column] = std::get<int>(value); },
               },
               target);
}

Settings::Settings()
{
    for (const SettingRow &r : settingRows()) {
        if (!r.isHeldOutside())
            r.set(*this, r.defaultValue);
    }
}

const std::vector<SettingRow> &settingRows()
{
    static const std::vector<SettingRow> rows = buildRows();
    return rows;
}

const SettingRow *findSettingRow(const QString &section, const QString &name)
{
    for (const SettingRow &r : settingRows()) {
        if (r.section == section && r.name == name)
            return &r;
    }
    return nullptr;
}

const std::vector<const SettingRow *> &settingWriteOrder()
{
    static const std::vector<const SettingRow *> order = [] {
        std::vector<const SettingRow *> rows;
        for (const auto &entry : kWriteOrder) {
            const SettingRow *r = findSettingRow(QString::fromLatin1(entry[0]), QString::fromLatin1(entry[1]));
            if (!r)
                qFatal("Written setting %s/%s has no row", entry[0], entry[1]);
            rows.push_back(r);
        }
        return rows;
    }();
    return order;
}
