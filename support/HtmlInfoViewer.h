#pragma once
// Shows a local HTML document (help, read-me) in a window of its own. A
// missing file shows a short note instead of an empty window.
#include <QDialog>

class QTextBrowser;

class HtmlInfoViewer : public QDialog
{
    Q_OBJECT
public:
    explicit HtmlInfoViewer(QWidget *parent = nullptr);
    void showFile(const QString &path);
    QString currentFile() const { return m_file; }
    QTextBrowser *browser() const { return m_browser; }

    // The one viewer of a parent window, created on first use.
    static HtmlInfoViewer *showFile(QWidget *parent, const QString &path);

private:
    QTextBrowser *m_browser;
    QString m_file;
};
