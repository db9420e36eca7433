#pragma once
// Splits a retrieved message into header fields, text body and attachment
// files, line by line as the lines arrive: the client hands over each line of
// the RETR reply, and a part meant for a file goes to its file as it comes,
// so a large message is never held whole. Tests and fuzzers feed it lines of
// their own (ParseLines).
//
// The rules are positional and substring-based on purpose: the first part of
// a multipart message is the text, every later part becomes a file; base64
// and x-uuencode parts are decoded, others are written as transferred.
//
// What one message may hold in memory is bounded: the header (MaxHeadBytes,
// MaxHeadLines; past that the message is refused with an error), the text
// shown as the body (MaxTextBytes; past that the whole text part is saved as
// a file and the body shows its beginning) and the number of attachment
// files (MaxAttachments; further parts are counted and named in the body,
// not written).
//
// Parts are written to work files in the sub-folder WorkFolder of the
// attachment folder, which no attachment name can take (names never start
// with a dot); each work file is gone once its part is saved.
#include "net/MailRecords.h"
#include "net/UUProcessor.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QString>
#include <functional>

class TMessageParser
{
public:
    enum class PartMode { Header, Text, File };

    static constexpr qint64 MaxHeadBytes = 1024 * 1024;
    static constexpr int MaxHeadLines = 10000;
    static constexpr qint64 MaxTextBytes = 4 * 1024 * 1024;
    static constexpr int MaxAttachments = 1000;
    static constexpr const char *WorkFolder = ".work";
    // What of a part's header is kept to read its type and name from.
    static constexpr qint64 MaxPartHeadBytes = 64 * 1024;
    static constexpr int MaxPartHeadLines = 1000;

    explicit TMessageParser(TMailMessage &message) : m_message(message) {}
    ~TMessageParser();

    // Folder for attachment files, with a trailing '/' (added when the path
    // has none). Raises nothing.
    const QString &AttachFilePath() const { return m_attachPath; }
    void SetAttachFilePath(const QString &path);

    // Parse state of one retrieval.
    QByteArray TransferEncoding;
    QByteArray AttachFileName;
    // The name the last header gave in its filename or name parameter
    // (RFC 2231 and encoded words decoded); when empty, AttachFileName is
    // the name.
    QString AttachName;
    PartMode Mode = PartMode::Header;
    qint64 BytesRecvd = 0;
    TUUProcessor Processor;

    std::function<void()> OnPacketRecvd;
    std::function<void(QString &fileName)> OnDecodeStart;
    std::function<void(const QString &text, int level)> OnReport;

    // Clears the parse state for a new message (as Abandon, first); `parse`
    // decodes the body of a single-part message (the record is left
    // alone). Raises nothing.
    void Begin(bool parse = false);
    // One line of the message as received: line end removed, dot-stuffing
    // kept. Throws EProtocolError HeadTooLong, or FileNotCreated when a
    // work file cannot be made or a part that ends cannot be saved; the
    // caller still reads the rest of the message (and calls Abandon). What
    // a handler (OnPacketRecvd, OnDecodeStart, OnReport) raises passes
    // through.
    void TakeLine(const QByteArray &line);
    // The message ended: finishes the last part and the body. Throws
    // EProtocolError NoBoundary when a multipart message holds no line with
    // its boundary, FileNotCreated when the last file cannot be saved;
    // handlers as for TakeLine.
    void End();
    // A retrieval broken off: the open work file goes, nothing is listed.
    // Raises nothing.
    void Abandon();

    // The whole retrieval without a socket: `lines` are the message lines as
    // received (line ends removed, dot-stuffing kept, no end line). Clears
    // the record and splits it. Raises what TakeLine and End raise.
    void ParseLines(const QList<QByteArray> &lines, bool parse);

    // A file name from a message header made safe to create inside the
    // attachment folder: no folder parts, no "..", no leading dot, no
    // control or direction-changing characters, nothing that file systems
    // refuse. Empty when nothing usable remains. Raises nothing.
    static QString SafeFileName(const QString &name);
    // `name`, or name_1.ext, name_2.ext ... when a file of that name exists
    // or was handed out before in this retrieval. Each name's count goes on
    // from where it stopped, so n equal names cost n steps, not n². Raises
    // nothing.
    QString UniqueName(const QString &name);
    // The process-wide counter of work files ("Temp<n>.mme"); safe to call
    // from any thread. Raises nothing.
    static int NextTempNumber();

private:
    enum class Phase { Header, Preamble, PartHeader, PartBody, Epilogue, Single };

    bool HasBoundary(const QByteArray &line) const;
    void Report(const QString &text, int level);
    // A header line into the record; `boundary` (the message's, none for
    // a part header) takes a boundary parameter.
    void TakeHeaderLine(const QByteArray &line, QByteArray *boundary);
    // The header just ended: its content type, transfer encoding and the
    // name in its parameters.
    void EndHeader(const QList<QByteArray> &lines);
    void StartBody();
    void BeginPart();
    void PartLine(const QByteArray &line);
    void TextLine(QList<QByteArray> &lines, const QByteArray &line);
    void OpenWorkFile();
    void EndPart();
    QString SaveWorkFile();
    void LoadDecodedBody(const QString &name);
    void RemoveWorkFolder();

    TMailMessage &m_message;
    QString m_attachPath;
    bool m_parse = false;
    Phase m_phase = Phase::Header;
    qint64 m_headBytes = 0;
    qint64 m_textBytes = 0;
    qsizetype m_textStart = 0; // first Body/RawBody line of the text part
    bool m_spilled = false;    // the text part went on into a file
    bool m_partHasLines = false;
    int m_dropped = 0;         // attachment parts not written (MaxAttachments)
    QList<QByteArray> m_partHead; // the current part's header lines, bounded
    qint64 m_partHeadBytes = 0;
    QByteArray m_headType;        // content type and transfer encoding of the
    QByteArray m_headEncoding;    // header that ended last
    QFile m_work;
    QHash<QString, int> m_nextSuffix;
};
