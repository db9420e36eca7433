#include "settings/CertificatesPage.h"

#include "lang/KvLanguage.h"
#include "platform/GuardedConnect.h"
#include "platform/Prompts.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
template<typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel *hintLabel(const char *name, QWidget *parent)
{
    auto *l = named(new QLabel(parent), name);
    l->setWordWrap(true);
    return l;
}
}

CertificatesPage::CertificatesPage(Prompts &prompts, QWidget *parent) : QWidget(parent), m_prompts(prompts)
{
    setObjectName(QStringLiteral("TSZertifikate"));
    LCA_Datei = named(new QLabel(QStringLiteral("Extra CA certificates:"), this), "LCA_Datei");
    FECA_Datei = named(new QLineEdit(this), "FECA_Datei");
    SB_CA_Datei = named(new QToolButton(this), "SB_CA_Datei");
    SB_CA_Datei->setText(QStringLiteral("..."));
    LCA_Hinweis = hintLabel("LCA_Hinweis", this);
    LZertifikate = named(new QLabel(QStringLiteral("Trusted certificates:"), this), "LZertifikate");
    LB_Zertifikate = named(new QListWidget(this), "LB_Zertifikate");
    B_Zertifikat_Entfernen = named(new QPushButton(QStringLiteral("Remove"), this), "B_Zertifikat_Entfernen");
    LZertifikate_Hinweis = hintLabel("LZertifikate_Hinweis", this);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(4);
    auto *file = new QHBoxLayout;
    file->addWidget(LCA_Datei);
    file->addWidget(FECA_Datei, 1);
    file->addWidget(SB_CA_Datei);
    layout->addLayout(file);
    layout->addWidget(LCA_Hinweis);
    layout->addWidget(LZertifikate);
    auto *list = new QHBoxLayout;
    list->addWidget(LB_Zertifikate, 1);
    list->addWidget(B_Zertifikat_Entfernen, 0, Qt::AlignTop);
    layout->addLayout(list, 1);
    layout->addWidget(LZertifikate_Hinweis);

    guardedConnect(m_prompts, SB_CA_Datei, &QToolButton::clicked, this, [this] { SB_CA_DateiClick(); });
    guardedConnect(m_prompts, B_Zertifikat_Entfernen, &QPushButton::clicked, this,
                   [this] { B_Zertifikat_EntfernenClick(); });
    connect(LB_Zertifikate, &QListWidget::currentRowChanged, this,
            [this](int row) { B_Zertifikat_Entfernen->setEnabled(row >= 0); });
}

QString CertificatesPage::entryText(const CertificateTrust::Entry &entry)
{
    const QString digest = entry.sha256.isEmpty() ? entry.unread : QString::fromLatin1(entry.sha256.toHex(':').toUpper());
    return entry.host + QLatin1Char(':') + QString::number(entry.port) + QStringLiteral("  ") + digest;
}

void CertificatesPage::showEntries()
{
    LB_Zertifikate->clear();
    for (const CertificateTrust::Entry &e : std::as_const(m_entries))
        LB_Zertifikate->addItem(entryText(e));
    B_Zertifikat_Entfernen->setEnabled(false);
}

void CertificatesPage::load(const Settings &settings)
{
    FECA_Datei->setText(settings.CA_Datei);
    m_entries = settings.certificates.entries();
    showEntries();
}

bool CertificatesPage::store(Settings &settings, const TKvLanguage &catalog)
{
    const QString path = FECA_Datei->text().trimmed();
    if (!path.isEmpty() && !(QFileInfo(path).isFile() && QFileInfo(path).isReadable())) {
        m_prompts.error(catalog.GetText(TextId::CaFileUnreadable) + QLatin1Char('\n') + path);
        return false;
    }
    settings.CA_Datei = path;
    settings.certificates.setEntries(m_entries);
    return true;
}

void CertificatesPage::SB_CA_DateiClick()
{
    const QString path = m_prompts.openFileName(QStringLiteral("pem"), QString());
    if (!path.isEmpty())
        FECA_Datei->setText(QDir::toNativeSeparators(path));
}

void CertificatesPage::B_Zertifikat_EntfernenClick()
{
    const int row = LB_Zertifikate->currentRow();
    if (row < 0 || row >= m_entries.size())
        return;
    m_entries.removeAt(row);
    showEntries();
}
