#pragma once
// The hidden wave-audio player. The file name is set on every occasion (also
// when sounds are off); play() starts it. A missing audio device or file
// never raises: the sound simply does not play.
#include <QString>
#include <memory>

class QSoundEffect;

class WavePlayer
{
public:
    virtual ~WavePlayer() = default;
    virtual void setFileName(const QString &path) = 0;
    virtual QString fileName() const = 0;
    virtual void play() = 0;
};

class QtWavePlayer : public WavePlayer
{
public:
    QtWavePlayer();
    ~QtWavePlayer() override;
    void setFileName(const QString &path) override;
    QString fileName() const override { return m_fileName; }
    void play() override;

private:
    QString m_fileName;
    std::unique_ptr<QSoundEffect> m_effect;
};
