#pragma once
// The question about a server certificate that failed verification: its
// details and two buttons, trust it (Accepted) or not (Rejected). The
// texts come from CertificateQuestion.
#include "check/CertificateQuestion.h"

#include <QDialog>

class QLabel;
class QPushButton;

class CertificateDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CertificateDialog(QWidget *parent = nullptr);

    void setTexts(const CertificateQuestion::Texts &texts);

    // CertificateQuestion::Asker: runs the dialog through the prompts; true
    // when the user trusts the certificate.
    static bool ask(Prompts &prompts, const CertificateQuestion::Texts &texts);

    QLabel *LZertifikat;      // the details, plain text
    QLabel *LFrage;           // the question
    QPushButton *B_Vertrauen; // trust it
    QPushButton *B_Ablehnen;  // do not (the default)
};
