#include "check/Sounds.h"

#include "check/AppServices.h"
#include "platform/Shell.h"
#include "platform/WavePlayer.h"

void Sounds::play(AppServices &app, const QString &relativeFile, bool governingSetting)
{
    const QString path = app.file(relativeFile);
    app.player.setFileName(path);
    if (!governingSetting)
        return;
    if (app.settings.Beep_Intern)
        app.player.play();
    else
        app.shell.open(path);   // errors of the desktop's player are not reported
}
