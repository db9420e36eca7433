#include "lang/LanguageDialog.h"

#include "lang/KvLanguage.h"
#include "platform/Prompts.h"
#include "platform/core/AnsiCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>

namespace {

constexpr int kClientWidth = 318;
constexpr int kClientHeight = 349;
constexpr qsizetype kMaxLanguageName = 255;

// Line 1 of a language file, the language's own name.
QString languageNameOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return Ansi::toUnicode(line.left(kMaxLanguageName));
}

} // namespace

TLanguageDialog::TLanguageDialog(TLangDialog language, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("TLanguageDialog"));
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);
    const bool german = language == TLangDialog::Deutsch;
    setWindowTitle(german ? QStringLiteral("Sprache w\u00e4hlen") : QStringLiteral("Choose language"));

    m_scrollBox = new QScrollArea(this);
    m_scrollBox->setObjectName(QStringLiteral("ScrollBox"));
    m_scrollBox->setGeometry(10, 10, 300, 300);
    m_scrollBox->setWidgetResizable(false);
    m_scrollContent = new QWidget;
    m_scrollContent->setObjectName(QStringLiteral("ScrollBoxContent"));
    m_scrollContent->resize(280, 10);
    m_scrollBox->setWidget(m_scrollContent);

    // Holds the listed file names, as the folder's file list; never shown.
    m_fileList = new QListWidget(this);
    m_fileList->setObjectName(QStringLiteral("FileListBox"));
    m_fileList->hide();

    m_buttonOK = new QPushButton(QStringLiteral("OK"), this);
    m_buttonOK->setObjectName(QStringLiteral("ButtonOK"));
    m_buttonOK->setGeometry(59, 315, 95, 30);
    m_buttonOK->setDefault(true);
    connect(m_buttonOK, &QPushButton::clicked, this, &QDialog::accept);

    m_buttonCancel = new QPushButton(german ? QStringLiteral("Abbruch") : QStringLiteral("Cancel"), this);
    m_buttonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    m_buttonCancel->setGeometry(164, 315, 95, 30);
    connect(m_buttonCancel, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TLanguageDialog::~TLanguageDialog() = default;

void TLanguageDialog::BuildScreen(const QString &folder, const QString &currentName)
{
    // Without a folder there is nothing to offer (an empty path would
    // otherwise list the working directory).
    QStringList names;
    if (!folder.isEmpty()) {
        QDir dir(folder);
        dir.setNameFilters({QStringLiteral("*.lng")});
        dir.setFilter(QDir::Files | QDir::Hidden);
        dir.setSorting(QDir::Name | QDir::IgnoreCase);
        names = dir.entryList();   // name filters ignore letter case
    }
    m_fileList->clear();
    m_fileList->addItems(names);

    const QString wanted = currentName.toUpper();
    int y = 10;
    for (const QString &name : std::as_const(names)) {
        const int number = int(m_records.size()) + 1;
        Record record;
        record.fileName = name;

        record.picture = new QLabel(m_scrollContent);
        record.picture->setObjectName(QStringLiteral("Image%1").arg(number));
        record.picture->setGeometry(10, y, 32, 24);
        const QString picture =
            TKvLanguage::existingFile(folder, QFileInfo(name).completeBaseName() + QStringLiteral(".bmp"));
        if (!picture.isEmpty())
            record.picture->setPixmap(QPixmap(picture));

        record.radio = new QRadioButton(languageNameOf(QDir(folder).filePath(name)), m_scrollContent);
        record.radio->setObjectName(QStringLiteral("RadioButton%1").arg(number));
        record.radio->setGeometry(50, y, 240, 24);
        if (record.radio->text().toUpper() == wanted) {
            record.radio->setChecked(true);
            m_chosenFileName = name;
        }
        connect(record.radio, &QRadioButton::clicked, this, &TLanguageDialog::RadioButtonClick);
        m_records.push_back(record);
        y += 40;
    }
    m_scrollContent->resize(280, qMax(y, 10));

    if (!m_records.empty() && currentName.isEmpty()) {
        m_records.front().radio->setChecked(true);
        m_chosenFileName = m_records.front().fileName;
    }
}

void TLanguageDialog::RadioButtonClick()
{
    for (const Record &record : m_records) {
        if (record.radio->isChecked()) {
            m_chosenFileName = record.fileName;
            return;
        }
    }
}

std::optional<QString> TLanguageDialog::choose(Prompts &prompts, TLangDialog language, const QString &folder,
                                               const QString &currentName)
{
    TLanguageDialog dialog(language);
    dialog.BuildScreen(folder, currentName);
    if (prompts.exec(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.ChosenFileName();
}
