#pragma once
// TExStringList: header lines ("Name: value") with find and set by name.
//
// Nothing here raises.
#include <QByteArray>
#include <QList>

class TExStringList : public QList<QByteArray>
{
public:
    using QList<QByteArray>::QList;

    // Index of the first line whose text before its first ':' equals `name`
    // (compared without regard to case); -1 when there is none.
    qsizetype IndexOfName(const QByteArray &name) const;

    // With a non-empty value the line of that name (or a new line at the end)
    // becomes "name: value"; with an empty value the line is removed.
    void SetValue(const QByteArray &name, const QByteArray &value);
};
