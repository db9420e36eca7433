// How often the shipped subject and sender lists hit ordinary mail: every
// file of a folder of ham messages is read up to the end of its header, the
// header lines go through the same summary reader as a TOP reply, and the
// summary is judged against ini/Betreff.ini and ini/Absender.ini with the
// classification's own matching. Prints the counts, the false-hit rate and
// each message that was hit, so an entry that is too broad shows up.
//
//   rules_ham [HAM_FOLDER] [INI_FOLDER]
//
// HAM_FOLDER defaults to the ham messages of the Debian package
// golang-github-gatherstars-com-jwz-dev, INI_FOLDER to data/ini of the
// source tree. The exit status is 0 whatever the rate; 2 when nothing could
// be read.
#include "net/MailRecords.h"
#include "net/Pop3Fields.h"
#include "rules/Classifier.h"
#include "rules/RuleList.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdio>

namespace {

const char *const DefaultHam = "/usr/share/gocode/src/github.com/gatherstars-com/jwz/test/testdata/ham";

// The header lines of a message file as a TOP n 0 reply would carry them,
// each with its line end, then the final ".".
TSummary summaryOf(const QByteArray &message)
{
    TSummary summary;
    qsizetype pos = 0;
    while (pos < message.size()) {
        qsizetype end = message.indexOf('\n', pos);
        if (end < 0)
            end = message.size() - 1;
        const QByteArray line = message.mid(pos, end - pos + 1);
        pos = end + 1;
        if (line == "\n" || line == "\r\n")
            break;
        Pop3Fields::TakeSummaryLine(summary, line.endsWith("\r\n") ? line : line.chopped(1) + "\r\n");
    }
    Pop3Fields::TakeSummaryLine(summary, ".\r\n");
    return summary;
}

QList<QByteArray> list(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return {};
    }
    return RuleList::parse(file.readAll());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString ham = args.size() > 1 && !args[1].isEmpty() ? args[1] : QString::fromLatin1(DefaultHam);
    const QString ini = args.size() > 2 ? args[2] : QStringLiteral(KV_BENCH_SOURCE_DIR "/../data/ini");
    const QList<QByteArray> subjects = list(ini + QStringLiteral("/Betreff.ini"));
    const QList<QByteArray> senders = list(ini + QStringLiteral("/Absender.ini"));

    int messages = 0, subjectHits = 0, senderHits = 0, anyHit = 0;
    QDirIterator it(ham, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const TSummary s = summaryOf(file.read(256 * 1024));
        ++messages;
        const int bySubject = countHits(subjects, s.Subject);
        const int bySender = countHits(senders, s.From);
        subjectHits += bySubject > 0;
        senderHits += bySender > 0;
        if (bySubject > 0 || bySender > 0) {
            ++anyHit;
            std::printf("hit: %s\n   Subject:%s\n   From:%s\n", qPrintable(QFileInfo(file).fileName()),
                        s.Subject.constData(), s.From.constData());
        }
    }
    if (messages == 0) {
        std::fprintf(stderr, "no messages in %s\n", qPrintable(ham));
        return 2;
    }
    std::printf("lists: %lld subject entries, %lld sender entries\n", qlonglong(subjects.size()),
                qlonglong(senders.size()));
    std::printf("ham messages: %d\n", messages);
    std::printf("hit by the subject list: %d\nhit by the sender list: %d\n", subjectHits, senderHits);
    std::printf("false-hit rate: %.3f %% (%d of %d)\n", 100.0 * anyHit / messages, anyHit, messages);
    return 0;
}
