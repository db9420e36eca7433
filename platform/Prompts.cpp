#include "platform/Prompts.h"

template<typename F>
auto Prompts::counted(F &&prompt)
{
    struct Open
    {
        int &n;
        explicit Open(int &count) : n(count) { ++n; }
        ~Open() { --n; }
    } open(m_open);
    return prompt();
}

void Prompts::error(const QString &text)
{
    counted([&] { showError(text); });
}

bool Prompts::confirm(const QString &text)
{
    return counted([&] { return askConfirm(text); });
}

void Prompts::information(const QString &text)
{
    counted([&] { showInformation(text); });
}

int Prompts::exec(QDialog &dialog)
{
    return counted([&] { return runDialog(dialog); });
}

QString Prompts::saveFileName(const QString &defaultSuffix, const QString &filter)
{
    return counted([&] { return chooseSaveFile(defaultSuffix, filter); });
}

QString Prompts::openFileName(const QString &defaultSuffix, const QString &filter)
{
    return counted([&] { return chooseOpenFile(defaultSuffix, filter); });
}

QString Prompts::existingDirectory()
{
    return counted([&] { return chooseDirectory(); });
}
