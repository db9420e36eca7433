// Whole messages through the header parser, the multipart split and the
// attachment writer, in a private folder that is emptied after every input.
#include "net/MessageParser.h"
#include "platform/core/KvError.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    if (size == 0)
        return 0;
    const bool parse = data[0] & 1;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QList<QByteArray> lines = input.split('\n');
    for (QByteArray &l : lines)
        if (l.endsWith('\r'))
            l.chop(1);

    TMailMessage message;
    TMessageParser parser(message);
    parser.SetAttachFilePath(folder.path());
    try {
        parser.ParseLines(lines, parse);
    } catch (const KvError &) {
    }
    // Every file must have stayed inside the folder.
    QDir dir(folder.path());
    for (const QString &name : message.Attachments)
        if (name.contains(QLatin1Char('/')) || name == QLatin1String("..") || !dir.exists(name))
            std::abort();
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
        dir.remove(name);
    if (!dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        std::abort();
    return 0;
}
