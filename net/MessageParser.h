#pragma once
// Splits a retrieved message into header fields, text body and attachment
// files. Works on the lines of TMailMessage::RawBody (or, for the first
// header, on lines handed in by the caller), so it runs without a socket.
//
// The rules are positional and substring-based on purpose: the first part of
// a multipart message is the text, every later part becomes a file; base64
// and x-uuencode parts are decoded, others are written as transferred.
#include "net/MailRecords.h"
#include "net/UUProcessor.h"

#include <QByteArray>
#include <QString>
#include <functional>

class TMessageParser
{
public:
    enum class PartMode { Header, Text, File };
    // Hands out the next header line without its line end; false when there
    // is none (the message ended).
    using LineSource = std::function<bool(QByteArray &line)>;

    explicit TMessageParser(TMailMessage &message) : m_message(message) {}

    // Folder for attachment and temporary files, with a trailing '/'.
    const QString &AttachFilePath() const { return m_attachPath; }
    void SetAttachFilePath(const QString &path);

    // Parse state of one retrieval.
    QByteArray TransferEncoding;
    QByteArray AttachFileName;
    PartMode Mode = PartMode::Header;
    qsizetype LineIndex = 0;
    qint64 BytesRecvd = 0;
    TUUProcessor Processor;

    std::function<void()> OnPacketRecvd;
    std::function<void(QString &fileName)> OnDecodeStart;
    std::function<void(const QString &text, int level)> OnReport;

    // Clears the parse state for a new message (the record is left alone).
    void Begin();
    // Reads header lines up to the first empty line: from `source`, or from
    // RawBody at LineIndex when `source` is null.
    void ParseHeader(const LineSource *source, TMailMessage &target);
    // Splits RawBody at the message's boundary. Throws KvError when no line
    // holds the boundary.
    void ParseMultipart();
    // Moves the lines of one part to Body or to a file; true when the part
    // ended with the closing delimiter. Throws KvError when a file cannot be
    // written.
    bool ExtractPart(TMailMessage &target);
    // Fills Body from RawBody: multipart split, or the single part as it is
    // (`parse` false), decoded to a file (`parse` and base64) or moved.
    void SplitBody(bool parse);

    // The whole retrieval without a socket: `lines` are the message lines as
    // received (line ends removed, dot-stuffing kept, no end line). Clears
    // the record, parses the header, fills RawBody and splits the body.
    void ParseLines(const QList<QByteArray> &lines, bool parse);

    // A file name from a message header made safe to create inside the
    // attachment folder: no folder parts, no "..", no characters that file
    // systems refuse. Empty when nothing usable remains.
    static QString SafeFileName(const QString &name);
    // `name`, or name_1.ext, name_2.ext ... when a file of that name exists.
    QString UniqueName(const QString &name) const;
    // The process-wide counter of temporary files ("Temp<n>.mme").
    static int NextTempNumber();

private:
    bool HasBoundary(const QByteArray &line) const;
    void Report(const QString &text, int level);
    void TakeHeaderLine(const QByteArray &line, TMailMessage &target);

    TMailMessage &m_message;
    QString m_attachPath;
};
