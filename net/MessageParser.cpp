#include "net/MessageParser.h"

#include "net/MimeText.h"
#include "net/NetError.h"
#include "platform/core/AnsiCodec.h"
#include "platform/core/Printable.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <atomic>

namespace {

QByteArray firstFieldUpper(const QByteArray &line)
{
    const qsizetype blank = line.indexOf(' ');
    return (blank < 0 ? line : line.left(blank)).toUpper();
}

[[noreturn]] void fileError(const QFile &file)
{
    throw EProtocolError(NetError::FileNotCreated, file.fileName(), file.errorString());
}

// The name in the code page when it holds every character of it, else in
// UTF-8 (which the viewer reads as such): a name decoded from its header
// keeps every character.
QByteArray savedNote(const QString &name)
{
    const QByteArray bytes = Ansi::firstUnencodable(name) < 0 ? Ansi::fromUnicode(name) : name.toUtf8();
    return "\r\nDatei \"" + bytes + "\" extrahiert";
}

}

TMessageParser::~TMessageParser()
{
    Abandon();
}

void TMessageParser::SetAttachFilePath(const QString &path)
{
    m_attachPath = path;
    if (!m_attachPath.isEmpty() && !m_attachPath.endsWith(QLatin1Char('/')) && !m_attachPath.endsWith(QLatin1Char('\\')))
        m_attachPath += QLatin1Char('/');
}

void TMessageParser::Begin(bool parse)
{
    Abandon();
    TransferEncoding.clear();
    AttachFileName.clear();
    AttachName.clear();
    m_message.Boundary.clear();
    m_message.TextLines = 0;
    m_message.TextContentType.clear();
    m_message.TextTransferEncoding.clear();
    m_partHead.clear();
    m_partHeadBytes = 0;
    m_headType.clear();
    m_headEncoding.clear();
    Mode = PartMode::Header;
    BytesRecvd = 0;
    m_parse = parse;
    m_phase = Phase::Header;
    m_headBytes = 0;
    m_textBytes = 0;
    m_textStart = 0;
    m_spilled = false;
    m_partHasLines = false;
    m_dropped = 0;
    m_nextSuffix.clear();
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
    // Shared by every client's parser, in whatever thread the client lives.
    static std::atomic<int> counter{0};
    return ++counter;
}

void TMessageParser::TakeHeaderLine(const QByteArray &line, QByteArray *boundary)
{
    const QByteArray field = firstFieldUpper(line);
    if (field == "SUBJECT:")
        m_message.Subject = line.mid(8, MailRecords::MaxFieldBytes);
    else if (field == "FROM:")
        m_message.From = line.mid(6, MailRecords::MaxFieldBytes);
    else if (field == "CONTENT-TYPE:")
        m_message.ContentType = line.mid(14, MailRecords::MaxFieldBytes);
    else if (field == "MESSAGE-ID:")
        m_message.MessageId = line.mid(12, MailRecords::MaxFieldBytes);

    const QByteArray upper = line.toUpper();
    const qsizetype b = boundary ? upper.indexOf("BOUNDARY=") : -1;
    if (b >= 0) {
        QByteArray value = line.mid(b + 9, MailRecords::MaxFieldBytes);
        if (value.startsWith('"'))
            value = value.mid(1, value.size() - 2);
        *boundary = value;
    }
    if (upper.contains("CONTENT-TRANSFER-ENCODING"))
        TransferEncoding = line.mid(27, MailRecords::MaxFieldBytes);
    if (upper.contains("FILENAME") || upper.contains("NAME")) {
        const qsizetype q1 = line.indexOf('"');
        const qsizetype q2 = q1 < 0 ? -1 : line.indexOf('"', q1 + 1);
        AttachFileName = q2 < 0 ? QByteArray() : line.mid(q1 + 1, q2 - q1 - 1);
    }
}

void TMessageParser::EndHeader(const QList<QByteArray> &lines)
{
    m_headType = MimeText::fieldValue(lines, "Content-Type", false);
    m_headEncoding = MimeText::fieldValue(lines, "Content-Transfer-Encoding", false);
    // Only what the quote rule cannot read: RFC 2231 values, and encoded
    // words inside the quoted name. Everything else keeps the quote rule.
    AttachName.clear();
    const QByteArray disposition = MimeText::fieldValue(lines, "Content-Disposition", false);
    for (const auto &[value, name] : {std::pair{disposition, QByteArray("filename")}, std::pair{m_headType, QByteArray("name")}}) {
        if (AttachName.isEmpty() && value.toLower().contains(name + '*'))
            AttachName = MimeText::parameter(value, name);
    }
    if (AttachName.isEmpty() && AttachFileName.contains("=?"))
        AttachName = MimeText::decodeHeader(AttachFileName);
}

// ---------------------------------------------------------------- lines

void TMessageParser::TakeLine(const QByteArray &line)
{
    switch (m_phase) {
    case Phase::Header:
        m_headBytes += line.size() + 2;
        if (m_headBytes > MaxHeadBytes || m_message.Head.size() >= MaxHeadLines)
            throw EProtocolError(NetError::HeadTooLong, MaxHeadLines, MaxHeadBytes / 1024);
        m_message.Head.append(line);
        if (line.isEmpty()) {
            Mode = PartMode::Text;
            EndHeader(m_message.Head);
            StartBody();
            return;
        }
        TakeHeaderLine(line, &m_message.Boundary);
        return;
    case Phase::Preamble:
        // The preamble is dropped up to and including the first delimiter.
        if (HasBoundary(line))
            m_phase = Phase::PartHeader;
        return;
    case Phase::PartHeader:
        if (line.isEmpty()) {
            EndHeader(m_partHead);
            m_partHead.clear();
            m_partHeadBytes = 0;
            if (Mode == PartMode::Text) {
                m_message.TextContentType = m_headType;
                m_message.TextTransferEncoding = m_headEncoding;
            }
            m_phase = Phase::PartBody;
            BeginPart();
            return;
        }
        m_partHeadBytes += line.size() + 2;
        if (m_partHeadBytes <= MaxPartHeadBytes && m_partHead.size() < MaxPartHeadLines)
            m_partHead.append(line);
        // A part's own boundary splits nothing: only the message's counts.
        TakeHeaderLine(line, nullptr);
        return;
    case Phase::PartBody:
        if (HasBoundary(line)) {
            if (Mode == PartMode::Text)
                m_message.TextLines = m_message.Body.size();
            EndPart();
            // The closing delimiter is the boundary followed by "--"; looking
            // at the line's last four characters alone would take "--ab" for one.
            const qsizetype at = line.indexOf(m_message.Boundary);
            const bool closing = line.mid(at + m_message.Boundary.size(), 2) == "--";
            Mode = PartMode::File; // every part after the first becomes a file
            m_phase = closing ? Phase::Epilogue : Phase::PartHeader;
            return;
        }
        PartLine(line);
        return;
    case Phase::Epilogue:
        return;
    case Phase::Single:
        PartLine(line);
        return;
    }
}

void TMessageParser::StartBody()
{
    if (m_message.ContentType.toLower().contains("multipart")) {
        m_phase = Phase::Preamble;
        return;
    }
    // A single part: kept as it is, or (with `parse`) decoded to a file
    // when it is base64, else moved as text.
    m_phase = Phase::Single;
    m_message.TextContentType = m_headType;
    m_message.TextTransferEncoding = m_headEncoding;
    if (m_parse && TransferEncoding.toLower().contains("base64"))
        Mode = PartMode::File;
    if (m_parse)
        BeginPart();
}

void TMessageParser::BeginPart()
{
    Report(QStringLiteral("Extrahieren der Datei"), 1);
    m_partHasLines = false;
    m_spilled = false;
    m_textStart = m_phase == Phase::Single ? m_message.RawBody.size() : m_message.Body.size();
}

void TMessageParser::PartLine(const QByteArray &line)
{
    if (m_phase != Phase::Single || m_parse) {
        ++BytesRecvd;
        if (OnPacketRecvd)
            OnPacketRecvd();
    }
    if (Mode != PartMode::File) {
        // A single part is kept in RawBody (the body is the same lines); the
        // first part of a multipart message goes to Body.
        TextLine(m_phase == Phase::Single ? m_message.RawBody : m_message.Body, line);
        return;
    }
    if (!m_work.isOpen()) {
        if (m_message.Attachments.size() >= MaxAttachments) {
            if (!m_partHasLines)
                ++m_dropped;
            m_partHasLines = true;
            return;
        }
        OpenWorkFile();
    }
    m_partHasLines = true;
    m_work.write(line);
    m_work.write("\r\n", 2);
}

void TMessageParser::TextLine(QList<QByteArray> &lines, const QByteArray &line)
{
    if (m_spilled) {
        m_work.write(line);
        m_work.write("\r\n", 2);
        return;
    }
    m_textBytes += line.size() + 2;
    if (m_textBytes <= MaxTextBytes) {
        lines.append(line);
        return;
    }
    // Too much text to hold: the whole text part goes on into a file, and
    // the body keeps what it holds so far.
    OpenWorkFile();
    for (qsizetype i = m_textStart; i < lines.size(); ++i) {
        m_work.write(lines.at(i));
        m_work.write("\r\n", 2);
    }
    m_work.write(line);
    m_work.write("\r\n", 2);
    m_spilled = true;
}

void TMessageParser::OpenWorkFile()
{
    // Made inside the attachment folder only: a missing folder is an error.
    QDir(m_attachPath).mkdir(QLatin1String(WorkFolder));
    m_work.setFileName(m_attachPath + QLatin1String(WorkFolder) + QStringLiteral("/Temp%1.mme").arg(NextTempNumber()));
    if (!m_work.open(QIODevice::WriteOnly))
        fileError(m_work);
}

// ---------------------------------------------------------------- parts

void TMessageParser::EndPart()
{
    if (!m_work.isOpen())
        return; // nothing was written: no file, nothing listed
    m_work.close();
    if (m_work.size() == 0) {
        m_work.remove();
        return;
    }
    const QString name = SaveWorkFile();
    m_message.Body.append(savedNote(name));
    m_message.Attachments.append(name);
    m_spilled = false;
}

QString TMessageParser::SaveWorkFile()
{
    const bool text = Mode != PartMode::File; // a text part saved as transferred
    m_work.close();
    auto removeWork = qScopeGuard([this] { m_work.remove(); });

    QString name = SafeFileName(AttachName.isEmpty() ? Ansi::toUnicode(AttachFileName) : AttachName);
    if (name.isEmpty())
        name = QStringLiteral("text.tmp");
    name = UniqueName(name);
    if (OnDecodeStart) {
        const QString chosen = name;
        OnDecodeStart(name);
        name = SafeFileName(name);
        if (name.isEmpty())
            name = QStringLiteral("text.tmp");
        if (name != chosen) // a name the handler gave is made unique in its turn
            name = UniqueName(name);
    }

    const QByteArray encoding = TransferEncoding.toLower();
    const bool uu = encoding.contains("x-uuencode");
    if (!text && (uu || encoding.contains("base64"))) {
        Processor.SetMethod(uu ? TUUMethod::uuCode : TUUMethod::uuMime);
        Report(QStringLiteral("Decodieren der Datei"), 1);
        QFile in(m_work.fileName());
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
        removeWork.dismiss();
        if (!m_work.rename(m_attachPath + name)) {
            m_work.remove();
            fileError(m_work);
        }
    }
    return name;
}

void TMessageParser::LoadDecodedBody(const QString &name)
{
    QFile file(m_attachPath + name);
    if (!file.open(QIODevice::ReadOnly))
        return;
    qint64 held = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine(MaxTextBytes + 1);
        held += line.size();
        if (held > MaxTextBytes) {
            // The file holds the rest; the body says where it is.
            m_message.Body.append(savedNote(name));
            return;
        }
        if (line.endsWith('\n')) {
            line.chop(1);
            if (line.endsWith('\r'))
                line.chop(1);
        }
        m_message.Body.append(line);
    }
}

void TMessageParser::End()
{
    if (m_phase == Phase::Header) {
        // A message without the empty line after its header:
        //     C: RETR 1
        //     S: +OK
        //     S: Subject: hi
        //     S: .               <- no empty line, no body
        Mode = PartMode::Text;
        EndHeader(m_message.Head);
        StartBody();
    }
    switch (m_phase) {
    case Phase::Header:
    case Phase::PartHeader:
    case Phase::Epilogue:
        break;
    case Phase::Preamble:
        RemoveWorkFolder();
        throw EProtocolError(NetError::NoBoundary, m_message.Body.size());
    case Phase::PartBody:
        if (Mode == PartMode::Text)
            m_message.TextLines = m_message.Body.size();
        EndPart();
        break;
    case Phase::Single:
        if (Mode == PartMode::File) {
            const qsizetype before = m_message.Attachments.size();
            EndPart();
            m_message.Body.clear();
            if (m_message.Attachments.size() > before)
                LoadDecodedBody(m_message.Attachments.at(before));
            m_message.TextLines = m_message.Body.size();
            m_message.TextTransferEncoding.clear(); // decoded already
        } else {
            m_message.Body = m_message.RawBody;
            m_message.TextLines = m_message.Body.size();
            EndPart();
        }
        break;
    }
    if (m_dropped > 0) {
        const QString note = QStringLiteral("%1 weitere Anhänge nicht gespeichert (höchstens %2 je Nachricht)")
                                 .arg(m_dropped)
                                 .arg(MaxAttachments);
        m_message.Body.append("\r\n" + Ansi::fromUnicode(note));
        Report(note, 1);
    }
    RemoveWorkFolder();
}

void TMessageParser::Abandon()
{
    if (m_work.isOpen()) {
        m_work.close();
        m_work.remove();
    }
    RemoveWorkFolder();
}

void TMessageParser::RemoveWorkFolder()
{
    if (!m_attachPath.isEmpty())
        QDir(m_attachPath).rmdir(QLatin1String(WorkFolder)); // only when empty
}

void TMessageParser::ParseLines(const QList<QByteArray> &lines, bool parse)
{
    Begin(parse);
    m_message.Clear();
    try {
        for (const QByteArray &line : lines)
            TakeLine(line);
        End();
    } catch (...) {
        Abandon();
        throw;
    }
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
        // Control characters, and the direction overrides that would show
        // "txt.exe" as "exe.txt" in a file manager.
        if (c.unicode() < 0x20 || Printable::isUnsafe(c.unicode()))
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

QString TMessageParser::UniqueName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    int &k = m_nextSuffix[name]; // 0 is the name itself
    for (;; ++k) {
        QString candidate = name;
        if (k > 0)
            candidate = dot >= 0 ? name.left(dot) + QLatin1Char('_') + QString::number(k) + name.mid(dot)
                                 : name + QLatin1Char('_') + QString::number(k);
        if (!QFileInfo::exists(m_attachPath + candidate)) {
            ++k;
            return candidate;
        }
    }
}
