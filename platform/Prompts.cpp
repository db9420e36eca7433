#include "platform/Prompts.h"

#include "platform/core/KvError.h"

#include <exception>

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

bool Prompts::guarded(const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (const KvError &e) {
        error(e.text());
    } catch (const std::exception &e) {
        error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
