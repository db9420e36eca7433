#include "net/NetError.h"

#include <iterator>

namespace {

struct Row
{
    NetError kind;
    const char *text; // UTF-8
};

// The texts the user reads, as the program has always worded them.
constexpr Row kRows[] = {
    {NetError::AlreadyConnected, "Bereits verbunden"},
    {NetError::LookupTimedOut, "Zeitüberschreitung bei Host-Lookup"},
    {NetError::LookupAborted, "Host-Lookup abgebrochen"},
    {NetError::LookupFailed, "Host-Lookup fehlgeschlagen"},
    {NetError::NoAddress, "Null Externe Adresse"},
    {NetError::ConnectTimedOut, "Zeitüberschreitung bei Verbindung"},
    {NetError::ConnectAborted, "Verbindung abgebrochen"},
    {NetError::ConnectFailed, "Verbindung fehlgeschlagen"},
    {NetError::CertificateRefused, "Zertifikat des Servers abgelehnt: %1 (SHA-256: %2)"},
    {NetError::TlsFailed, "TLS-Verbindung fehlgeschlagen: %1"},
    {NetError::CaFileUnreadable, "CA-Datei nicht lesbar: %1"},
    {NetError::SocketError, "%1"},
    {NetError::LineTooLong, "Zeile länger als %1 Bytes empfangen"},
    {NetError::ReplyTooSlow,
     "Zeitüberschreitung: die Antwort des Servers war nach %1 s nicht vollständig (%2 Bytes, weniger als %3 Bytes/s)"},
    {NetError::ClosedByServer, "Verbindung vom Server geschlossen"},
    {NetError::ReplyTooLong, "Antwort des Servers länger als %1 Zeilen oder %2 KiB"},
    {NetError::MessageOverrun, "Nachricht %1 länger als vom Server angegeben (mehr als %2 Bytes)"},
    {NetError::ReadAborted, "Socket-readln abgebrochen"},
    {NetError::SendAborted, "Socket-send abgebrochen"},
    {NetError::NotConnected, "Nicht verbunden"},
    {NetError::AuthFailed, "Die Authentifizierung ist fehlgeschlagen"},
    {NetError::HeaderIncomplete, "Header nicht vollständig"},
    {NetError::Refused, "%1"},
    {NetError::BadReplyNumber, "Ungültige Antwortnummer: %1"},
    {NetError::BadStat, "Ungültige Antwort auf STAT: %1"},
    {NetError::NotANumber, "'%1' ist kein gültiger ganzzahliger Wert"},
    {NetError::SummaryTooLong, "Zusammenfassung der Nachricht %1 länger als %2 Zeilen oder %3 KiB"},
    {NetError::MessageTooLarge, "Nachricht %1 ist laut Server %2 Bytes groß; gelesen werden höchstens %3 Bytes"},
    {NetError::HeadTooLong, "Kopf der Nachricht länger als %1 Zeilen oder %2 KiB"},
    {NetError::NoBoundary, "Listenindex überschreitet das Maximum (%1)"},
    {NetError::FileNotCreated, "Die Datei %1 kann nicht erstellt werden. %2"},
    {NetError::FileNotOpened, "Die Datei %1 kann nicht geöffnet werden. %2"},
    {NetError::TlsNotOffered, "Der Server bietet keine verschlüsselte Verbindung an (%1); ohne sie wird nicht angemeldet"},
    {NetError::TlsRefused, "Der Server hat die verschlüsselte Verbindung abgelehnt: %1"},
    {NetError::NoAuthMechanism, "Der Server bietet keine Anmeldung an, die dieses Programm kann (PLAIN, LOGIN): %1"},
    {NetError::TlsDeclined, "Der Server bietet eine verschlüsselte Verbindung an (%1), gewählt ist aber keine; das Passwort wird nicht unverschlüsselt gesendet"},
    {NetError::AuthRefused, "Die Anmeldung am Server wurde abgelehnt: %1"},
    {NetError::NoTokenMechanism,
     "Der Server bietet keine Anmeldung mit OAuth2-Token an (OAUTHBEARER, XOAUTH2); das Token wird nicht als Passwort gesendet: %1"},
    {NetError::TokenRefused, "Der Server hat das OAuth2-Token abgelehnt (status: %1): %2"},
};

// Rows in the order of the kinds, so a kind is its row's index.
constexpr bool inOrder()
{
    for (int i = 0; i < int(std::size(kRows)); ++i)
        if (int(kRows[i].kind) != i)
            return false;
    return int(std::size(kRows)) == int(NetError::TokenRefused) + 1;
}
static_assert(inOrder(), "one row per kind, in the order of NetError");

}

QString NetErrors::Text(NetError kind, const QStringList &values)
{
    const QString row = QString::fromUtf8(kRows[int(kind)].text);
    QString out;
    out.reserve(row.size());
    for (qsizetype i = 0; i < row.size(); ++i) {
        const QChar c = row.at(i);
        if (c == QLatin1Char('%') && i + 1 < row.size() && row.at(i + 1) >= QLatin1Char('1')
            && row.at(i + 1) <= QLatin1Char('9')) {
            const qsizetype n = row.at(i + 1).unicode() - '1';
            if (n < values.size())
                out += values.at(n);
            ++i;
            continue;
        }
        out += c;
    }
    return out;
}

QString NetErrors::ConnectionDropped()
{
    return QStringLiteral("; Verbindung getrennt");
}
