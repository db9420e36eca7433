#pragma once
// The source tree, for tests that read what ships beside the program: from
// ctest's environment, else the folder the build was configured from.
#include <QString>

inline QString sourceDir()
{
    const QString fromEnv = qEnvironmentVariable("KV_SOURCE_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(KV_TEST_SOURCE_DIR) : fromEnv;
}
