#pragma once
// Peak resident memory of this process above a starting point, read from
// /proc/self/status. start() resets the kernel's peak mark (clear_refs) to
// the resident size of now; aboveStartMb() is the highest resident size
// since then, less the resident size at the start. Each test runs in a
// process of its own, so nothing else of the suite is in the figure.
#include <QFile>

class PeakMemory
{
public:
    static bool available() { return QFile::exists(QStringLiteral("/proc/self/clear_refs")); }
    void start()
    {
        QFile refs(QStringLiteral("/proc/self/clear_refs"));
        if (refs.open(QIODevice::WriteOnly))
            refs.write("5");
        m_startKb = field("VmRSS:");
    }
    double aboveStartMb() const { return (field("VmHWM:") - m_startKb) / 1024.0; }

    // Sanitizer builds hold freed memory in quarantine and keep shadow
    // memory beside every allocation: their figures are several times the
    // program's own, so bounds are scaled for them.
    static double scale()
    {
#if defined(__SANITIZE_ADDRESS__)
        return 4.0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
        return 4.0;
#else
        return 1.0;
#endif
#else
        return 1.0;
#endif
    }

private:
    static long field(const char *name)
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith(name))
                return line.mid(int(qstrlen(name))).trimmed().split(' ').first().toLong();
        return 0;
    }
    long m_startKb = 0;
};
