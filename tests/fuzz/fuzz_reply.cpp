// Reply lines as a server may send them: the line reader, POP3 reply tests
// and fields, summary lines, reply numbers and SMTP address extraction.
#include "net/LineReader.h"
#include "net/LineSocket.h"
#include "net/Pop3Reply.h"
#include "net/SmtpClient.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer device;
    device.setData(input);
    device.open(QIODevice::ReadOnly);
    TSummary summary;
    QByteArray line;
    // A small limit makes the too-long path reachable.
    while (LineReader::take(device, line, 64) != LineReader::Result::NeedMore) {
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
