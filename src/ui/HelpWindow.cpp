// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpWindow.h"

#include <QFileInfo>
#include <QUrl>

HelpWindow::HelpWindow(QWidget* parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Vossbridge Help"));
    setOpenExternalLinks(true);
    resize(640, 560);
}

void HelpWindow::showHelpFile(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        setHtml(QStringLiteral("<h2>No help file</h2><p>The manual TRX.hlp should be at "
                               "<code>%1</code>, beside the program, but it is not there.</p>")
                    .arg(path.toHtmlEscaped()));
        return;
    }
    // The manual is HTML whatever its name says.
    setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
    home();
    moveCursor(QTextCursor::Start);
}
