#pragma once
// A sectioned INI file read by the rules of the Windows profile functions:
// section and key names are not case-sensitive, blanks around names and
// values are dropped, a value in matching double or single quotes loses
// them, the first section of a name and the first key of a name in it win,
// lines without "=" and lines starting with ";" are ignored, and a missing
// file reads as an empty one. The text is in the 8-bit code page.
//
// QSettings is not used here: its escapes and case rules differ, and the
// shipped files are written by hand.
#include <QList>
#include <QString>

class IniProfile
{
public:
    IniProfile() = default;
    // Reads the whole file now; a file that cannot be read gives an empty profile.
    explicit IniProfile(const QString &filePath);

    static IniProfile fromText(const QString &text);

    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    // The string read, taken as a whole decimal integer (optional sign);
    // anything else, or a missing key, gives the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;

    bool isEmpty() const { return m_sections.isEmpty(); }

private:
    struct Entry
    {
        QString key;
        QString value;
    };
    struct Section
    {
        QString name;
        QList<Entry> entries;
    };

    void parse(const QString &text);
    const Entry *find(const QString &section, const QString &key) const;

    QList<Section> m_sections;
};
