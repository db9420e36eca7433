// Reply lines as a server may send them: the line reader, POP3 status lines,
// their fields and summary lines, the POP3 reply reader with several
// commands in flight, SMTP replies and reply numbers, capability lists and
// SMTP address extraction, and the status of an OAuth2 error challenge.
#include "net/LineReader.h"
#include "net/LineSocket.h"
#include "net/OAuthSasl.h"
#include "net/Pop3Fields.h"
#include "net/Pop3Reply.h"
#include "net/ServerCapabilities.h"
#include "net/SmtpClient.h"
#include "net/SmtpReply.h"

namespace {

// Keeps three commands in flight, of both reply shapes, as a pipelining
// client would.
void refill(Pop3ReplyReader &replies, int &sent)
{
    while (replies.Outstanding() < 3) {
        ++sent;
        replies.Sent(sent % 2 ? Pop3Command::TOP(sent, 0) : Pop3Command::LIST(sent));
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    // A small limit makes the too-long path reachable; the input arrives in
    // pieces of a size taken from its first byte.
    LineReader reader(64);
    const qsizetype piece = input.isEmpty() ? 1 : 1 + uchar(input[0]) % 97;
    TSummary summary;
    Pop3ReplyReader replies;
    int sent = 0;
    SmtpReplyReader smtp;
    QList<QByteArray> lines;
    QByteArray line;
    qsizetype fed = 0;
    for (;;) {
        if (reader.take(line) == LineReader::Result::NeedMore) {
            if (fed >= input.size())
                break;
            reader.append(input.mid(fed, piece));
            fed += piece;
            continue;
        }
        lines.append(line);
        const Pop3Reply reply(line);
        reply.Accepted();
        reply.Refused();
        reply.Field(2);
        Pop3Fields::MessageCount(reply);
        try {
            Pop3Fields::ListBytes(reply);
        } catch (const ENetError &) {
        }
        refill(replies, sent);
        if (replies.InData())
            replies.TakeData(line);
        else
            replies.TakeStatus(line);
        try {
            TLineSocket::ParseReplyNumber(line);
        } catch (const ENetError &) {
        }
        try {
            if (smtp.Take(line) != SmtpReplyReader::Result::More) {
                const SmtpReply r = smtp.TakeReply();
                for (qsizetype i = 0; i < r.Lines().size(); ++i)
                    r.Text(i);
                ServerCapabilities::FromEhlo(r).Parameters("AUTH");
            }
        } catch (const ENetError &) {
            smtp.TakeReply();
        }
        TSmtpClient::ExtractAddress(line);
        // The challenge as sent (base64) and a line of raw bytes as its JSON.
        for (const QByteArray &challenge : {line, line.toBase64()}) {
            const QString status = OAuthSasl::ErrorStatus(challenge);
            if (status.isEmpty() || status.size() > OAuthSasl::MaxStatus)
                __builtin_trap();
            for (const QChar c : status)
                if (c.unicode() < 0x20 || c.unicode() > 0x7e)
                    __builtin_trap();
        }
        if (Pop3Fields::TakeSummaryLine(summary, line))
            summary = TSummary();
    }
    const ServerCapabilities caps(lines);
    caps.Has("PIPELINING");
    caps.Parameters("SASL");
    return 0;
}
