// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsDialog.h"

#include "SettingsPage.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

SettingsDialog::SettingsDialog(QWidget* parent)
    : QDialog(parent), tabs_(new QTabWidget(this)),
      buttons_(new QDialogButtonBox(
          QDialogButtonBox::Ok | QDialogButtonBox::Apply | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(QStringLiteral("Vossbridge Settings"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        if (applyAll())
            accept();
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons_->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &SettingsDialog::applyAll);
}

void SettingsDialog::addPage(SettingsPage* page, const QString& title)
{
    tabs_->addTab(page, title);
    pages_.append(page);
}

bool SettingsDialog::applyAll()
{
    // Every page says what it refuses before any stores: half a dialog
    // applied would leave the links on settings nobody chose.
    SettingsPage* refusing = nullptr;
    problem_.clear();
    for (SettingsPage* page : pages_) {
        const QString why = page->check();
        if (!why.isEmpty() && !refusing) {
            refusing = page;
            problem_ = why;
        }
    }
    if (refusing) {
        tabs_->setCurrentWidget(refusing);
        if (QWidget* field = refusing->problemField())
            field->setFocus(Qt::OtherFocusReason);
        return false;
    }
    for (SettingsPage* page : pages_)
        page->store();
    return true;
}
