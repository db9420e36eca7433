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

    ~ScriptedPrompts() override;

    // Expectations, answered in order.
    ScriptedPrompts &expectError(const QString &contains = {}) { return add(Kind::Error, contains); }
    ScriptedPrompts &expectInformation(const QString &contains = {}) { return add(Kind::Information, contains); }
    ScriptedPrompts &expectConfirm(bool yes, const QString &contains = {}) { return add(Kind::Confirm, contains, yes); }
    // The handler may fill the dialog's controls; its result is exec's result.
    ScriptedPrompts &expectDialog(std::function<int(QDialog &)> handler, const QString &objectName = {})
    {
        return add(Kind::Dialog, objectName, false, {}, std::move(handler));
    }
    ScriptedPrompts &expectSaveFile(const QString &path) { return add(Kind::SaveFile, {}, false, path); }
    ScriptedPrompts &expectOpenFile(const QString &path) { return add(Kind::OpenFile, {}, false, path); }
    ScriptedPrompts &expectDirectory(const QString &path) { return add(Kind::Directory, {}, false, path); }

    // The text of every prompt seen so far (message, or the dialog's objectName), in order.
    const QStringList &texts() const { return m_seen; }
    // Fails the test when expectations are left over; called by the destructor too.
    void verifyAllAnswered();

    // Runs `action` while the last expected prompt is open (as the user's
    // world goes on under a message box): a timer tick, a click elsewhere.
    ScriptedPrompts &during(std::function<void()> action)
    {
        if (!m_queue.empty())
            m_queue.back().during = std::move(action);
        return *this;
    }

protected:
    void showError(const QString &text) override { take(Kind::Error, text); }
    bool askConfirm(const QString &text) override;
    void showInformation(const QString &text) override { take(Kind::Information, text); }
    int runDialog(QDialog &dialog) override;
    QString chooseSaveFile(const QString &, const QString &filter) override { return take(Kind::SaveFile, filter).path; }
    QString chooseOpenFile(const QString &, const QString &filter) override { return take(Kind::OpenFile, filter).path; }
    QString chooseDirectory() override { return take(Kind::Directory, {}).path; }

private:
    struct Expectation
    {
        Kind kind = Kind::Error;
        QString contains;
        bool yes = false;
        QString path;
        std::function<int(QDialog &)> handler;
        bool matched = false;
        std::function<void()> during;
    };
    ScriptedPrompts &add(Kind kind, const QString &contains, bool yes = false, const QString &path = {},
                         std::function<int(QDialog &)> handler = {})
    {
        m_queue.push_back(Expectation{kind, contains, yes, path, std::move(handler), false, {}});
        return *this;
    }
    // The expectation that answers this prompt; `matched` is false (and the
    // answer harmless) when the prompt was not the one expected.
    Expectation take(Kind kind, const QString &text);

    std::deque<Expectation> m_queue;
    QStringList m_seen;
    bool m_verified = false;
};
