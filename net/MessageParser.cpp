#include "net/MessageParser.h"

#include "platform/core/AnsiCodec.h"
#include "platform/core/KvError.h"

#include <QFile>
#include <QFileInfo>

namespace {

QByteArray firstFieldUpper(const QByteArray &line)
{
    const qsizetype blank = line.indexOf(' ');
    return (blank < 0 ? line : line.left(blank)).toUpper();
}

[[noreturn]] void fileError(const QFile &file)
{
    throw KvError(QStringLiteral("Die Datei %1 kann nicht erstellt werden. %2").arg(file.fileName(), file.errorString()));
}

}

void TMessageParser::SetAttachFilePath(const QString &path)
{
    m_attachPath = path;
    if (!m_attachPath.isEmpty() && !m_attachPath.endsWith(QLatin1Char('/')) && !m_attachPath.endsWith(QLatin1Char('\\')))
        m_attachPath += QLatin1Char('/');
}

void TMessageParser::Begin()
{
    TransferEncoding.clear();
    AttachFileName.clear();
    m_message.Boundary.clear();
    Mode = PartMode::Header;
    LineIndex = 0;
    BytesRecvd = 0;
}

void TMessageParser::Report(const QString &text, int level)
{
    if (OnReport)
        OnReport(text, level);
}

bool TMessageParser::HasBoundary(const QByteArray &line) const
{
    // An empty boundary is found nowhere.
    return !m_message.Boundary.isEmpty() && line.contains(m_message.Boundary);
}

int TMessageParser::NextTempNumber()
{
    static int counter = 0;
    return ++counter;
}

void TMessageParser::TakeHeaderLine(const QByteArray &line, TMailMessage &target)
{
    const QByteArray field = firstFieldUpper(line);
    if (field == "SUBJECT:")
        m_message.Subject = line.mid(8, 256);
    else if (field == "FROM:")
        m_message.From = line.mid(6, 256);
    else if (field == "CONTENT-TYPE:")
        m_message.ContentType = line.mid(14, 256);
    else if (field == "MESSAGE-ID:")
        m_message.MessageId = line.mid(12, 256);

    const QByteArray upper = line.toUpper();
    const qsizetype b = upper.indexOf("BOUNDARY=");
    if (b >= 0) {
        QByteArray value = line.mid(b + 9, 256);
        if (value.startsWith('"'))
            value = value.mid(1, value.size() - 2);
        target.Boundary = value;
    }
    if (upper.contains("CONTENT-TRANSFER-ENCODING"))
        TransferEncoding = line.mid(27, 256);
    if (upper.contains("FILENAME") || upper.contains("NAME")) {
        const qsizetype q1 = line.indexOf('"');
        const qsizetype q2 = q1 < 0 ? -1 : line.indexOf('"', q1 + 1);
        AttachFileName = q2 < 0 ? QByteArray() : line.mid(q1 + 1, q2 - q1 - 1);
    }
}

void TMessageParser::ParseHeader(const LineSource *source, TMailMessage &target)
{
    QByteArray line;
    for (;;) {
        if (source) {
            if (!(*source)(line))
                break;
        } else {
            if (LineIndex >= m_message.RawBody.size())
                return;
            line = m_message.RawBody.at(LineIndex++);
        }
        if (Mode == PartMode::Header)
            m_message.Head.append(line);
        if (line.isEmpty())
            break;
        TakeHeaderLine(line, target);
    }
    if (Mode == PartMode::Header)
        Mode = PartMode::Text;
}

void TMessageParser::ParseMultipart()
{
    TMailMessage part;
    const QList<QByteArray> &raw = m_message.RawBody;
    bool found = false;
    while (LineIndex < raw.size()) {
        if (HasBoundary(raw.at(LineIndex++))) {
            found = true;
            break;
        }
    }
    if (!found)
        throw KvError(QStringLiteral("Listenindex überschreitet das Maximum (%1)").arg(LineIndex));
    bool closed = false;
    do {
        ParseHeader(nullptr, part);
        closed = ExtractPart(m_message);
    } while (!closed && LineIndex < raw.size());
}

bool TMessageParser::ExtractPart(TMailMessage &target)
{
    const QList<QByteArray> &raw = m_message.RawBody;
    const bool toFile = Mode == PartMode::File;
    QFile temp;
    if (toFile) {
        temp.setFileName(m_attachPath + QStringLiteral("Temp%1.mme").arg(NextTempNumber()));
        if (!temp.open(QIODevice::WriteOnly))
            fileError(temp);
    }
    Report(QStringLiteral("Extrahieren der Datei"), 1);

    QByteArray line;
    if (LineIndex < raw.size()) {
        line = raw.at(LineIndex++);
        for (;;) {
            if (HasBoundary(line))
                break;
            if (toFile) {
                temp.write(line);
                temp.write("\r\n", 2);
            } else {
                target.Body.append(line);
            }
            ++BytesRecvd;
            if (OnPacketRecvd)
                OnPacketRecvd();
            // The last line counts too when no delimiter follows it: a
            // single-part body keeps its last line.
            if (LineIndex >= raw.size()) {
                line.clear();
                break;
            }
            line = raw.at(LineIndex++);
        }
    }

    if (toFile) {
        temp.close();
        if (temp.size() > 0) {
            QString name = SafeFileName(Ansi::toUnicode(AttachFileName));
            if (name.isEmpty())
                name = QStringLiteral("text.tmp");
            name = UniqueName(name);
            if (OnDecodeStart) {
                OnDecodeStart(name);
                name = SafeFileName(name);
                name = UniqueName(name.isEmpty() ? QStringLiteral("text.tmp") : name);
            }

            const QByteArray encoding = TransferEncoding.toLower();
            const bool uu = encoding.contains("x-uuencode");
            if (uu || encoding.contains("base64")) {
                Processor.SetMethod(uu ? TUUMethod::uuCode : TUUMethod::uuMime);
                Report(QStringLiteral("Decodieren der Datei"), 1);
                QFile in(temp.fileName());
                if (!in.open(QIODevice::ReadOnly))
                    fileError(in);
                QFile out(m_attachPath + name);
                if (!out.open(QIODevice::WriteOnly))
                    fileError(out);
                Processor.SetInputStream(&in);
                Processor.SetOutputStream(&out);
                Processor.Decode();
                Processor.SetInputStream(nullptr);
                Processor.SetOutputStream(nullptr);
            } else {
                if (!temp.rename(m_attachPath + name))
                    fileError(temp);
            }
            // Listed once the file is there: a file that could not be
            // written never shows as an attachment.
            target.Body.append("\r\nDatei \"" + Ansi::fromUnicode(name) + "\" extrahiert");
            target.Attachments.append(name);
        }
    }

    // The closing delimiter is the boundary followed by "--"; looking at the
    // line's last four characters alone would take "--ab" for one.
    bool closing = false;
    if (HasBoundary(line)) {
        const qsizetype at = line.indexOf(m_message.Boundary);
        closing = line.mid(at + m_message.Boundary.size(), 2) == "--";
    }
    Mode = PartMode::File;
    return closing;
}

void TMessageParser::SplitBody(bool parse)
{
    if (m_message.ContentType.toLower().contains("multipart")) {
        ParseMultipart();
        return;
    }
    if (!parse) {
        m_message.Body = m_message.RawBody;
        return;
    }
    if (TransferEncoding.toLower().contains("base64")) {
        Mode = PartMode::File;
        const qsizetype before = m_message.Attachments.size();
        ExtractPart(m_message);
        m_message.Body.clear();
        if (m_message.Attachments.size() > before) {
            QFile file(m_attachPath + m_message.Attachments.at(before));
            if (file.open(QIODevice::ReadOnly)) {
                QByteArray line;
                while (!file.atEnd()) {
                    line = file.readLine();
                    if (line.endsWith('\n')) {
                        line.chop(1);
                        if (line.endsWith('\r'))
                            line.chop(1);
                    }
                    m_message.Body.append(line);
                }
            }
        }
        return;
    }
    ExtractPart(m_message);
}

void TMessageParser::ParseLines(const QList<QByteArray> &lines, bool parse)
{
    Begin();
    m_message.Clear();
    qsizetype next = 0;
    const LineSource source = [&](QByteArray &line) {
        if (next >= lines.size())
            return false;
        line = lines.at(next++);
        return true;
    };
    ParseHeader(&source, m_message);
    m_message.RawBody = lines.mid(next);
    SplitBody(parse);
}

QString TMessageParser::SafeFileName(const QString &name)
{
    QString base = name;
    const qsizetype slash = qMax(base.lastIndexOf(QLatin1Char('/')), base.lastIndexOf(QLatin1Char('\\')));
    if (slash >= 0)
        base = base.mid(slash + 1);
    QString out;
    out.reserve(base.size());
    for (const QChar c : base) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            continue;
        if (QStringLiteral("<>:\"|?*").contains(c))
            continue;
        out.append(c);
    }
    out = out.trimmed();
    while (out.endsWith(QLatin1Char('.')) || out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    // Drop leading dots: no hidden files, and nothing that reads as a folder.
    while (out.startsWith(QLatin1Char('.')))
        out.remove(0, 1);
    // File systems count the encoded bytes (255 at most); keep room for the
    // "_k" of a renamed duplicate.
    constexpr qsizetype kMaxBytes = 200;
    if (QFile::encodeName(out).size() > kMaxBytes) {
        const qsizetype dot = out.lastIndexOf(QLatin1Char('.'));
        QString ext = dot > 0 && out.size() - dot <= 16 ? out.mid(dot) : QString();
        if (QFile::encodeName(ext).size() > 32)
            ext.clear();
        QString stem = out.left(out.size() - ext.size());
        while (!stem.isEmpty() && QFile::encodeName(stem + ext).size() > kMaxBytes)
            stem.chop(1);
        out = stem + ext;
    }
    return out;
}

QString TMessageParser::UniqueName(const QString &name) const
{
    QString candidate = name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    for (int k = 1; QFileInfo::exists(m_attachPath + candidate); ++k) {
        if (dot >= 0)
            candidate = name.left(dot) + QLatin1Char('_') + QString::number(k) + name.mid(dot);
        else
            candidate = name + QLatin1Char('_') + QString::number(k);
    }
    return candidate;
}
