#include "platform/core/SecretMemory.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

bool SecretMemory::keepOutOfDumps()
{
#ifdef Q_OS_LINUX
    return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
#else
    return true;
#endif
}

bool SecretMemory::outOfDumps()
{
#ifdef Q_OS_LINUX
    return ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
#else
    return false;
#endif
}
