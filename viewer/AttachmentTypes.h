#pragma once
// The attachment type table: one INI section per file extension, named with
// its leading dot ("[.zip]"), whose key "Name" describes the type. Section
// names match without regard to case.
#include "platform/core/IniProfile.h"

#include <QString>
#include <optional>

namespace AttachmentTypes {
// The extension of a file name from its last "." on, the dot included;
// empty when the name has none.
QString extensionOf(const QString &fileName);
}

class AttachmentTypeTable
{
public:
    // Reads the table now. A missing file reads as an empty table; a file
    // that is there but cannot be read leaves the table unusable.
    explicit AttachmentTypeTable(const QString &filePath);

    // The description of an extension ("Unbekannt" when the table does not
    // know it); nothing when the table could not be read.
    std::optional<QString> describe(const QString &extension) const;

private:
    IniProfile m_profile;
    bool m_readable = true;
};
