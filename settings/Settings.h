#pragma once
// The program's settings, one member per stored value and named like it, and
// the one table that names, types and defaults every one of them. Reading and
// writing (SettingsStore) are driven by this table alone.
#include "settings/CertificateTrust.h"

#include <QString>
#include <optional>
#include <variant>
#include <vector>

struct Settings
{
    // Every member starts at its default from the table.
    Settings();

    // Settings
    bool Readme = false;
    bool Hints = false;
    QString Angabe;
    QString Client;
    QString Parameter;
    bool close_client = false;
    QString sound_path;
    QString Check_Path;
    QString Check_Parameter;
    bool Auto_check = false;
    bool Anzeige_clearen = false;
    bool Minimize = false;
    int TimeOut = 0;
    bool password_save = false;
    bool First = false;
    // A PEM file of further CA certificates that server certificates may be
    // signed by (a company CA); empty for none.
    QString CA_Datei;
    // Check
    bool Autocheck = false;
    int Check_Time = 0;
    bool Beep_Mail = false;
    bool Beep_Error = false;
    bool Beep_Intern = false;
    // Rule list entries also match the decoded subject and sender.
    bool Decoded_Match = false;
    // Delete
    bool Subject = false;
    bool Subject_I = false;
    bool From = false;
    bool From_I = false;
    bool Groesse = false;
    bool AutoKill = false;
    int Groesse_KB = 0; // a limit in bytes, whatever the name says
    // SMTP
    QString Betreff;
    QString Absender;
    QString Adresse;
    QString Reply;
    QString Blind;
    QString Host;
    QString User;
    QString Port; // kept as text; converted where the notice is sent
    bool Send = false;
    // A program whose first output line is the SMTP password or token
    // (PasswordCommand); for servers that ask for a login.
    QString Passwortbefehl;
    // Added beside the values above (a store without them loads as before):
    // ask servers that announce PIPELINING for summaries ahead; the number
    // of accounts a pass over all accounts works on at once (1: one after
    // another).
    bool Pipelining = true;
    int Verbindungen = 0;
    // Connection security of the notice server: "TLS" (from the first byte),
    // "STARTTLS" or "none"; empty in a store from before the choice existed
    // (implicit TLS on port 465, elsewhere STARTTLS when the server offers it).
    QString Sicherheit;
    // The login at the notice server (AUTH), and its password, which is kept
    // like the account passwords (PasswordVault: in the keyring under the
    // entry Schluesselbund, or in the file); no login when the name is empty.
    QString Anmeldename;
    QString Passwort;
    QString Schluesselbund;
    // How the notice server's login is made (LoginKind): empty, the
    // password; "OAuth2", a token.
    QString Anmeldeart;
    // The report log of a pass shows, under each message, which entry of
    // which list hit it (or its size over the limit).
    bool Gruende = false;
    // With Send on, a notice goes only to a sender whose message the
    // account's own server vouched for (Authentication-Results); every other
    // one is skipped with a log line. A store without the value loads it on.
    bool Nur_Bestaetigte = true;
    // Table: widths of the result grid's columns 0..5
    int Spalte[6] = {};

    // Server certificates the user trusted (section Zertifikate): stored
    // with the settings, though not values of the table below.
    CertificateTrust certificates;
    // The notice server's password is kept in the keyring but could not be
    // read in this run (PasswordVault).
    bool keyringUnread = false;
};

enum class SettingKind { Text, Integer, Boolean };

// Values that are stored but held outside the record: the language file is
// handed to the catalog, the program folder is only ever written.
enum class HeldOutside { LanguageFile, ProgramFolder };

// Table/Spalte<column> is Settings::Spalte[column].
struct ColumnWidth
{
    int column;
};

using SettingValue = std::variant<QString, int, bool>;
using SettingTarget =
    std::variant<HeldOutside, QString Settings::*, int Settings::*, bool Settings::*, ColumnWidth>;

struct SettingRow
{
    QString section;
    QString name;
    SettingValue defaultValue; // its alternative is the row's kind
    SettingTarget target;
    bool readAtLoad = true;    // false for values that are written and never read back
    bool secret = false;       // a password or its keyring entry: written where PasswordVault places it
    // For a value added to a store layout that had none: what a store
    // written without it gets, so that it goes on as before (a new store
    // gets defaultValue).
    std::optional<SettingValue> earlierStoreValue;

    SettingKind kind() const { return static_cast<SettingKind>(defaultValue.index()); }
    bool isHeldOutside() const { return std::holds_alternative<HeldOutside>(target); }
    HeldOutside outside() const { return std::get<HeldOutside>(target); }
    // Only for rows that are not held outside the record.
    SettingValue get(const Settings &settings) const;
    void set(Settings &settings, const SettingValue &value) const;
};

// Every stored value, in the order in which it is read at start.
const std::vector<SettingRow> &settingRows();
// The rows in the order in which they are written at exit (Table/Spalte0 is
// read but never written, so a hand-set width holds at every start).
const std::vector<const SettingRow *> &settingWriteOrder();
const SettingRow *findSettingRow(const QString &section, const QString &name);
// The value every save writes: a store without it was never saved.
inline const char *const StoreWrittenSection = "Settings";
inline const char *const StoreWrittenName = "First";
