#include "lang/StartLanguage.h"

#include "lang/KvLanguage.h"

#include <QDir>
#include <QFileInfo>

namespace {
bool fallBack(TKvLanguage &catalog)
{
    QStringList candidates{QStringLiteral("English.LNG")};
    candidates += QDir(catalog.Path()).entryList({QStringLiteral("*.lng")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : candidates) {
        const QString file = TKvLanguage::existingFile(catalog.Path(), name);
        if (!file.isEmpty() && catalog.loadQuietly(QFileInfo(file).fileName()))
            return true;
    }
    catalog.loadQuietly(QString());
    return false;
}
}

bool StartLanguage::select(TKvLanguage &catalog, const QString &remembered)
{
    if (!remembered.isEmpty()) {
        catalog.setFileName(remembered);
        if (catalog.isLoaded())
            return false;
    }
    // Offered again when the remembered file could not be used: otherwise
    // every start would meet the same file.
    if (catalog.ChooseLanguage() && catalog.isLoaded())
        return false;
    fallBack(catalog);
    return true;
}
