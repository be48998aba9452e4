// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebSettingsPage.h"

#include "PageAddress.h"
#include "WebSettings.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

WebSettingsPage::WebSettingsPage(SettingsStore& store, QWidget* parent)
    : SettingsPage(store, parent), token_(WebSettings::EnsureToken(store)),
      enabled_(new QCheckBox(tr("Serve the meter to web browsers"))), listen_(new QLineEdit),
      commands_(new QCheckBox(tr("Alarm and Fast/Slow buttons on the page"))),
      address_(new QLineEdit)
{
    using namespace WebSettings;
    setObjectName(QStringLiteral("WebSettingsPage"));
    setWindowTitle(tr("Web page"));
    enabled_->setObjectName(QStringLiteral("Enabled"));
    listen_->setObjectName(QStringLiteral("Listen"));
    listen_->setPlaceholderText(Listen.defaultValue);
    listen_->setToolTip(tr("0.0.0.0 or [::] for every address; beyond loopback the page "
                           "asks for the token."));
    commands_->setObjectName(QStringLiteral("Commands"));
    address_->setObjectName(QStringLiteral("Address"));
    address_->setReadOnly(true);

    auto* copy = new QPushButton(tr("Copy"));
    copy->setObjectName(QStringLiteral("Copy"));
    connect(copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(pageAddress()); });
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(address_);
    addressRow->addWidget(copy);
    auto* token = new QLineEdit(token_);
    token->setObjectName(QStringLiteral("Token"));
    token->setReadOnly(true);

    auto* form = new QFormLayout(this);
    form->addRow(enabled_);
    form->addRow(tr("Listen on (address:port):"), listen_);
    form->addRow(commands_);
    form->addRow(tr("Token:"), token);
    form->addRow(tr("Page:"), addressRow);
    form->addRow(problemLabel());

    enabled_->setChecked(Enabled.read(store));
    listen_->setText(Listen.read(store));
    commands_->setChecked(Commands.read(store));
    connect(listen_, &QLineEdit::textChanged, this, &WebSettingsPage::showAddress);
    showAddress();
}

QString WebSettingsPage::pageAddress() const
{
    return PageAddress(listen_->text(), token_);
}

void WebSettingsPage::showAddress()
{
    address_->setText(pageAddress());
}

QList<SettingsPage::Entry> WebSettingsPage::entries() const
{
    using namespace WebSettings;
    return {valueEntry(enabled_, Enabled, enabled_->isChecked()),
            entry(listen_, Listen, listen_->text()),
            valueEntry(commands_, Commands, commands_->isChecked())};
}
