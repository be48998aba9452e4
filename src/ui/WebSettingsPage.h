// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsPage.h"

class QCheckBox;
class QLineEdit;

// Page "Web page" of the Settings dialog: whether the page is served, where,
// whether its buttons act on the meter, and the token with the page's
// address to copy, group "Web" of the settings file.
class WebSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit WebSettingsPage(SettingsStore& store, QWidget* parent = nullptr);

    // What Copy puts on the clipboard: the page's address, with the token
    // when the page asks for one.
    QString pageAddress() const;

protected:
    QList<Entry> entries() const override;

private:
    void showAddress();

    QString token_;
    QCheckBox* enabled_;
    QLineEdit* listen_;
    QCheckBox* commands_;
    QLineEdit* address_;
};
