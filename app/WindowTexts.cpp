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
        PasswordCommandHelp::apply(field, c.GetText(401), c.GetText(402));
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
        quint16 n;
        const char *name;
    } captions[] = {
        {2, "SBestaetigen"}, {3, "SAbbrechen"}, {10, "OBHilfe"}, {8, "TSAllgemein"}, {227, "TSWeiteres"},
        {58, "TSSoftware"}, {58, "GTAblage"}, {228, "TSVersand"}, {236, "CBReadme"}, {54, "CBHints"},
        {55, "CBTips"}, {67, "CBMinimiert_starten"}, {73, "CB_Sound1"}, {72, "CB_Sound2"}, {75, "CB_Passwort"},
        {74, "CBAutoCheck"}, {76, "CB_Kill_Betreff"}, {77, "CB_Kill_Betreff_Eigen"}, {78, "CB_Kill_Absender"},
        {79, "CB_Kill_Absender_Eigen"}, {80, "CB_Kill_Groesse"}, {81, "LGroesse_Angabe"}, {82, "CBAuto_Kill"},
        {226, "CB_Info_Absender"}, {83, "Lab_Sprache"}, {84, "GBGroesse"}, {86, "GBEMail_Pfad"},
        {85, "LParameter"}, {85, "LParameter2"}, {87, "CBemail_programm"}, {230, "GBSoundPfad"},
        {231, "RBIntern"}, {232, "RBExtern"}, {234, "GBCheck_Pfad"}, {235, "CB_Checker"}, {59, "FB_Anlegen"},
        {60, "FB_Entfernen"}, {61, "FB_Menu_Start"}, {62, "FB_Menu_Autostart"}, {63, "FB_Menu_Favoriten"},
        {64, "FB_Menu_Programme"}, {65, "FB_Menu_Desktop"}, {222, "LAbsender"}, {223, "LeMail"},
        {224, "LReply"}, {225, "LKopie"}, {36, "LBetreff"}, {229, "SBEdit_text"}, {400, "LPasswortbefehl"},
        {430, "CB_Decoded_Match"}, {363, "LSMTPSicherheit"}, {369, "LAnmeldename"}, {148, "LSMTPPasswort"},
        {383, "TSZertifikate"}, {370, "LCA_Datei"}, {371, "LCA_Hinweis"},
        {384, "LZertifikate"}, {385, "B_Zertifikat_Entfernen"}, {386, "LZertifikate_Hinweis"},
        {456, "CB_Nur_Bestaetigte"}, {459, "LNur_Bestaetigte"}, {375, "LSMTPAnmeldeart"},
    };
    for (const auto &e : captions)
        caption(w, e.name, c.GetText(e.n));
    hint(w, "FBPfad", c.GetText(221));
    hint(w, "CB_Decoded_Match", c.GetText(431));
    hint(w, "FEAnmeldename", c.GetText(372));
    hint(w, "CoBo_SMTPAnmeldeart", c.GetText(379));
    hint(w, "SBPfad_Sound", c.GetText(233));
    passwordCommandHelp(w, "FEPasswortbefehl", c);
    g_shortcutTexts = {c.GetText(68), c.GetText(69), c.GetText(70), c.GetText(71)};
}

void WindowTexts::applyKonten(QWidget &w, const TKvLanguage &c)
{
    const struct
    {
        quint16 n;
        const char *name;
    } captions[] = {
        {6, "LClose"}, {9, "LNew"}, {15, "LEdit"}, {14, "LDelete"}, {10, "LHelp"}, {131, "LSave"},
        {132, "LVorlage"}, {145, "LUser"}, {146, "LHost"}, {148, "LPasswort"}, {147, "Lport"},
        {149, "LBezeichnung"}, {75, "FLBPasswort"}, {400, "LPasswortbefehl"}, {363, "LSicherheit"},
        {463, "LPruefserver"}, {375, "LAnmeldeart"},
    };
    for (const auto &e : captions)
        caption(w, e.name, c.GetText(e.n));
    hint(w, "LNew", c.GetText(139));
    hint(w, "LEdit", c.GetText(140));
    hint(w, "LDelete", c.GetText(150));
    hint(w, "LSave", c.GetText(141));
    shrinkToolCaptions(w);
    passwordCommandHelp(w, "FE_Passwortbefehl", c);
    hint(w, "FE_Pruefserver", c.GetText(467));
    hint(w, "CoBo_Anmeldeart", c.GetText(379));
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
        quint16 n;
        const char *name;
    } captions[] = {
        // menus
        {12, "Datei1"}, {8, "Einstellungen1"}, {8, "Allgemein1"}, {32, "Konten1"}, {7, "Beenden1"},
        {7, "Beenden2"}, {21, "Aktionen1"}, {168, "PrfenKonto1"}, {169, "PrfenAlleKonten1"},
        {169, "AlleKontenprfen1"}, {37, "Listen1"}, {23, "Betreffliste1"}, {24, "Absenderliste1"}, {458, "Schutzliste1"},
        {175, "Lesen1"}, {175, "Lesen2"}, {176, "Abrufen1"}, {39, "LschenMarkieren1"}, {39, "ZumLschenMarkieren1"},
        {38, "Lschen1"}, {38, "Lschen2"}, {40, "Allelschen1"}, {40, "Allelschen2"}, {19, "Ergebniszeigen1"},
        {41, "Nutzen1"}, {10, "Hilfe1"}, {10, "OnlineHilfe1"}, {44, "Undo1"}, {11, "Informationen1"},
        {196, "Protokollspeichern1"}, {45, "Sonstiges1"}, {46, "Senden1"}, {492, "CloseConnection1"},
        {493, "Readme1"}, {494, "News1"}, {495, "Homepage1"},
        // captions
        {35, "GBKonten"}, {7, "Lab_Beenden"}, {171, "Lab_Postfach"}, {172, "Lab_Alle_Konten"},
        {19, "Lab_Ergebnis"}, {175, "Lab_Lesen"}, {176, "Lab_Abrufen"}, {38, "Lab_Loeschen"},
        {40, "Lab_alle_loeschen"}, {496, "Lab_Undo"}, {170, "Lab_Provider"}, {22, "Lab_Extern"}, {10, "Lab_Hilfe"},
        {33, "LVorgang"}, {490, "GBKonten_Ergeb"}, {491, "GBFehler"},
    };
    for (const auto &e : captions)
        caption(f, e.name, c.GetText(e.n));
    addMnemonics(*f.menuBar());
    for (QLabel *l : {f.Lab_Beenden, f.Lab_Postfach, f.Lab_Alle_Konten, f.Lab_Ergebnis, f.Lab_Lesen, f.Lab_Abrufen,
                      f.Lab_Loeschen, f.Lab_alle_loeschen, f.Lab_Undo, f.Lab_Provider, f.Lab_Extern, f.Lab_Hilfe})
        shrinkToFit(l);
    f.LEDL_Online->setCaption(c.GetText(43));
    f.LEDL_Automatic->setCaption(c.GetText(42));

    const struct
    {
        quint16 n;
        const char *name;
    } hints[] = {
        {178, "But_Postfach"}, {179, "But_AlleKonten"}, {180, "But_Lesen"}, {197, "But_Abrufen"},
        {181, "But_Loeschen"}, {190, "But_Delete_All"}, {191, "But_Provider"}, {192, "But_Extern"},
        {193, "But_Undo"}, {182, "LED_Anzahl_Konto"}, {182, "L_Anzahl_konto"},
        {183, "LED_Anzahl_KontenGesamt"}, {183, "L_Anzahl_KontenGesamt"}, {184, "LED_Anzahl_Mails_Gesamt"},
        {184, "L_Anzahl_Mails_gesamt"}, {185, "LED_Anz_ERR_Betreff"}, {185, "L_Anz_ERR_Betreff"},
        {186, "LED_Anz_ERR_Betreff_Eigen"}, {186, "L_Anz_ERR_Betreff_Eigen"}, {187, "LED_Anz_ERR_Absender"},
        {187, "L_Anz_ERR_Absender"}, {188, "LED_Anz_ERR_Absender_Eigen"}, {188, "L_Anz_ERR_Absender_Eigen"},
        {189, "LED_Anz_ERR_Groesse"}, {189, "L_Anz_ERR_Groesse"},
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
