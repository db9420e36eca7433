#pragma once
// The help of the password command fields (accounts dialog, notice page of
// the settings dialog): a tool tip that is shown whatever the hints setting
// says, since the quoting rules are needed to write the command, and an
// example as placeholder. The English texts serve until a catalog is applied.
#include <QLineEdit>
#include <QString>

namespace PasswordCommandHelp {
inline QString defaultHelp()
{
    return QStringLiteral("Instead of a saved password: a program whose first output line is the password, run at "
                          "every connect. Separate its arguments with blanks; put an argument holding blanks in "
                          "double or single quotes; a backslash keeps a following blank, quote or backslash as it "
                          "is. No shell is used.");
}

inline QString defaultExample()
{
    return QStringLiteral("program \"argument with blanks\" argument");
}

inline void apply(QLineEdit *field, const QString &help = defaultHelp(), const QString &example = defaultExample())
{
    field->setToolTip(help);
    field->setPlaceholderText(example);
}
}
