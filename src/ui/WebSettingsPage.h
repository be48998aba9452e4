// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class SettingsStore;

// Page "Web page" of the Settings dialog: whether the page is served, where,
// whether its buttons act on the meter, and the token with the page's
// address to copy, group "Web" of the settings file.
class WebSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit WebSettingsPage(SettingsStore& store, QWidget* parent = nullptr);

    // Checks the address; saves every field together and emits applied()
    // when it makes sense, else shows why on the page and saves nothing.
    bool apply();
    QString problem() const;
    // What Copy puts on the clipboard: the page's address, with the token
    // when the page asks for one.
    QString pageAddress() const;

Q_SIGNALS:
    void applied();

private:
    void showAddress();

    SettingsStore& store_;
    QString token_;
    QCheckBox* enabled_;
    QLineEdit* listen_;
    QCheckBox* commands_;
    QLineEdit* address_;
    QLabel* problem_;
};
