#include "support/AboutScreen.h"

#include "platform/Prompts.h"

#include <QString>

void AboutScreen::show(QWidget *, Prompts &prompts)
{
    prompts.information(QStringLiteral("%1 %2\n%3\nBuilt %4")
                            .arg(QLatin1String(ProgramName), QLatin1String(Version), QLatin1String(Company),
                                 QStringLiteral(__DATE__)));
}
