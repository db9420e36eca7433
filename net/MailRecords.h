#pragma once
// The records the POP3 client fills and its callers read. All text is bytes
// as it came from the server; lines are kept without their line end unless
// a field says otherwise.
//
// Nothing here raises.
#include "net/ExStringList.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace MailRecords {
// The most bytes a header value puts into a field of a record: the Subject,
// From, ContentType, MessageId and Boundary of a message, the transfer
// encoding its parser reads, the MessageId of a summary. A record is made
// for every message, and one header line may be of any length: the field
// keeps its beginning, the whole line stays in the header list (which the
// display reads, ShownText.h). 256 is the length these fields have always
// had.
inline constexpr qsizetype MaxFieldBytes = 256;
}

// The summary of one waiting message (TOP n 0 and LIST n).
struct TSummary
{
    QByteArray Subject;   // after "Subject:" (exact case), leading blank kept, no line end
    QByteArray From;      // after "From:" (exact case), leading blank kept, no line end
    qint64 Bytes = 0;     // size from LIST
    QByteArray MessageId; // up to MaxFieldBytes after "Message-ID: ", line end included
    TExStringList Header; // every line of the TOP reply, the final "." included
};

// One retrieved message (RETR n), split into header, text and attachments.
struct TMailMessage
{
    TExStringList Head;      // header lines, the empty line that ends them included
    // The lines of a single-part body as received, dot-stuffing left in
    // place (the lines of a multipart message go to Body and their files as
    // they arrive and are not held twice).
    QList<QByteArray> RawBody;
    QList<QByteArray> Body;    // the text shown as the message body
    QStringList Attachments;   // names (no folder) of the files written to the attachment folder
    QByteArray ContentType;
    QByteArray From;
    QByteArray Subject;
    QByteArray MessageId;
    QByteArray Boundary;
    // The text part for display: the first TextLines lines of Body are its
    // lines as they came, with its own content type and transfer encoding
    // (whole, folded lines joined); the lines after them are notes.
    qsizetype TextLines = 0;
    QByteArray TextContentType;
    QByteArray TextTransferEncoding;

    void Clear()
    {
        Head.clear();
        RawBody.clear();
        Body.clear();
        Attachments.clear();
        ContentType.clear();
        From.clear();
        Subject.clear();
        MessageId.clear();
        Boundary.clear();
        TextLines = 0;
        TextContentType.clear();
        TextTransferEncoding.clear();
    }
};
