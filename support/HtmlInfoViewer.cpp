#include "support/HtmlInfoViewer.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HtmlInfoViewer::HtmlInfoViewer(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("KvHTMLInformation1"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setModal(false);
    resize(620, 480);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("Browser"));
    m_browser->setOpenExternalLinks(true);
    layout->addWidget(m_browser);
}

void HtmlInfoViewer::showFile(const QString &path)
{
    m_file = path;
    if (QFileInfo::exists(path)) {
        m_browser->setSource(QUrl::fromLocalFile(path));
    } else {
        m_browser->setHtml(QStringLiteral("<p>The document <b>%1</b> is not installed.</p>").arg(path.toHtmlEscaped()));
    }
    show();
    raise();
}

HtmlInfoViewer *HtmlInfoViewer::showFile(QWidget *parent, const QString &path)
{
    auto *viewer = parent ? parent->findChild<HtmlInfoViewer *>(QStringLiteral("KvHTMLInformation1"),
                                                               Qt::FindDirectChildrenOnly)
                          : nullptr;
    if (!viewer)
        viewer = new HtmlInfoViewer(parent);
    viewer->showFile(path);
    return viewer;
}
