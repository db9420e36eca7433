#pragma once
// TUUProcessor: base64 (uuMime) and uuencode (uuCode) between two devices.
//
// Encode writes lines of 45 input bytes (60 characters for base64, 61 for
// uuencode) ending in CR LF; uuencode ends with the zero-length line "`".
// No "begin"/"end" lines are written.
// Decode reads line by line and stops quietly at malformed input: base64
// ends at a padding "=" or at a line that starts with "=", CR or LF after
// non-alphabet characters; uuencode skips a "begin ..." line, and a line
// whose count is 0 ends a block (the line after it, "end", is skipped).
#include <QByteArray>
#include <functional>

class QIODevice;

enum class TUUMethod { uuMime, uuCode };

class TUUProcessor
{
public:
    using Notify = std::function<void(TUUProcessor *sender)>;

    // Reading or setting the method and the streams raises nothing.
    TUUMethod Method() const { return m_method; }
    void SetMethod(TUUMethod method) { m_method = method; }
    // Not owned.
    QIODevice *InputStream() const { return m_input; }
    void SetInputStream(QIODevice *device) { m_input = device; }
    QIODevice *OutputStream() const { return m_output; }
    void SetOutputStream(QIODevice *device) { m_output = device; }

    // The whole input stream (from position 0) to the output stream; the
    // output is set back to position 0 afterwards.
    void Encode();
    // From the input's current position to its end.
    void Decode();
    // Both do nothing while a stream is unset, and raise nothing of their
    // own: a read or write that fails is not noticed here (the device's
    // error says so). What OnBeginEncode, OnBeginDecode or OnEndDecode
    // raises passes through; OnEndEncode fires as Encode ends, on every way
    // out, and must not raise.

    Notify OnBeginEncode, OnEndEncode, OnBeginDecode, OnEndDecode;

    // Byte-array forms of the two operations. Raise nothing.
    static QByteArray EncodeBytes(const QByteArray &data, TUUMethod method);
    static QByteArray DecodeBytes(const QByteArray &text, TUUMethod method);

private:
    void EncodeTo(QIODevice &in, QIODevice &out) const;
    void DecodeMime(QIODevice &in, QIODevice &out) const;
    void DecodeUU(QIODevice &in, QIODevice &out) const;

    TUUMethod m_method = TUUMethod::uuMime;
    QIODevice *m_input = nullptr;
    QIODevice *m_output = nullptr;
};
