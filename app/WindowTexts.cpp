#include "app/WindowTexts.h"

#include "app/StammForm.h"
#include "check/AlleForm.h"
#include "lang/KvLanguage.h"
#include "settings/KontenForm.h"
#include "settings/PasswordCommandHelp.h"
#include "settings/SetupForm.h"
#include "support/Hints.h"
#include "support/Lamp.h"
#include "support/LabelFit.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTabWidget>
#include <QWidget>

namespace {
WindowTexts::ShortcutTexts g_shortcutTexts;

// Sets the visible text of whatever kind of control carries that name.
void caption(QObject &window, const char *name, const QString &text)
{
    for (QObject *o : window.findChildren<QObject *>(QLatin1String(name))) {
        if (auto *b = qobject_cast<QAbstractButton *>(o))
            b->setText(text);
        else if (auto *l = qobject_cast<QLabel *>(o))
            l->setText(text);
        else if (auto *g = qobject_cast<QGroupBox *>(o))
            g->setTitle(text);
        else if (auto *m = qobject_cast<QMenu *>(o))
            m->setTitle(text);
        else if (auto *a = qobject_cast<QAction *>(o))
            a->setText(text);
        else if (auto *w = qobject_cast<QWidget *>(o)) {
            // a tab page: its caption is the tab text
            if (auto *tabs = qobject_cast<QTabWidget *>(w->parentWidget() ? w->parentWidget()->parentWidget() : nullptr))
                tabs->setTabText(tabs->indexOf(w), text);
            else if (w->property("caption").isValid())
                w->setProperty("caption", text);
        }
    }
}

void hint(QObject &window, const char *name, const QString &text)
{
    for (QWidget *w : window.findChildren<QWidget *>(QLatin1String(name)))
        WindowTexts::setHint(w, text);
}

// The text with "&" before its first letter that none of its neighbours
// has taken yet, so that Alt and the letter reach it. A text that brings its
// own mnemonic keeps it; a literal "&" is doubled.
QString withMnemonic(const QString &text, QSet<QChar> &taken)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && text[i + 1] != QLatin1Char('&')) {
            taken.insert(text[i + 1].toLower());
            return text;
        }
        if (text[i] == QLatin1Char('&'))
            ++i;
    }
    QString out = text;
    out.replace(QLatin1Char('&'), QLatin1String("&&"));
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out[i].toLower();
        if (out[i].isLetterOrNumber() && !taken.contains(c)) {
            taken.insert(c);
            out.insert(i, QLatin1Char('&'));
            break;
        }
    }
    return out;
}

// Mnemonics for the menu bar's titles and, menu by menu, their items.
void addMnemonics(QMenuBar &bar)
{
    QSet<QChar> titles;
    QList<QMenu *> menus;
    for (QAction *a : bar.actions()) {
        if (QMenu *menu = a->menu()) {
            menu->setTitle(withMnemonic(menu->title(), titles));
            menus << menu;
        }
    }
    while (!menus.isEmpty()) {
        QMenu *menu = menus.takeFirst();
        QSet<QChar> items;
        for (QAction *a : menu->actions()) {
            if (a->isSeparator())
                continue;
            if (QMenu *sub = a->menu()) {
                sub->setTitle(withMnemonic(sub->title(), items));
                menus << sub;
            } else {
                a->setText(withMnemonic(a->text(), items));
            }
        }
    }
}

void passwordCommandHelp(QObject &window, const char *name, const TKvLanguage &c)
{
    if (auto *field = window.findChild<QLineEdit *>(QLatin1String(name)))
        PasswordCommandHelp::apply(field, c.GetText(TextId::PasswordCommandHint),
                                   c.GetText(TextId::PasswordCommandExample));
}

void nudge(QObject &window, const char *name, int dx)
{
    if (auto *w = window.findChild<QWidget *>(QLatin1String(name)))
        w->move(w->x() + dx, w->y());
}
}

void WindowTexts::setHint(QWidget *control, const QString &hint)
{
    Hints::set(control, hint);
}

void WindowTexts::applyHints(QWidget &window, bool show)
{
    Hints::show(window, show);
}

void WindowTexts::applyHints(TStammForm &form, bool show)
{
    applyHints(static_cast<QWidget &>(form), show);
    if (form.otherWindows().KontenForm)
        applyHints(*form.otherWindows().KontenForm, show);
    if (TAlleForm *alle = form.otherWindows().AlleForm)
        applyHints(*alle, show);
}

const WindowTexts::ShortcutTexts &WindowTexts::shortcutTexts()
{
    return g_shortcutTexts;
}

void WindowTexts::applySetup(QWidget &w, const TKvLanguage &c)
{
    const struct
    {
        TextId n;
        const char *name;
    } captions[] = {
        {TextId::Ok, "SBestaetigen"}, {TextId::Cancel, "SAbbrechen"}, {TextId::Help, "OBHilfe"},
        {TextId::Settings, "TSAllgemein"}, {TextId::More, "TSWeiteres"}, {TextId::Shortcuts, "TSSoftware"},
        {TextId::Shortcuts, "GTAblage"}, {TextId::Notices, "TSVersand"}, {TextId::ShowReadMeAtStart, "CBReadme"},
        {TextId::ShowHints, "CBHints"}, {TextId::ShowTipAtStart, "CBTips"},
        {TextId::StartMinimized, "CBMinimiert_starten"}, {TextId::SoundNewAndDeletedMail, "CB_Sound1"},
        {TextId::AlertSoundUnwanted, "CB_Sound2"}, {TextId::SavePasswords, "CB_Passwort"},
        {TextId::CheckAllAutomaticallyEvery, "CBAutoCheck"}, {TextId::DeleteSubjectListHits, "CB_Kill_Betreff"},
        {TextId::DeleteOwnSubjectListHits, "CB_Kill_Betreff_Eigen"}, {TextId::DeleteSenderListHits, "CB_Kill_Absender"},
        {TextId::DeleteOwnSenderListHits, "CB_Kill_Absender_Eigen"}, {TextId::DeleteOverSizeLimit, "CB_Kill_Groesse"},
        {TextId::SizeLimitKByte, "LGroesse_Angabe"}, {TextId::AlsoDeleteCheckingAll, "CBAuto_Kill"},
        {TextId::NotifySenders, "CB_Info_Absender"}, {TextId::Language, "Lab_Sprache"},
        {TextId::ShowSizesIn, "GBGroesse"}, {TextId::MailProgramFolder, "GBEMail_Pfad"},
        {TextId::Parameters, "LParameter"}, {TextId::Parameters, "LParameter2"},
        {TextId::ExitAfterMailProgram, "CBemail_programm"}, {TextId::SoundPlayback, "GBSoundPfad"},
        {TextId::BuiltInPlayer, "RBIntern"}, {TextId::SystemPlayer, "RBExtern"},
        {TextId::AttachmentChecker, "GBCheck_Pfad"}, {TextId::CheckAttachmentsAutomatically, "CB_Checker"},
        {TextId::Create, "FB_Anlegen"}, {TextId::Remove, "FB_Entfernen"}, {TextId::StartMenu, "FB_Menu_Start"},
        {TextId::Autostart, "FB_Menu_Autostart"}, {TextId::Favourites, "FB_Menu_Favoriten"},
        {TextId::ProgramsMenu, "FB_Menu_Programme"}, {TextId::Desktop, "FB_Menu_Desktop"},
        {TextId::SenderName, "LAbsender"}, {TextId::EmailAddress, "LeMail"}, {TextId::ReplyTo, "LReply"},
        {TextId::BlindCopyTo, "LKopie"}, {TextId::Subject, "LBetreff"}, {TextId::EditNoticeText, "SBEdit_text"},
        {TextId::PasswordCommand, "LPasswortbefehl"}, {TextId::AlsoCompareDecoded, "CB_Decoded_Match"},
        {TextId::ConnectionSecurity, "LSMTPSicherheit"}, {TextId::LoginName, "LAnmeldename"},
        {TextId::Password, "LSMTPPasswort"}, {TextId::Certificates, "TSZertifikate"},
        {TextId::ExtraCaCertificates, "LCA_Datei"}, {TextId::CaCertificatesHint, "LCA_Hinweis"},
        {TextId::TrustedCertificates, "LZertifikate"}, {TextId::RemoveCertificate, "B_Zertifikat_Entfernen"},
        {TextId::TrustedCertificatesHint, "LZertifikate_Hinweis"}, {TextId::NotifyOnlyConfirmed, "CB_Nur_Bestaetigte"},
        {TextId::NotifyOnlyConfirmedHint, "LNur_Bestaetigte"}, {TextId::LogInWith, "LSMTPAnmeldeart"},
    };
    for (const auto &e : captions)
        caption(w, e.name, c.GetText(e.n));
    hint(w, "FBPfad", c.GetText(TextId::ChooseMailProgram));
    hint(w, "CB_Decoded_Match", c.GetText(TextId::AlsoCompareDecodedHint));
    hint(w, "FEAnmeldename", c.GetText(TextId::LoginNameHint));
    hint(w, "CoBo_SMTPAnmeldeart", c.GetText(TextId::OAuth2TokenHint));
    hint(w, "SBPfad_Sound", c.GetText(TextId::ChooseSoundFile));
    passwordCommandHelp(w, "FEPasswortbefehl", c);
    g_shortcutTexts = {c.GetText(TextId::ShortcutCreated), c.GetText(TextId::ShortcutNotCreated),
                       c.GetText(TextId::ShortcutRemoved), c.GetText(TextId::ShortcutNotRemoved)};
}

void WindowTexts::applyKonten(QWidget &w, const TKvLanguage &c)
{
    const struct
    {
        TextId n;
        const char *name;
    } captions[] = {
        {TextId::Close, "LClose"}, {TextId::New, "LNew"}, {TextId::Edit, "LEdit"}, {TextId::Delete, "LDelete"},
        {TextId::Help, "LHelp"}, {TextId::Save, "LSave"}, {TextId::ProviderTemplate, "LVorlage"},
        {TextId::UserName, "LUser"}, {TextId::Pop3Server, "LHost"}, {TextId::Password, "LPasswort"},
        {TextId::Port, "Lport"}, {TextId::AccountName, "LBezeichnung"}, {TextId::SavePasswords, "FLBPasswort"},
        {TextId::PasswordCommand, "LPasswortbefehl"}, {TextId::ConnectionSecurity, "LSicherheit"},
        {TextId::TrustedCheckingServers, "LPruefserver"}, {TextId::LogInWith, "LAnmeldeart"},
    };
    for (const auto &e : captions)
        caption(w, e.name, c.GetText(e.n));
    hint(w, "LNew", c.GetText(TextId::SetUpNewAccount));
    hint(w, "LEdit", c.GetText(TextId::EditSelectedAccount));
    hint(w, "LDelete", c.GetText(TextId::DeleteThisAccount));
    hint(w, "LSave", c.GetText(TextId::SaveTheAccount));
    shrinkToolCaptions(w);
    passwordCommandHelp(w, "FE_Passwortbefehl", c);
    hint(w, "FE_Pruefserver", c.GetText(TextId::TrustedCheckingServersHint));
    hint(w, "CoBo_Anmeldeart", c.GetText(TextId::OAuth2TokenHint));
}

void WindowTexts::applyStamm(TStammForm &f)
{
    const TKvLanguage &c = f.KvLanguage1();
    const QString code = c.CodeLetter();
    if (code == QLatin1String("D")) {
        nudge(f, "Lab_Postfach", 9);
    } else if (code == QLatin1String("E")) {
        nudge(f, "Lab_Beenden", 4);
        nudge(f, "Lab_Abrufen", -2);
    } else if (code == QLatin1String("I")) {
        nudge(f, "Lab_Beenden", 2);
        nudge(f, "Lab_Postfach", 7);
        nudge(f, "Lab_Alle_Konten", -6);
    } else if (code == QLatin1String("NL")) {
        nudge(f, "Lab_Postfach", 12);
    }

    const struct
    {
        TextId n;
        const char *name;
    } captions[] = {
        // menus
        {TextId::File, "Datei1"}, {TextId::Settings, "Einstellungen1"}, {TextId::Settings, "Allgemein1"},
        {TextId::Accounts, "Konten1"}, {TextId::Exit, "Beenden1"}, {TextId::Exit, "Beenden2"},
        {TextId::Actions, "Aktionen1"}, {TextId::CheckAccount, "PrfenKonto1"},
        {TextId::CheckAllAccounts, "PrfenAlleKonten1"}, {TextId::CheckAllAccounts, "AlleKontenprfen1"},
        {TextId::Lists, "Listen1"}, {TextId::OwnSubjectList, "Betreffliste1"},
        {TextId::OwnSenderList, "Absenderliste1"}, {TextId::ProtectedSenders, "Schutzliste1"}, {TextId::Read, "Lesen1"},
        {TextId::Read, "Lesen2"}, {TextId::Fetch, "Abrufen1"}, {TextId::MarkForDeletion, "LschenMarkieren1"},
        {TextId::MarkForDeletion, "ZumLschenMarkieren1"}, {TextId::DeleteMessage, "Lschen1"},
        {TextId::DeleteMessage, "Lschen2"}, {TextId::DeleteMarked, "Allelschen1"},
        {TextId::DeleteMarked, "Allelschen2"}, {TextId::Report, "Ergebniszeigen1"}, {TextId::Restore, "Nutzen1"},
        {TextId::Help, "Hilfe1"}, {TextId::Help, "OnlineHilfe1"}, {TextId::Undo, "Undo1"},
        {TextId::About, "Informationen1"}, {TextId::SaveLog, "Protokollspeichern1"}, {TextId::Extras, "Sonstiges1"},
        {TextId::SendNotices, "Senden1"}, {TextId::CloseConnection, "CloseConnection1"}, {TextId::ReadMe, "Readme1"},
        {TextId::News, "News1"}, {TextId::HomePage, "Homepage1"},
        // captions
        {TextId::Account, "GBKonten"}, {TextId::Exit, "Lab_Beenden"}, {TextId::Mailbox, "Lab_Postfach"},
        {TextId::AllAccounts, "Lab_Alle_Konten"}, {TextId::Report, "Lab_Ergebnis"}, {TextId::Read, "Lab_Lesen"},
        {TextId::Fetch, "Lab_Abrufen"}, {TextId::DeleteMessage, "Lab_Loeschen"},
        {TextId::DeleteMarked, "Lab_alle_loeschen"}, {TextId::UndoShort, "Lab_Undo"},
        {TextId::AccountsButton, "Lab_Provider"}, {TextId::MailProgram, "Lab_Extern"}, {TextId::Help, "Lab_Hilfe"},
        {TextId::Progress, "LVorgang"}, {TextId::Mail, "GBKonten_Ergeb"}, {TextId::Offenders, "GBFehler"},
    };
    for (const auto &e : captions)
        caption(f, e.name, c.GetText(e.n));
    addMnemonics(*f.menuBar());
    for (QLabel *l : {f.Lab_Beenden, f.Lab_Postfach, f.Lab_Alle_Konten, f.Lab_Ergebnis, f.Lab_Lesen, f.Lab_Abrufen,
                      f.Lab_Loeschen, f.Lab_alle_loeschen, f.Lab_Undo, f.Lab_Provider, f.Lab_Extern, f.Lab_Hilfe})
        shrinkToFit(l);
    f.LEDL_Online->setCaption(c.GetText(TextId::Online));
    f.LEDL_Automatic->setCaption(c.GetText(TextId::Automatic));

    const struct
    {
        TextId n;
        const char *name;
    } hints[] = {
        {TextId::CheckSelectedMailboxHint, "But_Postfach"}, {TextId::CheckAllMailboxesHint, "But_AlleKonten"},
        {TextId::ReadSelectedHint, "But_Lesen"}, {TextId::FetchAndDeleteHint, "But_Abrufen"},
        {TextId::DeleteSelectedHint, "But_Loeschen"}, {TextId::DeleteAllMarkedHint, "But_Delete_All"},
        {TextId::SetUpAccountsHint, "But_Provider"}, {TextId::StartMailProgramHint, "But_Extern"},
        {TextId::UndoDeletionsHint, "But_Undo"}, {TextId::MessagesInMailboxHint, "LED_Anzahl_Konto"},
        {TextId::MessagesInMailboxHint, "L_Anzahl_konto"}, {TextId::AccountsWithMailHint, "LED_Anzahl_KontenGesamt"},
        {TextId::AccountsWithMailHint, "L_Anzahl_KontenGesamt"},
        {TextId::MessagesInAllAccountsHint, "LED_Anzahl_Mails_Gesamt"},
        {TextId::MessagesInAllAccountsHint, "L_Anzahl_Mails_gesamt"},
        {TextId::SubjectListHitsHint, "LED_Anz_ERR_Betreff"}, {TextId::SubjectListHitsHint, "L_Anz_ERR_Betreff"},
        {TextId::OwnSubjectListHitsHint, "LED_Anz_ERR_Betreff_Eigen"},
        {TextId::OwnSubjectListHitsHint, "L_Anz_ERR_Betreff_Eigen"},
        {TextId::SenderListHitsHint, "LED_Anz_ERR_Absender"}, {TextId::SenderListHitsHint, "L_Anz_ERR_Absender"},
        {TextId::OwnSenderListHitsHint, "LED_Anz_ERR_Absender_Eigen"},
        {TextId::OwnSenderListHitsHint, "L_Anz_ERR_Absender_Eigen"}, {TextId::OverSizeLimitHint, "LED_Anz_ERR_Groesse"},
        {TextId::OverSizeLimitHint, "L_Anz_ERR_Groesse"},
    };
    for (const auto &e : hints)
        hint(f, e.name, c.GetText(e.n));
}

void WindowTexts::applyAll(TStammForm &form)
{
    const TKvLanguage &c = form.KvLanguage1();
    if (auto *setup = form.otherWindows().SetupForm)
        applySetup(*setup, c);
    if (auto *konten = form.otherWindows().KontenForm)
        applyKonten(*konten, c);
    applyStamm(form);
}
