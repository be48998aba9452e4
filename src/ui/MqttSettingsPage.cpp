// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttSettingsPage.h"

#include "MqttSettings.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

MqttSettingsPage::MqttSettingsPage(SettingsStore& store, QWidget* parent)
    : SettingsPage(store, parent), enabled_(new QCheckBox(tr("Publish to an MQTT broker"))),
      broker_(new QLineEdit), clientId_(new QLineEdit), user_(new QLineEdit),
      password_(new QLineEdit), caFile_(new QLineEdit), prefix_(new QLineEdit), rate_(new QSpinBox),
      discovery_(new QCheckBox(tr("Home Assistant discovery"))),
      commands_(new QCheckBox(tr("Accept commands (Alarm, Fast/Slow) from the broker")))
{
    setObjectName(QStringLiteral("MqttSettingsPage"));
    setWindowTitle(tr("MQTT"));
    enabled_->setObjectName(QStringLiteral("Enabled"));
    broker_->setObjectName(QStringLiteral("Broker"));
    broker_->setPlaceholderText(QStringLiteral("localhost:1883"));
    clientId_->setObjectName(QStringLiteral("ClientId"));
    user_->setObjectName(QStringLiteral("User"));
    password_->setObjectName(QStringLiteral("Password"));
    password_->setEchoMode(QLineEdit::Password);
    caFile_->setObjectName(QStringLiteral("CaFile"));
    caFile_->setPlaceholderText(tr("none: no TLS"));
    prefix_->setObjectName(QStringLiteral("Prefix"));
    rate_->setObjectName(QStringLiteral("Rate"));
    rate_->setRange(MqttSettings::MinRate, MqttSettings::MaxRate);
    rate_->setSuffix(tr(" per second"));
    discovery_->setObjectName(QStringLiteral("Discovery"));
    commands_->setObjectName(QStringLiteral("Commands"));

    auto* browse = new QPushButton(tr("Browse..."));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file =
            QFileDialog::getOpenFileName(this, tr("Certificate authorities"), caFile_->text());
        if (!file.isEmpty())
            caFile_->setText(file);
    });
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(caFile_);
    caRow->addWidget(browse);

    auto* form = new QFormLayout(this);
    form->addRow(enabled_);
    form->addRow(tr("Broker (host:port):"), broker_);
    form->addRow(tr("Client id:"), clientId_);
    form->addRow(tr("User:"), user_);
    form->addRow(tr("Password:"), password_);
    form->addRow(tr("CA file (TLS):"), caRow);
    form->addRow(tr("Topic prefix:"), prefix_);
    form->addRow(tr("Readings at most:"), rate_);
    form->addRow(discovery_);
    form->addRow(commands_);
    form->addRow(problemLabel());
    load();
}

void MqttSettingsPage::load()
{
    using namespace MqttSettings;
    SettingsStore& store = settings();
    enabled_->setChecked(Enabled.read(store));
    broker_->setText(Broker.read(store));
    clientId_->setText(ClientId.read(store));
    user_->setText(User.read(store));
    password_->setText(Password.read(store));
    caFile_->setText(CaFile.read(store));
    prefix_->setText(Prefix.read(store));
    rate_->setValue(Rate.read(store));
    discovery_->setChecked(Discovery.read(store));
    commands_->setChecked(Commands.read(store));
}

QList<SettingsPage::Entry> MqttSettingsPage::entries() const
{
    using namespace MqttSettings;
    Entry caFile = entry(caFile_, CaFile, caFile_->text());
    if (caFile.refusal.isEmpty())
        caFile.refusal = CaFileRefusal(caFile.text.text);
    Entry password = entry(password_, Password, password_->text());
    password.refusal = PasswordRefusal(user_->text(), password_->text());
    return {valueEntry(enabled_, Enabled, enabled_->isChecked()),
            entry(broker_, Broker, broker_->text()),
            entry(clientId_, ClientId, clientId_->text()),
            entry(user_, User, user_->text()),
            password,
            caFile,
            entry(prefix_, Prefix, prefix_->text()),
            valueEntry(rate_, Rate, rate_->value()),
            valueEntry(discovery_, Discovery, discovery_->isChecked()),
            valueEntry(commands_, Commands, commands_->isChecked())};
}
