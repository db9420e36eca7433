#pragma once
// The settings dialog's page of server certificates: the extra CA file
// (CA_Datei) whose CA certificates the servers' certificates may be signed
// by, and the certificates the user trusted although they failed
// verification (section Zertifikate), which the user can remove one by one.
// Edits stay in the page until the dialog is confirmed.
#include "settings/CertificateTrust.h"

#include <QWidget>

class Prompts;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class TKvLanguage;
struct Settings;

class CertificatesPage : public QWidget
{
    Q_OBJECT
public:
    explicit CertificatesPage(Prompts &prompts, QWidget *parent = nullptr);

    // The settings' values into the controls (when the dialog is shown).
    void load(const Settings &settings);
    // The controls into the settings; false, after the message, when the CA
    // file named cannot be read (nothing is taken then).
    bool store(Settings &settings, const TKvLanguage &catalog);

    // Browse for the CA file; remove the selected certificate.
    void SB_CA_DateiClick();
    void B_Zertifikat_EntfernenClick();

    // One line per trusted certificate: "host:port  fingerprint".
    static QString entryText(const CertificateTrust::Entry &entry);

    QLabel *LCA_Datei, *LCA_Hinweis, *LZertifikate, *LZertifikate_Hinweis;
    QLineEdit *FECA_Datei;
    QToolButton *SB_CA_Datei;
    QListWidget *LB_Zertifikate;
    QPushButton *B_Zertifikat_Entfernen;

private:
    void showEntries();

    Prompts &m_prompts;
    QList<CertificateTrust::Entry> m_entries;
};
