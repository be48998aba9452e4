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
    : QWidget(parent), store_(store), token_(WebSettings::EnsureToken(store)),
      enabled_(new QCheckBox(tr("Serve the meter to web browsers"))), listen_(new QLineEdit),
      commands_(new QCheckBox(tr("Alarm and Fast/Slow buttons on the page"))),
      address_(new QLineEdit), problem_(new QLabel)
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
    problem_->setObjectName(QStringLiteral("Problem"));
    problem_->setStyleSheet(QStringLiteral("color: red"));
    problem_->setWordWrap(true);
    problem_->hide();

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
    form->addRow(problem_);

    enabled_->setChecked(Enabled.read(store_));
    listen_->setText(Listen.read(store_));
    commands_->setChecked(Commands.read(store_));
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

QString WebSettingsPage::problem() const
{
    return problem_->isHidden() ? QString() : problem_->text();
}

bool WebSettingsPage::apply()
{
    using namespace WebSettings;
    const QString listen = listen_->text().trimmed();
    QString why;
    if (!ParseListen(listen, &why)) {
        problem_->setText(tr("Listen on: %1; give a numeric address or localhost and a port, "
                             "as in 127.0.0.1:8734, 0.0.0.0:8734 or [::]:8734.")
                              .arg(why.isEmpty() ? tr("not a numeric address") : why));
        problem_->show();
        return false;
    }
    problem_->hide();
    store_.save({Enabled.text(enabled_->isChecked()), Listen.text(listen),
                 Commands.text(commands_->isChecked())});
    Q_EMIT applied();
    return true;
}
