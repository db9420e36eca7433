#pragma once
// The four rule lists, where they live, and the interface through which the
// classification gets their entries. Every call must answer with the file's
// content as it is now: a list edited between two messages counts from the
// second one on.
#include <QByteArray>
#include <QList>
#include <QString>

enum class RuleListId {
    ShippedSubject, // ini/Betreff.ini
    OwnSubject,     // ini/Betreff_User.ini
    ShippedSender,  // ini/Absender.ini
    OwnSender,      // ini/Absender_User.ini
    // Senders no rule may delete; the user's own, like the two above. A
    // missing file is an empty list: nothing is protected until the user
    // writes an entry.
    ProtectedSender, // ini/Absender_Schutz.ini
};

inline constexpr int RuleListCount = 5;

QString ruleListFileName(RuleListId id);
// The program folder (no trailing separator) + "/ini/" + the file name.
QString ruleListPath(const QString &programFolder, RuleListId id);

class RuleListSource
{
public:
    virtual ~RuleListSource() = default;
    // Throws KvError with the file-open text when the list cannot be read.
    virtual QList<QByteArray> entries(RuleListId id) = 0;
};

// True for a list whose missing file is an empty list rather than an error.
bool ruleListOptional(RuleListId id);

// One list as it stands in the editor, unsaved; the others from `base`.
class EditedRuleLists : public RuleListSource
{
public:
    EditedRuleLists(RuleListSource &base, RuleListId edited, QList<QByteArray> entries)
        : m_base(base), m_edited(edited), m_entries(std::move(entries))
    {
    }
    QList<QByteArray> entries(RuleListId id) override { return id == m_edited ? m_entries : m_base.entries(id); }

private:
    RuleListSource &m_base;
    RuleListId m_edited;
    QList<QByteArray> m_entries;
};

// Reads the file from disk on every call.
class DiskRuleLists : public RuleListSource
{
public:
    explicit DiskRuleLists(QString programFolder) : m_programFolder(std::move(programFolder)) {}
    QList<QByteArray> entries(RuleListId id) override;

private:
    QString m_programFolder;
};
