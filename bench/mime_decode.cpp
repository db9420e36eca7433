// Header decoding cost per input byte beside a baseline run in the same
// process: reading the same bytes as UTF-8 text (what showing a raw header
// already costs). Ordinary subjects, long chains of encoded words, and
// hostile values: word starts without an end, one huge base64 word, bogus
// charsets. Each case at two sizes, ten times apart: a linear decoder shows
// a size ratio near 10.
#include "net/MimeText.h"

#include <QElapsedTimer>

#include <cstdio>

namespace {

// Nanoseconds per call, over at least `minMs` milliseconds.
template <class F>
double nsPerCall(F &&f, qint64 minMs = 300)
{
    QElapsedTimer clock;
    clock.start();
    qint64 calls = 0;
    qsizetype sink = 0;
    while (calls < 3 || clock.elapsed() < minMs) {
        sink += f();
        ++calls;
    }
    if (sink < 0)
        std::printf("?");
    return double(clock.nsecsElapsed()) / double(calls);
}

struct Case {
    const char *name;
    QByteArray unit;   // repeated to the size
    QByteArray prefix; // once, before the repeats
    QByteArray suffix; // once, after them
};

}

int main()
{
    const Case cases[] = {
        {"plain subject text", "Quarterly figures and ", "", ""},
        {"chain of Q words (UTF-8)", "=?UTF-8?Q?Gr=C3=BC=C3=9Fe?= ", "", ""},
        {"chain of B words, charsets alternating", "=?ISO-8859-2?B?sQ==?= =?KOI8-R?B?8A==?= ", "", ""},
        {"word starts without an end", "=?a?q?", "", ""},
        {"one huge base64 word", "QUJD", "=?UTF-8?B?", "?="},
        {"bogus charsets", "=?x-bogus?Q?abc?= ", "", ""},
    };
    std::printf("%-42s %10s %12s %12s %8s %8s\n", "case", "bytes", "decode ns/B", "UTF-8 ns/B", "ratio", "x10 size");
    for (const Case &c : cases) {
        double perByte[2] = {};
        for (int k = 0; k < 2; ++k) {
            const int repeats = std::max<int>(1, int((k == 0 ? 100000 : 1000000) / c.unit.size()));
            const QByteArray value = c.prefix + c.unit.repeated(repeats) + c.suffix;
            const double decode = nsPerCall([&] { return MimeText::decodeHeader(value).size(); });
            const double baseline = nsPerCall([&] { return QString::fromUtf8(value).size(); });
            perByte[k] = decode / double(value.size());
            if (k == 1)
                std::printf("%-42s %10lld %12.2f %12.2f %8.1f %8.2f\n", c.name, qint64(value.size()), perByte[k],
                            baseline / double(value.size()), decode / baseline,
                            perByte[1] * 10.0 / perByte[0]);
        }
    }
    return 0;
}
