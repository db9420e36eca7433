// Header, parameter and body decoding on arbitrary text: no crash, no
// sanitizer report, and the text shown no longer than twice the input.
#include "net/MimeText.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    if (MimeText::decodeHeader(input).size() > 2 * input.size())
        std::abort();
    MimeText::parameter(input, "filename");
    // The first line is the content type, the second the transfer encoding.
    QList<QByteArray> lines = input.split('\n');
    const QByteArray type = lines.isEmpty() ? QByteArray() : lines.takeFirst();
    const QByteArray encoding = lines.isEmpty() ? QByteArray() : lines.takeFirst();
    MimeText::bodyText(lines, type, encoding);
    return 0;
}
