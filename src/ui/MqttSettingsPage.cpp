// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttSettingsPage.h"

#include "MqttSettings.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

MqttSettingsPage::MqttSettingsPage(SettingsStore& store, QWidget* parent)
    : QWidget(parent), store_(store), enabled_(new QCheckBox(tr("Publish to an MQTT broker"))),
      broker_(new QLineEdit), clientId_(new QLineEdit), user_(new QLineEdit),
      password_(new QLineEdit), caFile_(new QLineEdit), prefix_(new QLineEdit), rate_(new QSpinBox),
      discovery_(new QCheckBox(tr("Home Assistant discovery"))),
      commands_(new QCheckBox(tr("Accept commands (Alarm, Fast/Slow) from the broker"))),
      problem_(new QLabel)
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
    problem_->setObjectName(QStringLiteral("Problem"));
    problem_->setStyleSheet(QStringLiteral("color: red"));
    problem_->setWordWrap(true);
    problem_->hide();

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
    form->addRow(problem_);
    load();
}

void MqttSettingsPage::load()
{
    using namespace MqttSettings;
    enabled_->setChecked(Enabled.read(store_));
    broker_->setText(Broker.read(store_));
    clientId_->setText(ClientId.read(store_));
    user_->setText(User.read(store_));
    password_->setText(Password.read(store_));
    caFile_->setText(CaFile.read(store_));
    prefix_->setText(Prefix.read(store_));
    rate_->setValue(Rate.read(store_));
    discovery_->setChecked(Discovery.read(store_));
    commands_->setChecked(Commands.read(store_));
}

QString MqttSettingsPage::problem() const
{
    return problem_->isHidden() ? QString() : problem_->text();
}

void MqttSettingsPage::showProblem(const QString& text)
{
    problem_->setText(text);
    problem_->setVisible(!text.isEmpty());
}

bool MqttSettingsPage::apply()
{
    using namespace MqttSettings;
    const QString broker = broker_->text().trimmed();
    const QString clientId = clientId_->text().trimmed();
    const QString caFile = caFile_->text().trimmed();
    const QString prefix = prefix_->text().trimmed();

    QString why;
    QString addressProblem;
    if (!ParseHostPort(broker, DefaultPort, &addressProblem))
        why = tr("Broker: %1; give a host name or address with an optional port, as in "
                 "localhost:1883 or [::1]:1883.")
                  .arg(addressProblem);
    else if (clientId.isEmpty())
        why = tr("The client id is empty.");
    else if (!caFile.isEmpty() && !QFileInfo(caFile).isReadable())
        why = tr("The CA file %1 can't be read.").arg(caFile);
    else if (password_->text().size() > 0 && user_->text().trimmed().isEmpty())
        why = tr("A password needs a user name.");
    else
        why = PrefixProblem(prefix);
    showProblem(why);
    if (!why.isEmpty())
        return false;

    store_.save({Enabled.text(enabled_->isChecked()), Broker.text(broker), ClientId.text(clientId),
                 User.text(user_->text().trimmed()), Password.text(password_->text()),
                 CaFile.text(caFile), Prefix.text(prefix), Rate.text(rate_->value()),
                 Discovery.text(discovery_->isChecked()), Commands.text(commands_->isChecked())});
    Q_EMIT applied();
    return true;
}
