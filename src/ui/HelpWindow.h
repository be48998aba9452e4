// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTextBrowser>

// The program's own help viewer: a window beside the main window showing
// the HTML manual.
class HelpWindow : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the manual at `path` from its top; says so in the window when
    // there is no file there.
    void showHelpFile(const QString& path);
};
