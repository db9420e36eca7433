#pragma once
// The file form of a rule list: a plain list of byte lines in the 8-bit code
// page. Nothing is decoded, trimmed or merged, so what the user typed is
// exactly what the classification matches against.
#include <QByteArray>
#include <QList>
#include <QString>

namespace RuleList {

// Splits file bytes into entries. CR LF, a lone CR and a lone LF all end a
// line; a line break after the last line adds no entry; an empty input has
// no entries. Blank lines and duplicates stay entries of their own.
QList<QByteArray> parse(const QByteArray &bytes);

// Reads and parses a list file. Throws KvError with openErrorText() when the
// file is missing or cannot be read.
QList<QByteArray> read(const QString &path);

// Replaces (or creates) the file with exactly these bytes. The new content is
// written beside the old file and swapped in only when complete, so a crash
// or a full disk leaves the previous list as it was. Throws KvError with
// createErrorText() on any failure.
void write(const QString &path, const QByteArray &text);

// Editor text (lines separated by "\n") to file bytes: CR LF between lines,
// nothing added after the last one, characters outside the code page as '?'.
QByteArray fileFormFromEditorText(const QString &text);

// File bytes to editor text: every CR LF or lone CR becomes "\n", so saving
// the text unchanged writes the same list back.
QString editorTextFromFileForm(const QByteArray &bytes);

QString openErrorText(const QString &path, const QString &reason);
QString createErrorText(const QString &path, const QString &reason);

}
