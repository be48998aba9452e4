// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>
#include <functional>

class QDialogButtonBox;
class QTabWidget;

// Tools > Settings...: one page for each addition to the program. OK and
// Apply write every page's settings, which take effect at once; a page whose
// values make no sense says why and keeps the dialog open.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* parent = nullptr);

    // `apply` validates the page and writes it; false when a value makes no sense.
    void addPage(QWidget* page, const QString& title, std::function<bool()> apply);
    // True when every page applied.
    bool applyAll();

private:
    struct Page {
        QWidget* widget;
        std::function<bool()> apply;
    };
    QTabWidget* tabs_;
    QDialogButtonBox* buttons_;
    QList<Page> pages_;
};
