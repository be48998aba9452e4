// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DeviceIdentity.h"
#include "SerialDeviceList.h"
#include "SerialLink.h"

#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <functional>

// The serial link over QSerialPort. A port number becomes a device path
// through the resolver handed in, so the user's port mapping lives with the
// other settings.
class QtSerialLink : public QObject, public SerialLink {
    Q_OBJECT
public:
    enum class State { Closed, Open, Lost };

    using DeviceResolver = std::function<QString(int portNumber)>;
    explicit QtSerialLink(DeviceResolver resolveDevice, QObject* parent = nullptr);

    // Where the link looks up a device's identity and the reasons a port
    // won't open; the system's devices with /dev/serial/by-id unless set.
    void setDeviceList(const SerialDeviceList& devices) { devices_ = devices; }

    void setPortNumber(qint16 portNumber) override;
    qint16 portNumber() const override { return portNumber_; }
    void setLineSettings(const LineSettings& settings) override;
    void setReadLength(int length) override { readLength_ = length; }

    bool open() override;
    bool isOpen() const override { return state_ == State::Open; }
    void close() override;

    void clearReceiveBuffer() override;
    void clearTransmitBuffer() override;
    void write(QStringView text) override;
    QString readAll() override;

    State state() const { return state_; }
    // The device the current port number names.
    QString devicePath() const;
    // After a failed open, why, in words that name the fix (see
    // FailedOpenReason()); after a loss, what happened to the line.
    QString errorText() const override { return errorText_; }
    // While the port is lost, what it waits for: "waiting for FTDI FT232R
    // USB UART A1B2C3"; empty otherwise.
    QString waitingFor() const override;
    // The identity of the device the port opened last.
    const DeviceIdentity& openedIdentity() const { return identity_; }

    // How often a lost port is tried again.
    static constexpr int ReopenIntervalMs = 1000;

Q_SIGNALS:
    // The open port failed under the program (unplugged, hung up); it has been
    // closed. Emitted once per loss.
    void lost(const QString& reason);
    // A lost port is open again on its device (the adapter is back).
    void recovered();

private:
    void onError(QSerialPort::SerialPortError error);
    void tryReopen();
    // The device now at `path` is the one that was lost.
    bool isLostDevice(const QString& path);

    DeviceResolver resolveDevice_;
    QSerialPort port_;
    QTimer reopenTimer_;
    qint16 portNumber_ = 1;
    int readLength_ = 0;
    State state_ = State::Closed;
    QString errorText_;
    SerialDeviceList devices_;
    // The path the port was opened on, and what it knew then of the device.
    QString openPath_;
    DeviceIdentity identity_;
    bool openedThroughLink_ = false;
    // The last stranger refused after a loss, so the log says it once.
    QString refusedLabel_;
};
