#pragma once
// Prompts answered from a queue of expectations. Each expectation names the
// kind of prompt and (optionally) a text it must contain, and gives the
// answer. A prompt that arrives with an empty queue, or of another kind,
// fails the test and gets a harmless answer (No, Rejected, cancel), so a test
// never blocks on a dialog.
#include "QtPrinters.h"
#include "platform/Prompts.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class ScriptedPrompts : public Prompts
{
public:
    enum class Kind { Error, Confirm, Information, Dialog, SaveFile, OpenFile, Directory };

    struct Seen
    {
        Kind kind;
        QString text;   // message text, or the dialog's objectName
    };

    ~ScriptedPrompts() override;

    // Expectations, answered in order.
    ScriptedPrompts &expectError(const QString &contains = {});
    ScriptedPrompts &expectInformation(const QString &contains = {});
    ScriptedPrompts &expectConfirm(bool yes, const QString &contains = {});
    // The handler may fill the dialog's controls; its result is exec's result.
    ScriptedPrompts &expectDialog(std::function<int(QDialog &)> handler, const QString &objectName = {});
    ScriptedPrompts &expectSaveFile(const QString &path);
    ScriptedPrompts &expectOpenFile(const QString &path);
    ScriptedPrompts &expectDirectory(const QString &path);

    // Every prompt seen so far, in order.
    const std::vector<Seen> &seen() const { return m_seen; }
    QStringList texts() const;
    bool allAnswered() const { return m_queue.empty(); }
    // Fails the test when expectations are left over; called by the destructor too.
    void verifyAllAnswered();

    void error(const QString &text) override;
    bool confirm(const QString &text) override;
    void information(const QString &text) override;
    int exec(QDialog &dialog) override;
    QString saveFileName(const QString &defaultSuffix, const QString &filter) override;
    QString openFileName(const QString &defaultSuffix, const QString &filter) override;
    QString existingDirectory() override;

private:
    struct Expectation
    {
        Kind kind = Kind::Error;
        QString contains;
        bool yes = false;
        QString path;
        std::function<int(QDialog &)> handler;
    };
    bool take(Kind kind, const QString &text, Expectation &out);

    std::deque<Expectation> m_queue;
    std::vector<Seen> m_seen;
    bool m_verified = false;
};
