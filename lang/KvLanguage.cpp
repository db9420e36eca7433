#include "lang/KvLanguage.h"

#include "platform/Prompts.h"
#include "platform/core/AnsiCodec.h"
#include "platform/core/KvError.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <utility>

namespace {

constexpr qsizetype kMaxLanguageName = 255;

// Decimal integer with optional leading blanks and sign, nothing after it,
// within 32 bits: the number rules of the language files.
bool parseDecimal(const QByteArray &text, qint32 &value)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
        if (v > qint64(2147483648LL))
            return false;
    }
    if (negative)
        v = -v;
    if (v > 2147483647LL)
        return false;
    value = qint32(v);
    return true;
}

// Line 4 of the header: the number is the first word of the line; whatever
// follows the first blank is a comment.
bool parseHeaderNumber(const QByteArray &line, qint32 &value)
{
    qsizetype start = 0;
    while (start < line.size() && static_cast<unsigned char>(line[start]) <= ' ')
        ++start;
    qsizetype end = start;
    while (end < line.size() && static_cast<unsigned char>(line[end]) > ' ')
        ++end;
    return parseDecimal(line.mid(start, end - start), value);
}

// Lines of an 8-bit text file: CR LF or a lone LF ends a line, and a break
// after the last line does not make an extra empty one.
class LineReader
{
public:
    explicit LineReader(QByteArray data) : m_data(std::move(data)) {}
    bool atEnd() const { return m_pos >= m_data.size(); }
    QByteArray next()
    {
        if (atEnd())
            return {};
        qsizetype end = m_data.indexOf('\n', m_pos);
        qsizetype after = end + 1;
        if (end < 0) {
            end = m_data.size();
            after = end;
        }
        QByteArray line = m_data.mid(m_pos, end - m_pos);
        m_pos = after;
        if (line.endsWith('\r'))
            line.chop(1);
        return line;
    }

private:
    QByteArray m_data;
    qsizetype m_pos = 0;
};

// Hour-glass while a file is read; only where a GUI exists.
class WaitCursor
{
public:
    WaitCursor() : m_on(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (m_on)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor()
    {
        if (m_on)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool m_on;
};

} // namespace

TKvLanguage::TKvLanguage(Prompts *prompts) : m_prompts(prompts) {}

QString TKvLanguage::existingFile(const QString &folder, const QString &name)
{
    if (name.isEmpty())
        return {};
    const QString exact = folder + QLatin1Char('/') + name;
    if (QFileInfo(exact).isFile())
        return exact;
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || folder.isEmpty())
        return {};
    const QDir dir(folder);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &candidate : files) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(candidate);
    }
    return {};
}

void TKvLanguage::setPath(const QString &path)
{
    QString folder = path;
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        folder.chop(1);
    m_path = folder;
    if (m_fileName.isEmpty())
        return;
    if (existingFile(m_path, m_fileName).isEmpty())
        showNotFound();
    ReadLanguageFile();
}

void TKvLanguage::setFileName(const QString &name)
{
    if (name.isEmpty()) {
        m_fileName.clear();
    } else {
        QString candidate = name;
        const qsizetype separator =
            qMax(candidate.lastIndexOf(QLatin1Char('/')), candidate.lastIndexOf(QLatin1Char('\\')));
        const qsizetype dot = candidate.lastIndexOf(QLatin1Char('.'));
        const bool hasExtension = dot > separator;
        const QString extension = hasExtension ? candidate.mid(dot) : QString();
        if (extension.toUpper() != QLatin1String(".LNG"))
            candidate = (hasExtension ? candidate.left(dot) : candidate) + QLatin1String(".LNG");
        if (!existingFile(m_path, candidate).isEmpty())
            m_fileName = candidate;
        else
            showNotFound();
    }
    ReadLanguageFile();
}

namespace {
// Every entry the lookup may meet must begin with a decimal number and a
// comma; an empty or damaged line would make a later lookup fail.
bool entriesValid(const std::vector<QByteArray> &entries)
{
    for (const QByteArray &entry : entries) {
        const qsizetype comma = entry.indexOf(',');
        qint32 key = 0;
        if (comma < 0 || !parseDecimal(entry.left(comma), key))
            return false;
    }
    return true;
}
}

void TKvLanguage::ReadLanguageFile()
{
    m_entries.clear();
    m_loaded = false;
    const QString file = existingFile(m_path, m_fileName);
    if (file.isEmpty())
        return;

    bool ok = false;
    {
        WaitCursor wait;
        QFile in(file);
        if (in.open(QIODevice::ReadOnly)) {
            const QByteArray data = in.readAll();
            if (in.error() == QFileDevice::NoError) {
                LineReader lines(data);
                m_languageName = lines.next().left(kMaxLanguageName);
                m_codeLetter = lines.next();
                m_headerText = lines.next();
                if (!lines.atEnd() && parseHeaderNumber(lines.next(), m_headerNumber)) {
                    while (!lines.atEnd())
                        m_entries.push_back(lines.next());
                    ok = entriesValid(m_entries);
                }
            }
        }
    }
    m_loaded = ok;
    if (!ok) {
        m_entries.clear();
        showCorrupt();
    }
}

bool TKvLanguage::loadQuietly(const QString &fileName)
{
    Prompts *prompts = std::exchange(m_prompts, nullptr);
    m_fileName = fileName;
    ReadLanguageFile();
    m_prompts = prompts;
    return m_loaded;
}

QString TKvLanguage::GetText(quint16 number) const
{
    if (m_entries.empty())
        return {};
    qsizetype lo = 0;
    qsizetype hi = qsizetype(m_entries.size()) - 1;
    while (lo <= hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        const QByteArray &entry = m_entries[size_t(mid)];
        const qsizetype comma = entry.indexOf(',');
        const QByteArray keyText = comma < 0 ? QByteArray() : entry.left(comma);
        qint32 key = 0;
        if (!parseDecimal(keyText, key))
            throw KvError(notAnIntegerText(Ansi::toUnicode(keyText)));
        if (key == number)
            return Ansi::toUnicode(entry.mid(comma + 1));
        if (key < number)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return {};
}

bool TKvLanguage::ChooseLanguage()
{
    return ChooseLanguage(m_chooser);
}

bool TKvLanguage::ChooseLanguage(const Chooser &chooser)
{
    if (!m_prompts || !chooser)
        return false;
    const std::optional<QString> chosen = chooser(*m_prompts, m_dialogLanguage, m_path, LanguageName());
    if (!chosen)
        return false;
    // The chooser only offers files it has just listed, so the name is taken
    // as it is, without the checks of setFileName.
    m_fileName = *chosen;
    ReadLanguageFile();
    return true;
}

QString TKvLanguage::LanguageName() const
{
    return Ansi::toUnicode(m_languageName);
}

QString TKvLanguage::CodeLetter() const
{
    return Ansi::toUnicode(m_codeLetter);
}

QString TKvLanguage::HeaderText() const
{
    return Ansi::toUnicode(m_headerText);
}

void TKvLanguage::showNotFound() const
{
    if (!m_prompts)
        return;
    m_prompts->error(m_dialogLanguage == TLangDialog::Deutsch ? QStringLiteral("Sprachdatei nicht gefunden !")
                                                              : QStringLiteral("Language-file not found !"));
}

void TKvLanguage::showCorrupt() const
{
    if (!m_prompts)
        return;
    m_prompts->error(m_dialogLanguage == TLangDialog::Deutsch
                         ? QStringLiteral("Datei ist fehlerhaft oder keine g\u00fcltige Sprachdatei !")
                         : QStringLiteral("File is corrupt or no valid language-file !"));
}
