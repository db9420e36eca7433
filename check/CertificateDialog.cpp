#include "check/CertificateDialog.h"

#include "platform/Prompts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CertificateDialog::CertificateDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CertificateDialog"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    auto *layout = new QVBoxLayout(this);
    LZertifikat = new QLabel(this);
    LZertifikat->setObjectName(QStringLiteral("LZertifikat"));
    // The names and the issuer come from the server: never rich text.
    LZertifikat->setTextFormat(Qt::PlainText);
    LZertifikat->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LZertifikat->setWordWrap(true);
    LFrage = new QLabel(this);
    LFrage->setObjectName(QStringLiteral("LFrage"));
    LFrage->setTextFormat(Qt::PlainText);
    LFrage->setWordWrap(true);
    B_Vertrauen = new QPushButton(this);
    B_Vertrauen->setObjectName(QStringLiteral("B_Vertrauen"));
    B_Ablehnen = new QPushButton(this);
    B_Ablehnen->setObjectName(QStringLiteral("B_Ablehnen"));
    // Enter must not trust a certificate by accident.
    B_Vertrauen->setAutoDefault(false);
    B_Ablehnen->setDefault(true);
    connect(B_Vertrauen, &QPushButton::clicked, this, &QDialog::accept);
    connect(B_Ablehnen, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(B_Vertrauen);
    buttons->addWidget(B_Ablehnen);
    layout->addWidget(LZertifikat);
    layout->addWidget(LFrage);
    layout->addLayout(buttons);
    setMinimumWidth(520);
}

void CertificateDialog::setTexts(const CertificateQuestion::Texts &texts)
{
    if (!texts.caption.isEmpty())
        setWindowTitle(texts.caption);
    LZertifikat->setText(texts.details);
    LFrage->setText(texts.question);
    B_Vertrauen->setText(texts.trust);
    B_Ablehnen->setText(texts.decline);
}

bool CertificateDialog::ask(Prompts &prompts, const CertificateQuestion::Texts &texts)
{
    CertificateDialog dialog;
    dialog.setTexts(texts);
    return prompts.exec(dialog) == QDialog::Accepted;
}
