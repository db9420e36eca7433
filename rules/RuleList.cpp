#include "rules/RuleList.h"

#include "platform/core/AnsiCodec.h"
#include "platform/core/KvError.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace RuleList {

QList<QByteArray> parse(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    QList<QByteArray> entries;
    entries.reserve(bytes.count('\n') + 1);
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < size) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            entries.append(QByteArray(data + start, i - start));
            if (c == '\r' && i + 1 < size && data[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < size)
        entries.append(QByteArray(data + start, size - start));
    return entries;
}

QList<QByteArray> read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw KvError(openErrorText(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    // readAll() cannot tell "empty" from "failed"; a read error (a folder
    // given as the path, an I/O fault) must not pass for an empty list.
    if (file.error() != QFileDevice::NoError)
        throw KvError(openErrorText(path, file.errorString()));
    return parse(bytes);
}

void write(const QString &path, const QByteArray &text)
{
    QSaveFile file(path);
    // Never fall back to writing the target in place: that is exactly the
    // half-written list the save file is there to prevent.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw KvError(createErrorText(path, file.errorString()));
    // Flush here and check: QSaveFile::commit() only remembers errors of
    // write() itself, so a buffered write that fails while being flushed
    // (disk full) would otherwise be committed as a truncated list.
    if (file.write(text) != text.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw KvError(createErrorText(path, reason));
    }
    if (!file.commit())
        throw KvError(createErrorText(path, file.errorString()));
}

QByteArray fileFormFromEditorText(const QString &text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QByteArray bytes = Ansi::fromUnicode(lines);
    bytes.replace("\n", "\r\n");
    return bytes;
}

QString editorTextFromFileForm(const QByteArray &bytes)
{
    QByteArray lines = bytes;
    lines.replace("\r\n", "\n");
    lines.replace('\r', '\n');
    return Ansi::toUnicode(lines);
}

QString openErrorText(const QString &path, const QString &reason)
{
    return fileOpenText(QDir::toNativeSeparators(path), reason);
}

QString createErrorText(const QString &path, const QString &reason)
{
    return fileCreateText(QDir::toNativeSeparators(path), reason);
}

}
