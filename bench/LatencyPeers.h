#pragma once
// The runs the latency benchmark sets beside the program's window: the
// program itself with --check-all, Python's poplib, mpop's screening and
// the pipelined floor. Each returns its wall-clock seconds, or nothing with
// `error` set (an existing error is kept).
#include "MailServers.h"

#include <QList>
#include <QString>
#include <optional>

class ProgramFixture;

namespace peers {

// The program file beside the benchmark, with --check-all over the
// fixture's settings; process start to exit. Its report must count
// `messages`.
std::optional<double> checkAll(const ProgramFixture &p, int messages, QString *error);
// poplib: USER, PASS, STAT, then TOP n 0 and LIST n one after another;
// connect to the last LIST reply.
std::optional<double> poplibCheck(quint16 port, const MailUser &user, int messages, QString *error);
// The same for each account in turn, with QUIT after each; the whole walk.
std::optional<double> poplibPass(quint16 port, const QList<MailUser> &users, int messages, QString *error);
// mpop reading every header and skipping every message (a filter that
// exits 2), nothing fetched or deleted; process start to exit.
std::optional<double> mpopScreening(quint16 port, const MailUser &user, QString *error);
// Login, then every TOP n 0 and LIST n written at once on one socket and
// the replies read; connect to the last LIST reply.
std::optional<double> pipelinedFloor(quint16 port, const MailUser &user, int messages, QString *error);

}
