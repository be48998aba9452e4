// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationLinkSettingsPage.h"

#include "StationLinkSettings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace S = StationLinkSettings;

StationLinkSettingsPage::StationLinkSettingsPage(SettingsStore& store, QWidget* parent)
    : SettingsPage(store, parent)
{
    setObjectName(QStringLiteral("StationLinkSettingsPage"));
    setWindowTitle(tr("Station programs"));
    enabled_ = new QCheckBox(tr("Serve the meter to Hamlib programs (WSJT-X, fldigi, loggers)"));
    listen_ = new QLineEdit;
    listen_->setToolTip(tr("Address and port the programs connect to, e.g. 127.0.0.1:4534"));
    rig_ = new QLineEdit;
    rig_->setPlaceholderText(tr("empty: no rig, meter only"));
    rig_->setToolTip(tr("host:port of the rig's own rigctld, e.g. localhost:4532"));
    protection_ = new QCheckBox(tr("Unkey the rig on high SWR"));
    hold_ = new QCheckBox(tr("Refuse keying until the alarm is acknowledged"));
    hold_->setObjectName(QStringLiteral("HoldUntilAcknowledged"));
    // Named as their keys, for whoever drives the page.
    enabled_->setObjectName(QStringLiteral("Enabled"));
    listen_->setObjectName(QStringLiteral("Listen"));
    rig_->setObjectName(QStringLiteral("Rig"));
    protection_->setObjectName(QStringLiteral("Protection"));
    swrLimit_ = new QLineEdit;
    swrLimit_->setToolTip(tr("\"alarm\" for the meter's alarm setting, or an SWR such as 2.0"));
    powerFloor_ = new QLineEdit;
    count_ = new QSpinBox;
    count_->setRange(1, 100);

    auto* form = new QFormLayout(this);
    form->addRow(enabled_);
    form->addRow(tr("Listen on:"), listen_);
    form->addRow(tr("Rig daemon:"), rig_);
    form->addRow(protection_);
    form->addRow(hold_);
    form->addRow(tr("SWR limit:"), swrLimit_);
    form->addRow(tr("Power floor (W):"), powerFloor_);
    form->addRow(tr("Replies over the limit:"), count_);
    form->addRow(problemLabel());

    enabled_->setChecked(S::Enabled.read(store));
    listen_->setText(S::Listen.read(store));
    rig_->setText(S::Rig.read(store));
    protection_->setChecked(S::Protection.read(store));
    hold_->setChecked(S::HoldUntilAcknowledged.read(store));
    swrLimit_->setText(S::SwrLimit.read(store));
    powerFloor_->setText(S::PowerFloor.toText(S::PowerFloor.read(store)));
    count_->setValue(S::Count.read(store));
}

QList<SettingsPage::Entry> StationLinkSettingsPage::entries() const
{
    return {valueEntry(enabled_, S::Enabled, enabled_->isChecked()),
            entry(listen_, S::Listen, listen_->text()),
            entry(rig_, S::Rig, rig_->text()),
            valueEntry(protection_, S::Protection, protection_->isChecked()),
            valueEntry(hold_, S::HoldUntilAcknowledged, hold_->isChecked()),
            entry(swrLimit_, S::SwrLimit, swrLimit_->text()),
            entry(powerFloor_, S::PowerFloor, powerFloor_->text()),
            valueEntry(count_, S::Count, count_->value())};
}
