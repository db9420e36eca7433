// The base64 and uuencode decoders on arbitrary text, and the round trip of
// arbitrary bytes through both coders.
#include "net/UUProcessor.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    TUUProcessor::DecodeBytes(input, TUUMethod::uuMime);
    TUUProcessor::DecodeBytes(input, TUUMethod::uuCode);
    for (TUUMethod m : {TUUMethod::uuMime, TUUMethod::uuCode})
        if (TUUProcessor::DecodeBytes(TUUProcessor::EncodeBytes(input, m), m) != input)
            std::abort();
    return 0;
}
