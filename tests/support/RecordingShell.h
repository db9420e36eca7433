#pragma once
// A shell that records what it was asked to open or start and answers with
// a fixed result.
#include "platform/Shell.h"
#include "platform/WavePlayer.h"

#include <QStringList>

class RecordingShell : public Shell
{
public:
    struct Started
    {
        QString program;
        QStringList arguments;
    };
    bool result = true;
    QStringList opened;
    QList<Started> started;

    bool open(const QString &fileOrAddress) override
    {
        opened << fileOrAddress;
        return result;
    }
    bool start(const QString &program, const QStringList &arguments) override
    {
        started.append({program, arguments});
        return result;
    }
};

// A wave player that only records.
class RecordingWavePlayer : public WavePlayer
{
public:
    QStringList fileNames;   // every file name set, in order
    QStringList played;      // the file name at each play()
    void setFileName(const QString &path) override
    {
        m_file = path;
        fileNames << path;
    }
    QString fileName() const override { return m_file; }
    void play() override { played << m_file; }

private:
    QString m_file;
};
