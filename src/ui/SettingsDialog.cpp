// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsDialog.h"

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

void SettingsDialog::addPage(QWidget* page, const QString& title, std::function<bool()> apply)
{
    tabs_->addTab(page, title);
    pages_.append({page, std::move(apply)});
}

bool SettingsDialog::applyAll()
{
    bool all = true;
    for (const Page& page : pages_) {
        if (!page.apply()) {
            // Show the first page that refused, with its reason.
            if (all)
                tabs_->setCurrentWidget(page.widget);
            all = false;
        }
    }
    return all;
}
