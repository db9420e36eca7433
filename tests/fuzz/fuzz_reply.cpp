// Reply lines as a server may send them: the line reader, POP3 reply tests
// and fields, summary lines, reply numbers and SMTP address extraction.
#include "net/LineReader.h"
#include "net/LineSocket.h"
#include "net/Pop3Reply.h"
#include "net/SmtpClient.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    // A small limit makes the too-long path reachable; the input arrives in
    // pieces of a size taken from its first byte.
    LineReader reader(64);
    const qsizetype piece = input.isEmpty() ? 1 : 1 + uchar(input[0]) % 97;
    TSummary summary;
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
        Pop3Reply::Accepted(line);
        Pop3Reply::Refused(line);
        Pop3Reply::Field(line, 2);
        Pop3Reply::StatCount(line);
        try {
            Pop3Reply::ListBytes(line);
        } catch (const KvError &) {
        }
        try {
            TLineSocket::ParseReplyNumber(line);
        } catch (const KvError &) {
        }
        TSmtpClient::ExtractAddress(line);
        TSmtpClient::IsContinued(line);
        if (Pop3Reply::TakeSummaryLine(summary, line))
            summary = TSummary();
    }
    return 0;
}
