// The settings dialog's pages and their controls; what the controls do is
// in SetupForm.cpp.
#include "settings/SetupForm.h"

#include "support/Hints.h"

#include "lang/KvLanguage.h"
#include "platform/GuardedConnect.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/core/KvError.h"
#include "platform/core/ProgramFolder.h"
#include "platform/core/SettingsKey.h"
#include "settings/NoticeServerFields.h"
#include "settings/CertificatesPage.h"
#include "settings/PasswordCommandHelp.h"
#include "settings/Settings.h"
#include "support/HtmlInfoViewer.h"

#include <algorithm>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Wide enough for the longest captions of the shipped languages.
const int kWidth = 700;
const int kHeight = 340;
const int kBottomHeight = 40;

template<typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QCheckBox *checkBox(const char *name, const char *caption, QWidget *parent)
{
    return named(new QCheckBox(QLatin1String(caption), parent), name);
}

QLabel *label(const char *name, const char *caption, QWidget *parent)
{
    return named(new QLabel(QLatin1String(caption), parent), name);
}

QLineEdit *lineEdit(const char *name, QWidget *parent, int fixedWidth = 0)
{
    auto *e = named(new QLineEdit(parent), name);
    if (fixedWidth > 0)
        e->setFixedWidth(fixedWidth);
    return e;
}

// A program to start: its path with a browse button, its parameters and a
// switch below them.
void layOutProgramGroup(QGroupBox *group, QWidget *path, QWidget *browse, QWidget *label, QWidget *parameters,
                        QWidget *option)
{
    auto *grid = new QGridLayout(group);
    grid->setVerticalSpacing(3);
    grid->addWidget(path, 0, 0, 1, 2);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(label, 1, 0);
    grid->addWidget(parameters, 1, 1, 1, 2);
    grid->addWidget(option, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);
}

QToolButton *browseButton(const char *name, QWidget *parent)
{
    auto *b = named(new QToolButton(parent), name);
    b->setText(QStringLiteral("..."));
    return b;
}

QRadioButton *radio(const char *name, const char *caption, QWidget *parent)
{
    return named(new QRadioButton(QLatin1String(caption), parent), name);
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets, bool stretch = true)
{
    auto *l = new QHBoxLayout;
    for (QWidget *w : widgets)
        l->addWidget(w);
    if (stretch)
        l->addStretch(1);
    return l;
}
}

TSetupForm::TSetupForm(Settings &settings, TKvLanguage &catalog, Prompts &prompts, Shell &shell,
                       QString programFolder, std::function<void()> applySettings, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_catalog(catalog), m_prompts(prompts), m_shell(shell),
      m_programFolder(std::move(programFolder)), m_applySettings(std::move(applySettings))
{
    setObjectName(QStringLiteral("TSetupForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    // A title bar without system buttons: the dialog ends by its own buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kWidth, kHeight);

    PageControl1 = named(new QTabWidget(this), "PageControl1");
    PageControl1->setGeometry(4, 4, kWidth - 8, kHeight - kBottomHeight - 6);
    buildGeneralPage();
    buildMorePage();
    buildShortcutPage();
    buildNoticePage();
    TSZertifikate = new CertificatesPage(m_prompts);
    PageControl1->addTab(TSZertifikate, QStringLiteral("Certificates"));
    PageControl1->setCurrentIndex(0);
    buildBottomPanel();
}

void TSetupForm::buildBottomPanel()
{
    PSetup_Unten = named(new QWidget(this), "PSetup_Unten");
    PSetup_Unten->setGeometry(0, kHeight - kBottomHeight, kWidth, kBottomHeight);
    OBHilfe = named(new QPushButton(QStringLiteral("Help"), PSetup_Unten), "OBHilfe");
    SAbbrechen = named(new QPushButton(QStringLiteral("Cancel"), PSetup_Unten), "SAbbrechen");
    SBestaetigen = named(new QPushButton(QStringLiteral("OK"), PSetup_Unten), "SBestaetigen");
    auto *l = new QHBoxLayout(PSetup_Unten);
    l->setContentsMargins(8, 4, 8, 8);
    l->addWidget(OBHilfe);
    l->addStretch(1);
    l->addWidget(SAbbrechen);
    l->addWidget(SBestaetigen);
    for (QPushButton *b : {OBHilfe, SAbbrechen})
        b->setAutoDefault(false);
    SBestaetigen->setDefault(true);

    guardedConnect(m_prompts, SBestaetigen, &QPushButton::clicked, this, [this] { BOK1Click(); });
    for (QAbstractButton *b : std::initializer_list<QAbstractButton *>{OBHilfe, SAbbrechen, LSprache, FBPfad,
                                                                       SBPfad_Sound, SB_Check})
        guardedConnect(m_prompts, b, &QAbstractButton::clicked, this, [this, b] { SAbbrechenClick(b); });
    for (QPushButton *b : {FB_Anlegen, FB_Entfernen})
        guardedConnect(m_prompts, b, &QPushButton::clicked, this, [this, b] { FB_AnlegenClick(b); });
    guardedConnect(m_prompts, SBEdit_text, &QPushButton::clicked, this, [this] { SBEdit_textClick(); });
}

void TSetupForm::buildGeneralPage()
{
    TSAllgemein = named(new QWidget, "TSAllgemein");
    QWidget *p = TSAllgemein;
    CB_Kill_Betreff = checkBox("CB_Kill_Betreff", "Delete subject list hits", p);
    CB_Kill_Betreff_Eigen = checkBox("CB_Kill_Betreff_Eigen", "Delete own subject list hits", p);
    CB_Kill_Absender = checkBox("CB_Kill_Absender", "Delete sender list hits", p);
    CB_Kill_Absender_Eigen = checkBox("CB_Kill_Absender_Eigen", "Delete own sender list hits", p);
    CB_Kill_Groesse = checkBox("CB_Kill_Groesse", "Delete messages over the size limit", p);
    LGroesse_Angabe = label("LGroesse_Angabe", "Size limit (KByte):", p);
    Egroesse = lineEdit("Egroesse", p, 60);
    CBAuto_Kill = checkBox("CBAuto_Kill", "Also delete when checking all accounts", p);
    CB_Info_Absender = checkBox("CB_Info_Absender", "Notify senders", p);
    CB_Decoded_Match = checkBox("CB_Decoded_Match", "Also compare decoded subjects and senders", p);
    // This caption and its hint are the same in every language.
    CBAnzeige_clearen = checkBox("CBAnzeige_clearen", "Anzeige \"AlleKonten\" immer leeren", p);
    Hints::set(CBAnzeige_clearen, QStringLiteral("Die Protokollanzeige (unten) in dem Fenster \"Alle Konten\" wird "
                                                  "bei Aktivierung jedesmall geleert."));

    CBHints = checkBox("CBHints", "Show hints", p);
    CBTips = checkBox("CBTips", "Show a tip at start", p);
    CBTips->setEnabled(false);
    CBReadme = checkBox("CBReadme", "Show the read-me at start", p);
    CBMinimiert_starten = checkBox("CBMinimiert_starten", "Start minimized", p);
    CB_Sound1 = checkBox("CB_Sound1", "Sound for mail", p);
    CB_Sound2 = checkBox("CB_Sound2", "Alert sound", p);
    CB_Passwort = checkBox("CB_Passwort", "Save passwords", p);
    CBAutoCheck = checkBox("CBAutoCheck", "Check automatically (minutes):", p);
    ECheck_Timer = lineEdit("ECheck_Timer", p, 60);

    auto *grid = new QGridLayout(p);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(2);
    int r = 0;
    for (QWidget *w : {CB_Kill_Betreff, CB_Kill_Betreff_Eigen, CB_Kill_Absender, CB_Kill_Absender_Eigen,
                       CB_Kill_Groesse})
        grid->addWidget(w, r++, 0);
    grid->addLayout(row({LGroesse_Angabe, Egroesse}), r++, 0);
    for (QWidget *w : {CBAuto_Kill, CB_Info_Absender, CB_Decoded_Match})
        grid->addWidget(w, r++, 0);
    const int leftRows = r;
    r = 0;
    for (QWidget *w : {CBHints, CBTips, CBReadme, CBMinimiert_starten, CB_Sound1, CB_Sound2, CB_Passwort,
                       CBAnzeige_clearen})
        grid->addWidget(w, r++, 1);
    // Below both columns, whichever is the longer.
    r = std::max(r, leftRows);
    // The caption ends in "(minutes):", so the number follows it on its line.
    grid->addLayout(row({CBAutoCheck, ECheck_Timer}), r++, 0, 1, 2);
    grid->setRowStretch(r, 1);
    PageControl1->addTab(TSAllgemein, QStringLiteral("General"));
}

void TSetupForm::buildMorePage()
{
    TSWeiteres = named(new QWidget, "TSWeiteres");
    QWidget *p = TSWeiteres;
    // These captions stay as they are in every language.
    LTimeOut = label("LTimeOut", "Timeout: (Seconds)", p);
    ETimeOut = lineEdit("ETimeOut", p, 60);
    Lab_Sprache = label("Lab_Sprache", "Language:", p);
    LSprache = named(new QPushButton(p), "LSprache");
    LSprache->setFlat(true);
    LSprache->setAutoDefault(false);
    LSprache->setCursor(Qt::PointingHandCursor);
    QFont languageFont = LSprache->font();
    languageFont.setBold(true);
    LSprache->setFont(languageFont);

    GBEMail_Pfad = named(new QGroupBox(QStringLiteral("Mail program"), p), "GBEMail_Pfad");
    FEProgramm = lineEdit("FEProgramm", GBEMail_Pfad);
    FBPfad = browseButton("FBPfad", GBEMail_Pfad);
    LParameter = label("LParameter", "Parameters:", GBEMail_Pfad);
    Epara = lineEdit("Epara", GBEMail_Pfad);
    CBemail_programm = checkBox("CBemail_programm", "Exit after starting the mail program", GBEMail_Pfad);
    layOutProgramGroup(GBEMail_Pfad, FEProgramm, FBPfad, LParameter, Epara, CBemail_programm);

    GBGroesse = named(new QGroupBox(QStringLiteral("Show sizes in"), p), "GBGroesse");
    RBByte = radio("RBByte", "Byte", GBGroesse);
    RBKByte = radio("RBKByte", "KByte", GBGroesse);
    RBMByte = radio("RBMByte", "MByte", GBGroesse);
    auto *units = new QHBoxLayout(GBGroesse);
    units->addWidget(RBByte);
    units->addWidget(RBKByte);
    units->addWidget(RBMByte);
    units->addStretch(1);

    GBSoundPfad = named(new QGroupBox(QStringLiteral("Sound playback"), p), "GBSoundPfad");
    RBIntern = radio("RBIntern", "Built-in player", GBSoundPfad);
    RBExtern = radio("RBExtern", "System player", GBSoundPfad);
    ESound_Pfad = lineEdit("ESound_Pfad", GBSoundPfad);
    SBPfad_Sound = browseButton("SBPfad_Sound", GBSoundPfad);
    // Kept and shown, but nothing plays this path.
    ESound_Pfad->setEnabled(false);
    SBPfad_Sound->setEnabled(false);
    auto *sound = new QGridLayout(GBSoundPfad);
    sound->setVerticalSpacing(3);
    sound->addWidget(RBIntern, 0, 0, 1, 2);
    sound->addWidget(RBExtern, 1, 0, 1, 2);
    sound->addWidget(ESound_Pfad, 2, 0);
    sound->addWidget(SBPfad_Sound, 2, 1);

    GBCheck_Pfad = named(new QGroupBox(QStringLiteral("Attachment checker"), p), "GBCheck_Pfad");
    ECheck_Pfad = lineEdit("ECheck_Pfad", GBCheck_Pfad);
    SB_Check = browseButton("SB_Check", GBCheck_Pfad);
    LParameter2 = label("LParameter2", "Parameters:", GBCheck_Pfad);
    ECheck_Para = lineEdit("ECheck_Para", GBCheck_Pfad);
    CB_Checker = checkBox("CB_Checker", "Check saved attachments automatically", GBCheck_Pfad);
    layOutProgramGroup(GBCheck_Pfad, ECheck_Pfad, SB_Check, LParameter2, ECheck_Para, CB_Checker);

    for (QGroupBox *g : {GBEMail_Pfad, GBGroesse, GBSoundPfad, GBCheck_Pfad})
        g->layout()->setContentsMargins(8, 4, 8, 6);
    auto *left = new QVBoxLayout;
    left->setSpacing(4);
    left->addLayout(row({LTimeOut, ETimeOut}));
    left->addLayout(row({Lab_Sprache, LSprache}));
    left->addWidget(GBGroesse);
    left->addWidget(GBSoundPfad);
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    right->setSpacing(4);
    right->addWidget(GBEMail_Pfad);
    right->addWidget(GBCheck_Pfad);
    right->addStretch(1);
    auto *columns = new QHBoxLayout(p);
    columns->setContentsMargins(8, 6, 8, 6);
    columns->setSpacing(10);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    PageControl1->addTab(TSWeiteres, QStringLiteral("More"));
}

void TSetupForm::buildShortcutPage()
{
    TSSoftware = named(new QWidget, "TSSoftware");
    QWidget *p = TSSoftware;
    GTAblage = label("GTAblage", "Shortcuts", p);
    QFont heading = GTAblage->font();
    heading.setBold(true);
    GTAblage->setFont(heading);
    // None is selected at first: a shortcut then goes where the last one went.
    FB_Menu_Start = radio("FB_Menu_Start", "Start menu", p);
    FB_Menu_Autostart = radio("FB_Menu_Autostart", "Autostart", p);
    FB_Menu_Favoriten = radio("FB_Menu_Favoriten", "Favourites", p);
    FB_Menu_Programme = radio("FB_Menu_Programme", "Programs menu", p);
    FB_Menu_Desktop = radio("FB_Menu_Desktop", "Desktop", p);
    FB_Anlegen = named(new QPushButton(QStringLiteral("Create"), p), "FB_Anlegen");
    FB_Entfernen = named(new QPushButton(QStringLiteral("Remove"), p), "FB_Entfernen");
    FB_Anlegen->setAutoDefault(false);
    FB_Entfernen->setAutoDefault(false);

    auto *v = new QVBoxLayout(p);
    v->setContentsMargins(16, 10, 16, 10);
    v->addWidget(GTAblage);
    v->addSpacing(4);
    for (QWidget *w : {FB_Menu_Start, FB_Menu_Autostart, FB_Menu_Favoriten, FB_Menu_Programme, FB_Menu_Desktop})
        v->addWidget(w);
    v->addSpacing(10);
    auto *buttons = row({FB_Anlegen, FB_Entfernen});
    v->addLayout(buttons);
    v->addStretch(1);
    PageControl1->addTab(TSSoftware, QStringLiteral("Shortcuts"));
}

void TSetupForm::buildNoticePage()
{
    TSVersand = named(new QWidget, "TSVersand");
    QWidget *p = TSVersand;
    LAbsender = label("LAbsender", "Sender", p);
    FEAbsender = lineEdit("FEAbsender", p);
    LeMail = label("LeMail", "E-mail address", p);
    FEeMail = lineEdit("FEeMail", p);
    LReply = label("LReply", "Reply to", p);
    FEReply = lineEdit("FEReply", p);
    LBetreff = label("LBetreff", "Subject", p);
    FEBetreff = lineEdit("FEBetreff", p);
    LKopie = label("LKopie", "Blind copy to", p);
    FEKopie = lineEdit("FEKopie", p);
    // These captions stay as they are in every language.
    LHost = label("LHost", "Host:", p);
    FEHost = lineEdit("FEHost", p);
    LPort = label("LPort", "Port:", p);
    FEPort = lineEdit("FEPort", p, 60);
    LUserID = label("LUserID", "User:", p);
    FEUser = lineEdit("FEUser", p);
    SBEdit_text = named(new QPushButton(QStringLiteral("Edit notice text"), p), "SBEdit_text");
    SBEdit_text->setAutoDefault(false);
    LPasswortbefehl = label("LPasswortbefehl", "Password command:", p);
    FEPasswortbefehl = lineEdit("FEPasswortbefehl", p);
    PasswordCommandHelp::apply(FEPasswortbefehl);
    NoticeServer = new NoticeServerFields(p, FEPort);
    const NoticeServerFields &n = *NoticeServer;

    auto *grid = new QGridLayout(p);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    const std::pair<QLabel *, QLineEdit *> left[] = {
        {LAbsender, FEAbsender}, {LeMail, FEeMail}, {LReply, FEReply}, {LBetreff, FEBetreff}, {LKopie, FEKopie}};
    int r = 0;
    for (const auto &[l, e] : left) {
        grid->addWidget(l, r, 0);
        grid->addWidget(e, r++, 1);
    }
    const std::pair<QLabel *, QLineEdit *> right[] = {{LHost, FEHost}, {LPort, FEPort}, {LUserID, FEUser}};
    r = 0;
    for (const auto &[l, e] : right) {
        grid->addWidget(l, r, 3);
        grid->addWidget(e, r++, 4, Qt::AlignLeft);
    }
    grid->addWidget(n.LSMTPSicherheit, 3, 3);
    grid->addWidget(n.CoBo_SMTPSicherheit, 3, 4);
    grid->addWidget(SBEdit_text, 4, 3, 1, 2);
    grid->addWidget(n.LAnmeldename, 5, 0);
    grid->addWidget(n.FEAnmeldename, 5, 1);
    grid->addWidget(n.LSMTPPasswort, 5, 3);
    grid->addWidget(n.FESMTPPasswort, 5, 4);
    grid->addWidget(LPasswortbefehl, 6, 0);
    grid->addWidget(FEPasswortbefehl, 6, 1);
    grid->addWidget(n.LSMTPAnmeldeart, 6, 3);
    grid->addWidget(n.CoBo_SMTPAnmeldeart, 6, 4);
    grid->addWidget(n.LSMTPWarnung, 7, 0, 1, 5);
    grid->addWidget(n.CB_Nur_Bestaetigte, 8, 0, 1, 5);
    grid->addWidget(n.LNur_Bestaetigte, 9, 0, 1, 5);
    grid->setColumnMinimumWidth(2, 12);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(4, 2);
    grid->setRowStretch(10, 1);
    PageControl1->addTab(TSVersand, QStringLiteral("Notices"));
}
