#include "net/ExStringList.h"

qsizetype TExStringList::IndexOfName(const QByteArray &name) const
{
    for (qsizetype i = 0; i < size(); ++i) {
        const QByteArray &line = at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon >= 0 && colon == name.size() && qstrnicmp(line.constData(), name.constData(), colon) == 0)
            return i;
    }
    return -1;
}

void TExStringList::SetValue(const QByteArray &name, const QByteArray &value)
{
    const qsizetype i = IndexOfName(name);
    if (value.isEmpty()) {
        if (i >= 0)
            removeAt(i);
        return;
    }
    const QByteArray line = name + ": " + value;
    if (i >= 0)
        (*this)[i] = line;
    else
        append(line);
}
