#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

namespace {
const char *kindName(ScriptedPrompts::Kind k)
{
    switch (k) {
    case ScriptedPrompts::Kind::Error: return "error";
    case ScriptedPrompts::Kind::Confirm: return "confirm";
    case ScriptedPrompts::Kind::Information: return "information";
    case ScriptedPrompts::Kind::Dialog: return "dialog";
    case ScriptedPrompts::Kind::SaveFile: return "save file";
    case ScriptedPrompts::Kind::OpenFile: return "open file";
    case ScriptedPrompts::Kind::Directory: return "directory";
    }
    return "?";
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

QStringList ScriptedPrompts::texts() const
{
    QStringList out;
    for (const auto &s : m_seen)
        out << s.text;
    return out;
}

ScriptedPrompts &ScriptedPrompts::expectError(const QString &contains)
{
    Expectation e;
    e.kind = Kind::Error;
    e.contains = contains;
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectInformation(const QString &contains)
{
    Expectation e;
    e.kind = Kind::Information;
    e.contains = contains;
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectConfirm(bool yes, const QString &contains)
{
    Expectation e;
    e.kind = Kind::Confirm;
    e.contains = contains;
    e.yes = yes;
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectDialog(std::function<int(QDialog &)> handler, const QString &objectName)
{
    Expectation e;
    e.kind = Kind::Dialog;
    e.contains = objectName;
    e.handler = std::move(handler);
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectSaveFile(const QString &path)
{
    Expectation e;
    e.kind = Kind::SaveFile;
    e.path = path;
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectOpenFile(const QString &path)
{
    Expectation e;
    e.kind = Kind::OpenFile;
    e.path = path;
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectDirectory(const QString &path)
{
    Expectation e;
    e.kind = Kind::Directory;
    e.path = path;
    m_queue.push_back(e);
    return *this;
}

bool ScriptedPrompts::take(Kind kind, const QString &text, Expectation &out)
{
    m_seen.push_back({kind, text});
    if (m_queue.empty()) {
        ADD_FAILURE() << "unexpected " << kindName(kind) << " prompt: " << text.toStdString();
        return false;
    }
    Expectation e = m_queue.front();
    m_queue.pop_front();
    if (e.kind != kind) {
        ADD_FAILURE() << "expected a " << kindName(e.kind) << " prompt, got " << kindName(kind)
                      << ": " << text.toStdString();
        return false;
    }
    if (!e.contains.isEmpty() && !text.contains(e.contains)) {
        ADD_FAILURE() << kindName(kind) << " prompt \"" << text.toStdString()
                      << "\" does not contain \"" << e.contains.toStdString() << "\"";
    }
    out = e;
    return true;
}

void ScriptedPrompts::error(const QString &text)
{
    Expectation e;
    take(Kind::Error, text, e);
}

bool ScriptedPrompts::confirm(const QString &text)
{
    Expectation e;
    return take(Kind::Confirm, text, e) && e.yes;
}

void ScriptedPrompts::information(const QString &text)
{
    Expectation e;
    take(Kind::Information, text, e);
}

int ScriptedPrompts::exec(QDialog &dialog)
{
    Expectation e;
    if (!take(Kind::Dialog, dialog.objectName(), e) || !e.handler)
        return QDialog::Rejected;
    return e.handler(dialog);
}

QString ScriptedPrompts::saveFileName(const QString &, const QString &filter)
{
    Expectation e;
    return take(Kind::SaveFile, filter, e) ? e.path : QString();
}

QString ScriptedPrompts::openFileName(const QString &, const QString &filter)
{
    Expectation e;
    return take(Kind::OpenFile, filter, e) ? e.path : QString();
}

QString ScriptedPrompts::existingDirectory()
{
    Expectation e;
    return take(Kind::Directory, QString(), e) ? e.path : QString();
}
