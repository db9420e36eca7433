#pragma once
// Whether the account's own server vouched for the sender of a message:
// Authentication-Results header fields (RFC 8601) are read, but only those
// whose authserv-id the account trusts, since anybody can write such a field
// into his own mail. A sender counts as vouched for when a trusted field
// says dmarc=pass, or spf=pass with an smtp.mailfrom domain aligned with the
// From domain (the same, or one a subdomain of the other).
//
// Parsing is bounded and linear: a field longer than FieldLimit bytes is
// read only up to there, at most ResultLimit results per field are taken,
// comments nest to any depth without recursion, and a comment or quoted
// string left open runs to the end of the field.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace AuthResults {

inline constexpr qsizetype FieldLimit = 16 * 1024;
inline constexpr int ResultLimit = 64;
// At most this many fields of one message are kept.
inline constexpr int FieldCountLimit = 16;

struct Result {
    QByteArray method;   // lower case: "spf", "dkim", "dmarc", ...
    QByteArray result;   // lower case: "pass", "fail", ...
    QByteArray mailFrom;   // the smtp.mailfrom property, as written
    QByteArray headerFrom; // the header.from property, as written
};

struct Field {
    QByteArray authservId; // lower case, no trailing dot
    QList<Result> results;
};

// One field's value (the text after "Authentication-Results:"), folded
// lines allowed. An id that is missing gives an empty authservId.
Field parse(const QByteArray &value);

// The values of the message's Authentication-Results fields (name in any
// letter case), in header order, folded lines joined by CR LF: lines of a
// header (a TOP reply's lines; reading stops at the empty line that ends
// the header or at the final "."). At most FieldCountLimit fields, each
// value cut to FieldLimit bytes.
QList<QByteArray> headerFields(const QList<QByteArray> &headerLines);

// The names an account trusts: its POP3 host; any name in the host's parent
// domain and the parent itself (pop.example.com: example.com and
// *.example.com), when that parent still has a dot and the host is a name,
// not an address (127.0.0.1, ::1, [::1], 10.0.0.0x1); and the names the user
// listed, comma-separated (each one exact).
class Trust
{
public:
    Trust(const QString &pop3Host, const QString &listed);
    bool trusts(const QByteArray &authservId) const;

private:
    QByteArray m_host;
    QByteArray m_parent; // empty: none
    QList<QByteArray> m_listed;
};

// The domain of a From text: of the address in angle brackets, else of the
// whole text; lower case; empty when there is no "@".
QByteArray fromDomain(const QByteArray &from);

enum class Decision {
    Vouched,
    NoTrustedField, // no field of a trusted authserv-id
    NoPass,         // trusted fields, but neither dmarc=pass nor spf=pass
    Unaligned,      // spf=pass only for a mail-from domain not aligned with From
};

// `fields`: the values of every Authentication-Results field of the message.
Decision decide(const QList<QByteArray> &fields, const QByteArray &from, const Trust &trust);

}
