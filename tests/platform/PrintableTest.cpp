// Text from servers and mail made harmless to show.
#include "QtPrinters.h"
#include "platform/core/Printable.h"

#include <gtest/gtest.h>

TEST(Printable, EscapesWhatCouldMisleadTheReader)
{
    const struct
    {
        QString in, line, text;
    } rows[] = {
        {"-ERR busy\r\n", "-ERR busy", "-ERR busy\n"},
        {"a\rb\x1b[2Jc\x07", "a\\x0Db\\x1B[2Jc\\x07", "a\\x0Db\\x1B[2Jc\\x07"},
        {"one\ntwo\r\nthree", "one\\x0Atwo\\x0D\\x0Athree", "one\ntwo\nthree"},
        {"tab\there", "tab\there", "tab\there"},
        {QString::fromUtf8("\u0085 \u009b \u007f"), "\\x85 \\x9B \\x7F", "\\x85 \\x9B \\x7F"},
        {QString::fromUtf8("exe.\u202Etxt \u2066x\u2069 \u2028"), "exe.\\u202Etxt \\u2066x\\u2069 \\u2028",
         "exe.\\u202Etxt \\u2066x\\u2069 \\u2028"},
        {QString::fromUtf8("Grüße 😀"), QString::fromUtf8("Grüße 😀"), QString::fromUtf8("Grüße 😀")},
        {QString(QChar(0xD800)) + "x", "\\uD800x", "\\uD800x"},
    };
    for (const auto &r : rows) {
        EXPECT_EQ(Printable::line(r.in), r.line) << r.in.toStdString();
        EXPECT_EQ(Printable::text(r.in), r.text) << r.in.toStdString();
    }
}
