// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>

class QDialogButtonBox;
class QTabWidget;
class SettingsPage;

// Tools > Settings...: one page for each addition to the program. OK and
// Apply first check every page; a value that is refused stores nothing of
// any page, and the dialog shows which and why. Otherwise each page stores
// what changed, and only the links behind those pages take it up.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* parent = nullptr);

    void addPage(SettingsPage* page, const QString& title);
    // True when every page's values were allowed, and so stored.
    bool applyAll();
    // The refusal applyAll() showed last, empty when it stored.
    QString problem() const { return problem_; }

private:
    QTabWidget* tabs_;
    QDialogButtonBox* buttons_;
    QList<SettingsPage*> pages_;
    QString problem_;
};
