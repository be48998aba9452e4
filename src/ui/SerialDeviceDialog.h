// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OpenFailureReason.h"
#include "SerialDeviceList.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class SettingsStore;

// Tools > Serial Device...: the serial devices plugged in, by stable name and
// maker, and a field for any path (pseudo-terminals, udev links). Choose
// stores the device for one port number in group "Ports", by its by-id name
// where it has one; nothing else is stored, and the serial link is not
// touched: whoever opened the dialog reopens the port on deviceChosen().
class SerialDeviceDialog : public QDialog {
    Q_OBJECT
public:
    SerialDeviceDialog(SettingsStore& store, int portNumber, QWidget* parent = nullptr,
                       SerialDeviceList devices = SerialDeviceList());

    // How often the list follows adapters being plugged and unplugged.
    static constexpr int RefreshIntervalMs = 1000;

    int portNumber() const { return portNumber_; }
    // Lists the devices again, keeping the selected one selected.
    void refresh();
    // Checks the path in the field and shows the reason.
    void checkPath();
    // What the Choose button does: checks the path again (the device may
    // have gone since it was listed), and when it names a device stores it,
    // emits deviceChosen() and closes. False, and nothing stored, otherwise.
    bool choose();
    // The name stored for `path`, by the rule every way of choosing a device
    // shares (PathToStore): its by-id link where it has one.
    QString pathToStore(const QString& path) const;

    QTreeWidget* deviceList() const { return deviceList_; }
    QLineEdit* pathField() const { return pathField_; }
    QLabel* reasonLabel() const { return reasonLabel_; }
    QLabel* proposalLabel() const { return proposalLabel_; }
    QPushButton* chooseButton() const { return chooseButton_; }
    const PathCheck& lastCheck() const { return lastCheck_; }

Q_SIGNALS:
    // `path` is stored as port `portNumber`'s device.
    void deviceChosen(int portNumber, const QString& path);

private:
    void fillList(const SerialDevices& devices);
    void selectRowFor(const QString& path);
    void takeSelectedRow();
    void proposeOnlyAdapter(const SerialDevices& devices);
    void showCheck(const PathCheck& check, const QString& path);

    SettingsStore& store_;
    int portNumber_;
    SerialDeviceList devices_;
    SerialDevices listed_;
    QStringList listedStamp_;
    QString mappedPath_;
    QTreeWidget* deviceList_ = nullptr;
    QLineEdit* pathField_ = nullptr;
    QLabel* reasonLabel_ = nullptr;
    QLabel* proposalLabel_ = nullptr;
    QPushButton* chooseButton_ = nullptr;
    QTimer refreshTimer_;
    QTimer checkTimer_;
    PathCheck lastCheck_;
    bool filling_ = false;
};
