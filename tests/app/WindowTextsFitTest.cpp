// Every shipped language on every window: the layouts have fixed sizes, so a
// caption longer than its control is cut off. Each label, button, check box,
// radio button and group title must show its whole text. With
// KV_SCREENSHOT_DIR set, pictures of the windows are kept for the read-me.
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "check/AlleForm.h"
#include "rules/CheckerForm.h"
#include "settings/KontenForm.h"
#include "settings/SetupForm.h"
#include "viewer/AusgabeForm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

// How much wider the text is than the room it has; 0 when it fits.
int overflow(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w)) {
        if (l->wordWrap() || l->text().isEmpty() || l->textFormat() == Qt::RichText || !l->pixmap().isNull())
            return 0;
        const QFontMetrics fm(l->font());
        int widest = 0;
        for (const QString &line : l->text().split(QLatin1Char('\n')))
            widest = std::max(widest, fm.horizontalAdvance(line));
        return std::max(0, widest - l->contentsRect().width());
    }
    if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        if (b->text().isEmpty())
            return 0;
        // Check boxes and radio buttons need their indicator beside the text;
        // the size hint counts both.
        return std::max(0, b->sizeHint().width() - b->width());
    }
    if (auto *g = qobject_cast<QGroupBox *>(w)) {
        if (g->title().isEmpty())
            return 0;
        return std::max(0, QFontMetrics(g->font()).horizontalAdvance(g->title()) + 16 - g->width());
    }
    return 0;
}

QStringList cutOff(QWidget &window)
{
    QStringList found;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        if (!w->isVisibleTo(&window))
            continue;
        if (const int by = overflow(w); by > 0) {
            QString text;
            if (auto *l = qobject_cast<QLabel *>(w))
                text = l->text();
            else if (auto *b = qobject_cast<QAbstractButton *>(w))
                text = b->text();
            else if (auto *g = qobject_cast<QGroupBox *>(w))
                text = g->title();
            found << QStringLiteral("%1 \"%2\" by %3 px").arg(w->objectName(), text).arg(by);
        }
    }
    return found;
}

// Where a control draws, in its parent: a label only where its text is, so
// captions centred in wide boxes may share room as long as the words do not.
QRect drawnRect(QWidget *w)
{
    auto *l = qobject_cast<QLabel *>(w);
    if (!l)
        return w->geometry();
    const QFontMetrics fm(l->font());
    int widest = 0;
    for (const QString &line : l->text().split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
    const QRect room = l->contentsRect();
    const QRect text = QStyle::alignedRect(l->layoutDirection(), l->alignment(),
                                           QSize(std::min(widest, room.width()), room.height()), room);
    return text.translated(l->pos());
}

// Controls of one parent that cover each other: a layout put two of them
// into the same cell.
QStringList overlapping(QWidget &window)
{
    QStringList found;
    const auto isControl = [&window](QWidget *w) {
        return w->isVisibleTo(&window)
            && (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)
                || (qobject_cast<QLabel *>(w) && !qobject_cast<QLabel *>(w)->text().isEmpty()));
    };
    for (QWidget *parent : window.findChildren<QWidget *>()) {
        QList<QWidget *> controls;
        for (QObject *o : parent->children())
            if (auto *w = qobject_cast<QWidget *>(o); w && !w->isWindow() && isControl(w))
                controls << w;
        for (qsizetype i = 0; i < controls.size(); ++i)
            for (qsizetype j = i + 1; j < controls.size(); ++j)
                if (drawnRect(controls[i]).intersects(drawnRect(controls[j])))
                    found << controls[i]->objectName() + QStringLiteral(" covers ") + controls[j]->objectName();
    }
    return found;
}

void keep(QWidget &window, const QString &name)
{
    if (const QString dir = qEnvironmentVariable("KV_SCREENSHOT_DIR"); !dir.isEmpty()) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(window.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
    }
}

// A program that has been used before, started and shown in a language.
void startIn(ProgramFixture &p, const QString &file)
{
    p.presetUsedStore();
    p.preset(QStringLiteral("Language"), QStringLiteral("File"), file);
    p.start();
    p.show();
}

class WindowTextsFit : public ::testing::TestWithParam<const char *>
{
};

} // namespace

TEST_P(WindowTextsFit, EveryCaptionShowsWhole)
{
    const QString file = QLatin1String(GetParam());
    const QString code = file.left(file.indexOf(QLatin1Char('.')));
    ProgramFixture p;
    startIn(p, file);
    TStammForm &f = p.form();
    ASSERT_EQ(f.KvLanguage1().FileName(), file);

    struct Shown
    {
        QWidget *window;
        QString name;
    };
    OtherWindows &o = p.windows.others;
    o.AusgabeForm->attach(p.programFolder(), p.prompts, p.shell, f.KvLanguage1(), [] { return CheckerCommand{}; });
    o.AusgabeForm->Einrichten();
    const Shown windows[] = {{&f, QStringLiteral("main")},           {o.KontenForm, QStringLiteral("accounts")},
                             {o.AlleForm, QStringLiteral("report")},  {o.CheckerForm, QStringLiteral("editor")},
                             {o.AusgabeForm, QStringLiteral("viewer")}};
    for (const Shown &s : windows) {
        SCOPED_TRACE(s.name.toStdString());
        s.window->show();
        QCoreApplication::processEvents();
        if (s.window == o.KontenForm) {
            // The language's own provider templates fill in a new account.
            TKontenForm &k = *o.KontenForm;
            ASSERT_GE(k.CoBo_Provider->count(), 10);
            k.CoBo_Provider->setCurrentIndex(k.CoBo_Provider->count() / 2);
            k.CoBo_ProviderChange();
            EXPECT_EQ(k.FE_Bezeichnung->text(), k.CoBo_Provider->currentText());
            EXPECT_FALSE(k.FE_Host->text().isEmpty());
            EXPECT_EQ(k.FE_Port->text(), QStringLiteral("995"));
        }
        EXPECT_EQ(cutOff(*s.window), QStringList());
        EXPECT_EQ(overlapping(*s.window), QStringList());
        keep(*s.window, s.name + QLatin1Char('_') + code);
        s.window->hide();
    }
    // The settings dialog, page by page.
    auto *setup = o.SetupForm;
    auto *pages = setup->findChild<QTabWidget *>();
    ASSERT_NE(pages, nullptr);
    setup->show();
    for (int i = 0; i < pages->count(); ++i) {
        SCOPED_TRACE(pages->tabText(i).toStdString());
        pages->setCurrentIndex(i);
        QCoreApplication::processEvents();
        EXPECT_EQ(cutOff(*setup), QStringList());
        EXPECT_EQ(overlapping(*setup), QStringList());
        keep(*setup, QStringLiteral("setup%1_").arg(i + 1) + code);
    }
    setup->hide();
}

INSTANTIATE_TEST_SUITE_P(Languages, WindowTextsFit,
                         ::testing::Values("Deutsch.LNG", "English.LNG", "Italiano.LNG", "Nederlands.LNG"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param, std::strchr(info.param, '.'));
                         });

namespace {

// objectName -> shown text of every menu item, group title and caption of
// the main window started in the given language.
QMap<QString, QString> mainWindowTexts(const QString &file)
{
    ProgramFixture p;
    startIn(p, file);
    TStammForm &f = p.form();
    QMap<QString, QString> texts;
    for (QAction *a : f.findChildren<QAction *>())
        if (!a->objectName().isEmpty() && !a->isSeparator())
            texts.insert(a->objectName(), a->text().remove(QLatin1Char('&')));
    for (QMenu *m : f.findChildren<QMenu *>())
        if (!m->objectName().isEmpty())
            texts.insert(m->objectName(), m->title().remove(QLatin1Char('&')));
    for (QGroupBox *g : f.findChildren<QGroupBox *>())
        if (g->window() == &f)
            texts.insert(g->objectName(), g->title());
    for (QLabel *l : f.findChildren<QLabel *>())
        if (l->window() == &f && l->objectName().startsWith(QLatin1String("Lab_")))
            texts.insert(l->objectName(), l->text());
    texts.removeIf([](const auto &e) { return e.value().isEmpty(); });
    return texts;
}

} // namespace

// A caption left out of the language's texts keeps the built-in English
// word in every language. Only the two address items (fixed texts followed
// by an address) and a word that German shares may match.
TEST(WindowTextsLanguage, MainWindowCaptionsFollowTheLanguage)
{
    const QMap<QString, QString> english = mainWindowTexts(QStringLiteral("English.LNG"));
    const QMap<QString, QString> german = mainWindowTexts(QStringLiteral("Deutsch.LNG"));
    ASSERT_EQ(english.keys(), german.keys());
    const QStringList fixed = {QStringLiteral("IP11"), QStringLiteral("IP21"), QStringLiteral("Sonstiges1")};
    QStringList same;
    for (auto it = english.cbegin(); it != english.cend(); ++it)
        if (german.value(it.key()) == it.value() && !fixed.contains(it.key()))
            same << it.key() + QStringLiteral(" \"") + it.value() + QLatin1Char('"');
    EXPECT_EQ(same, QStringList()) << same.join(QStringLiteral(", ")).toStdString();
}
