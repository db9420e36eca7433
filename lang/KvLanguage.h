#pragma once
// The numbered text catalog of the user interface. One language file
// (<Path>/<FileName>, 8-bit Windows-1252 text) holds a four-line header and
// then one entry per line, "number,text", sorted by ascending number. Every
// user-visible text of the program is looked up here by its number.
//
// Header:  line 1 language name (cut to 255 bytes)
//          line 2 code letter ("D", "E", "I", "NL" ...)
//          line 3 free text, held but not used
//          line 4 a decimal integer, leading blanks allowed; it ends at the
//                 first blank or tab and the rest of the line is ignored
//
// Lines end in CR LF; a lone LF is accepted too. A file that ends before
// line 4, whose line 4 is not an integer or that has an entry line not
// beginning with a number and a comma (an empty line, say) is reported as
// corrupt and leaves the catalog empty (the header fields read before the
// fault keep their new values). Missing texts are empty texts, so the
// program goes on without a catalog.
//
// File names are matched without regard to letter case when the exact name
// is not present, as the language files are named on a case-blind system.
#include "lang/DialogLanguage.h"
#include "lang/TextId.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <vector>

class Prompts;

class TKvLanguage
{
public:
    // Messages and the choice dialog go through prompts (may be null: then
    // messages are dropped and ChooseLanguage reports a cancel).
    explicit TKvLanguage(Prompts *prompts);

    // Folder of the language files, kept without a trailing separator.
    // Setting it re-reads the current file (if one is named), after the
    // not-found message when that file is missing from the new folder.
    QString Path() const { return m_path; }
    void setPath(const QString &path);

    // Current file name without folder; empty when none. A non-empty name
    // gets the extension ".LNG" unless it already has it in any letter case.
    // A name whose file is missing is refused with the not-found message
    // (the previous name stays). The current file is read in every case.
    QString FileName() const { return m_fileName; }
    void setFileName(const QString &name);

    TLangDialog LanguageOfDialog() const { return m_dialogLanguage; }
    void setLanguageOfDialog(TLangDialog language) { m_dialogLanguage = language; }

    // Reads <Path>/<FileName> into the header fields and the entries. A
    // missing file just leaves the catalog empty; a damaged one also shows
    // the corrupt-file message.
    void ReadLanguageFile();

    // True when the current file was read whole and sound.
    bool isLoaded() const { return m_loaded; }
    // Makes fileName current and reads it without any message; true when
    // it was read whole and sound.
    bool loadQuietly(const QString &fileName);

    // The text of entry `number`, empty when the catalog has none. The
    // lookup is a binary search over the entries in file order, so a file
    // that is not sorted ascending misses most texts. Throws KvError (a
    // conversion error) when the search meets an entry that does not begin
    // with a decimal number followed by a comma.
    QString GetText(quint16 number) const;
    // The text of a named entry; the program asks by name.
    QString GetText(TextId id) const { return GetText(textNumber(id)); }

    // Lets the user pick a language file of the folder through the chooser
    // (the windows give TLanguageDialog::choose). On OK the chosen file
    // becomes current and is read; true. On cancel, or without prompts or
    // chooser, nothing changes; false.
    bool ChooseLanguage();

    // Puts the choice to the user: the chosen file name (without folder),
    // or nothing when the user cancelled.
    using Chooser = std::function<std::optional<QString>(Prompts &prompts, TLangDialog language,
                                                         const QString &folder, const QString &currentName)>;
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }
    // ChooseLanguage with this chooser instead of the one set.
    bool ChooseLanguage(const Chooser &chooser);

    // Header of the file read last.
    QString LanguageName() const;
    QString CodeLetter() const;
    QString HeaderText() const;
    qint32 HeaderNumber() const { return m_headerNumber; }
    int EntryCount() const { return int(m_entries.size()); }

    QColor CaptionBeginColor() const { return m_captionBeginColor; }
    void setCaptionBeginColor(const QColor &color) { m_captionBeginColor = color; }
    QColor CaptionEndColor() const { return m_captionEndColor; }
    void setCaptionEndColor(const QColor &color) { m_captionEndColor = color; }

    // Fixed information texts; assigning them changes nothing.
    QString CILastCompile() const { return QStringLiteral("01.02.2000"); }
    void setCILastCompile(const QString &) {}
    QString CIVersion() const { return QStringLiteral("1.05"); }
    void setCIVersion(const QString &) {}

    // Full path of `name` in `folder`: the exact name when such a file
    // exists, else a file of the folder whose name differs only in letter
    // case; empty when there is none. Directories never count.
    static QString existingFile(const QString &folder, const QString &name);

private:
    void showNotFound() const;
    void showCorrupt() const;

    Prompts *m_prompts;
    Chooser m_chooser;
    QString m_path;
    QString m_fileName;
    TLangDialog m_dialogLanguage = TLangDialog::English;
    QColor m_captionBeginColor{Qt::black};
    QColor m_captionEndColor{Qt::blue};

    QByteArray m_languageName;
    QByteArray m_codeLetter{"E"};
    QByteArray m_headerText;
    qint32 m_headerNumber = 0;
    std::vector<QByteArray> m_entries;   // raw lines, in file order
    bool m_loaded = false;
};
