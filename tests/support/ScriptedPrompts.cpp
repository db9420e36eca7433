#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

namespace {
const char *kindName(ScriptedPrompts::Kind k)
{
    static const char *const names[] = {"error", "confirm", "information", "dialog", "save file", "open file", "directory"};
    return names[int(k)];
}
}

ScriptedPrompts::~ScriptedPrompts()
{
    if (!m_verified)
        verifyAllAnswered();
}

void ScriptedPrompts::verifyAllAnswered()
{
    m_verified = true;
    for (const auto &e : m_queue)
        ADD_FAILURE() << "expected " << kindName(e.kind) << " prompt never came"
                      << (e.contains.isEmpty() ? "" : " (containing \"" + e.contains.toStdString() + "\")");
    m_queue.clear();
}

ScriptedPrompts::Expectation ScriptedPrompts::take(Kind kind, const QString &text)
{
    m_seen << text;
    if (m_queue.empty()) {
        ADD_FAILURE() << "unexpected " << kindName(kind) << " prompt: " << text.toStdString();
        return {};
    }
    Expectation e = m_queue.front();
    m_queue.pop_front();
    if (e.kind != kind) {
        ADD_FAILURE() << "expected a " << kindName(e.kind) << " prompt, got " << kindName(kind) << ": "
                      << text.toStdString();
        return {};
    }
    if (!e.contains.isEmpty() && !text.contains(e.contains))
        ADD_FAILURE() << kindName(kind) << " prompt \"" << text.toStdString() << "\" does not contain \""
                      << e.contains.toStdString() << "\"";
    e.matched = true;
    if (e.during)
        e.during();
    return e;
}

bool ScriptedPrompts::askConfirm(const QString &text)
{
    const Expectation e = take(Kind::Confirm, text);
    return e.matched && e.yes;
}

int ScriptedPrompts::runDialog(QDialog &dialog)
{
    const Expectation e = take(Kind::Dialog, dialog.objectName());
    return e.matched && e.handler ? e.handler(dialog) : int(QDialog::Rejected);
}
