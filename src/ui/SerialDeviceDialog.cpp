// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialDeviceDialog.h"

#include "PortMap.h"
#include "PortSettings.h"
#include "SerialDevicesLog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {
enum Column {
    NameColumn,
    KernelColumn,
    DescriptionColumn,
    MakerColumn,
    SerialColumn,
    UsbColumn,
    AccessColumn,
    ColumnCount
};

constexpr int PathRole = Qt::UserRole;
constexpr int KernelPathRole = Qt::UserRole + 1;

// An adapter a user would plug in for a meter: on USB, or named in the by-id
// folder, where only USB devices get names.
bool IsAdapter(const SerialDevice& device)
{
    return device.isUsb() || !device.byIdPaths.isEmpty();
}

QString VerdictColour(PathCheck::Verdict verdict)
{
    switch (verdict) {
    case PathCheck::Verdict::Ready:
        return QStringLiteral("#1b5e20");
    case PathCheck::Verdict::WontOpenNow:
        return QStringLiteral("#b35900");
    case PathCheck::Verdict::NotADevice:
        break;
    }
    return QStringLiteral("#b00020");
}
} // namespace

SerialDeviceDialog::SerialDeviceDialog(SettingsStore& store, int portNumber, QWidget* parent,
                                       SerialDeviceList devices)
    : QDialog(parent), store_(store), portNumber_(portNumber), devices_(std::move(devices))
{
    setObjectName(QStringLiteral("SerialDeviceDialog"));
    setWindowTitle(QStringLiteral("Serial Device"));
    mappedPath_ = DeviceForPort(store_, portNumber_);

    auto* layout = new QVBoxLayout(this);
    auto* current =
        new QLabel(QStringLiteral("Port %1 opens %2 now. Pick the device it should open:")
                       .arg(portNumber_)
                       .arg(mappedPath_.isEmpty() ? QStringLiteral("no device") : mappedPath_),
                   this);
    current->setObjectName(QStringLiteral("currentDevice"));
    current->setWordWrap(true);
    layout->addWidget(current);

    deviceList_ = new QTreeWidget(this);
    deviceList_->setObjectName(QStringLiteral("deviceList"));
    deviceList_->setColumnCount(ColumnCount);
    deviceList_->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Kernel name"),
                                  QStringLiteral("Description"), QStringLiteral("Manufacturer"),
                                  QStringLiteral("Serial number"), QStringLiteral("USB ID"),
                                  QStringLiteral("Access")});
    deviceList_->setRootIsDecorated(false);
    deviceList_->setAllColumnsShowFocus(true);
    deviceList_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(deviceList_, 1);

    proposalLabel_ = new QLabel(this);
    proposalLabel_->setObjectName(QStringLiteral("proposal"));
    proposalLabel_->setWordWrap(true);
    proposalLabel_->hide();
    layout->addWidget(proposalLabel_);

    auto* pathLabel = new QLabel(
        QStringLiteral("Device path (any path, also pseudo-terminals and links):"), this);
    layout->addWidget(pathLabel);
    pathField_ = new QLineEdit(this);
    pathField_->setObjectName(QStringLiteral("devicePath"));
    pathField_->setClearButtonEnabled(true);
    pathLabel->setBuddy(pathField_);
    layout->addWidget(pathField_);

    reasonLabel_ = new QLabel(this);
    reasonLabel_->setObjectName(QStringLiteral("deviceReason"));
    reasonLabel_->setWordWrap(true);
    reasonLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    reasonLabel_->setMinimumHeight(3 * fontMetrics().lineSpacing());
    reasonLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(reasonLabel_);

    auto* buttons = new QDialogButtonBox(this);
    chooseButton_ = buttons->addButton(QStringLiteral("Choose"), QDialogButtonBox::AcceptRole);
    chooseButton_->setObjectName(QStringLiteral("chooseButton"));
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    layout->addWidget(buttons);
    // Choose closes the dialog only when the path names a device.
    connect(chooseButton_, &QPushButton::clicked, this, &SerialDeviceDialog::choose);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(deviceList_, &QTreeWidget::itemSelectionChanged, this,
            &SerialDeviceDialog::takeSelectedRow);
    // Checking looks at lock files and other processes' open files: not at
    // every key stroke.
    checkTimer_.setSingleShot(true);
    checkTimer_.setInterval(250);
    connect(&checkTimer_, &QTimer::timeout, this, &SerialDeviceDialog::checkPath);
    connect(pathField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        selectRowFor(text.trimmed());
        checkTimer_.start();
    });
    refreshTimer_.setInterval(RefreshIntervalMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &SerialDeviceDialog::refresh);
    refreshTimer_.start();

    listedStamp_ = devices_.stamp();
    const SerialDevices found = devices_.devices();
    fillList(found);
    pathField_->setText(mappedPath_);
    selectRowFor(mappedPath_);
    proposeOnlyAdapter(found);
    checkPath();
    resize(860, 420);
}

void SerialDeviceDialog::proposeOnlyAdapter(const SerialDevices& devices)
{
    if (mappedPath_.isEmpty() || QFileInfo::exists(mappedPath_))
        return;
    const auto adapters = std::count_if(devices.cbegin(), devices.cend(), IsAdapter);
    if (adapters != 1)
        return;
    const SerialDevice& only = *std::find_if(devices.cbegin(), devices.cend(), IsAdapter);
    pathField_->setText(only.preferredPath());
    selectRowFor(only.preferredPath());
    proposalLabel_->setText(
        QStringLiteral("%1 is missing. Proposed: the only USB serial adapter plugged in. "
                       "Nothing is stored until you choose it.")
            .arg(mappedPath_));
    proposalLabel_->show();
}

void SerialDeviceDialog::fillList(const SerialDevices& devices)
{
    listed_ = devices;
    filling_ = true;
    deviceList_->clear();
    for (const SerialDevice& d : devices) {
        auto* row = new QTreeWidgetItem(deviceList_);
        row->setText(NameColumn,
                     d.byIdPaths.isEmpty() ? d.path : d.byIdPaths.first().section(u'/', -1));
        row->setText(KernelColumn, d.kernelName());
        row->setText(DescriptionColumn, d.description);
        row->setText(MakerColumn, d.manufacturer);
        row->setText(SerialColumn, d.serialNumber);
        row->setText(UsbColumn, d.vendorProduct());
        row->setText(AccessColumn, d.accessible ? QStringLiteral("yes") : QStringLiteral("no"));
        row->setData(NameColumn, PathRole, d.preferredPath());
        row->setData(NameColumn, KernelPathRole, d.path);
        row->setToolTip(NameColumn, d.byIdPaths.isEmpty()
                                        ? d.path
                                        : d.byIdPaths.first() + QStringLiteral("\n-> ") + d.path);
        if (!d.accessible)
            row->setToolTip(AccessColumn, QStringLiteral("You may not read and write %1; "
                                                         "pick it to see why.")
                                              .arg(d.path));
    }
    filling_ = false;
}

void SerialDeviceDialog::refresh()
{
    const QStringList stamp = devices_.stamp();
    const bool mayHaveChanged = stamp.isEmpty() || stamp != listedStamp_;
    listedStamp_ = stamp;
    const SerialDevices found = mayHaveChanged ? devices_.devices() : listed_;
    if (found != listed_) {
        // The field keeps what it holds; the row it names is selected again
        // if it is still there.
        fillList(found);
        filling_ = true;
        selectRowFor(pathField_->text().trimmed());
        filling_ = false;
    }
    // A device plugged, unplugged or taken by another program meanwhile
    // changes the reason.
    checkPath();
}

void SerialDeviceDialog::selectRowFor(const QString& path)
{
    const bool wasFilling = filling_;
    filling_ = true;
    deviceList_->clearSelection();
    for (int i = 0; i < deviceList_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = deviceList_->topLevelItem(i);
        if (!path.isEmpty() && (row->data(NameColumn, PathRole).toString() == path ||
                                row->data(NameColumn, KernelPathRole).toString() == path)) {
            row->setSelected(true);
            deviceList_->setCurrentItem(row);
            break;
        }
    }
    filling_ = wasFilling;
}

void SerialDeviceDialog::takeSelectedRow()
{
    if (filling_)
        return;
    const QList<QTreeWidgetItem*> rows = deviceList_->selectedItems();
    if (rows.isEmpty())
        return;
    pathField_->setText(rows.first()->data(NameColumn, PathRole).toString());
    checkPath();
}

QString SerialDeviceDialog::pathToStore(const QString& path) const
{
    return PathToStore(path, devices_);
}

void SerialDeviceDialog::checkPath()
{
    checkTimer_.stop();
    const QString path = pathField_->text().trimmed();
    showCheck(CheckDevicePath(path, devices_), path);
}

void SerialDeviceDialog::showCheck(const PathCheck& check, const QString& path)
{
    lastCheck_ = check;
    QString text = check.reason.toHtmlEscaped();
    const QString stored = pathToStore(path);
    if (check.verdict != PathCheck::Verdict::NotADevice && stored != path)
        text += QStringLiteral("<br>Stored as its stable name %1.").arg(stored.toHtmlEscaped());
    reasonLabel_->setText(QStringLiteral("<span style=\"color:%1\">%2</span>")
                              .arg(VerdictColour(check.verdict), text));
    reasonLabel_->setToolTip(check.reason);
}

bool SerialDeviceDialog::choose()
{
    const QString path = pathField_->text().trimmed();
    const PathCheck check = CheckDevicePath(path, devices_);
    showCheck(check, path);
    if (check.verdict == PathCheck::Verdict::NotADevice) {
        qCInfo(lcSerialDevices).noquote()
            << "port" << portNumber_ << ": not stored:" << check.reason;
        return false;
    }
    // A device that is busy or closed to the user now is still the right
    // one to store: the reason stays in the port list's tooltip until the
    // user has fixed it.
    const QString stored = pathToStore(path);
    PortSettings::Device(portNumber_).save(store_, stored);
    qCInfo(lcSerialDevices).noquote() << "port" << portNumber_ << "now opens" << stored;
    refreshTimer_.stop();
    Q_EMIT deviceChosen(portNumber_, stored);
    accept();
    return true;
}
