#include "net/Pop3Command.h"

namespace {

QByteArray number(int message)
{
    return QByteArray::number(message);
}

}

Pop3Command::Pop3Command(const QByteArray &keyword, Reply reply) : m_line(keyword), m_reply(reply) {}

Pop3Command::Pop3Command(const QByteArray &keyword, const QByteArray &argument, Reply reply)
    : m_line(keyword), m_reply(reply)
{
    m_line.reserve(keyword.size() + 1 + argument.size());
    m_line += ' ';
    for (const char c : argument)
        if (c != '\r' && c != '\n')
            m_line += c;
}

Pop3Command Pop3Command::USER(const QByteArray &name) { return Pop3Command("USER", name); }
Pop3Command Pop3Command::PASS(const QByteArray &password) { return Pop3Command("PASS", password); }
Pop3Command Pop3Command::STAT() { return Pop3Command("STAT"); }
Pop3Command Pop3Command::LIST(int message) { return Pop3Command("LIST", number(message)); }
Pop3Command Pop3Command::RETR(int message) { return Pop3Command("RETR", number(message), Reply::MultiLine); }
Pop3Command Pop3Command::DELE(int message) { return Pop3Command("DELE", number(message)); }
Pop3Command Pop3Command::RSET() { return Pop3Command("RSET"); }
Pop3Command Pop3Command::QUIT() { return Pop3Command("QUIT"); }
Pop3Command Pop3Command::CAPA() { return Pop3Command("CAPA", Reply::MultiLine); }
Pop3Command Pop3Command::STLS() { return Pop3Command("STLS"); }
Pop3Command Pop3Command::AUTH(const QByteArray &mechanism) { return Pop3Command("AUTH", mechanism); }
Pop3Command Pop3Command::AUTH(const QByteArray &mechanism, const QByteArray &initialResponse)
{
    return Pop3Command("AUTH", mechanism + ' ' + initialResponse);
}

Pop3Command Pop3Command::SaslResponse(const QByteArray &base64)
{
    Pop3Command response{QByteArray()};
    for (const char c : base64)
        if (c != '\r' && c != '\n')
            response.m_line += c;
    return response;
}

Pop3Command Pop3Command::TOP(int message, int lines)
{
    return Pop3Command("TOP", number(message) + ' ' + number(lines), Reply::MultiLine);
}
