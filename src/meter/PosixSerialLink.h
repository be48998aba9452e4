// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DeviceIdentity.h"
#include "SerialDeviceList.h"
#include "SerialLink.h"

#include <QByteArray>
#include <QLockFile>
#include <QTimer>
#include <functional>
#include <memory>
#include <termios.h>

// The serial link on the system's terminal interface. Nothing watches the
// descriptor: a tick writes its poll and reads, in one call, whatever the
// meter has sent since, so the line costs the program nothing between ticks.
// A line lost under the program shows at the next read or write. A port
// number becomes a device path through the resolver handed in, so the user's
// port mapping lives with the other settings.
class PosixSerialLink : public SerialLink {
    Q_OBJECT
public:
    enum class State { Closed, Open, Lost };

    using DeviceResolver = std::function<QString(int portNumber)>;
    explicit PosixSerialLink(DeviceResolver resolveDevice, QObject* parent = nullptr);
    ~PosixSerialLink() override;

    // Where the link looks up a device's identity and the reasons a port
    // won't open; the system's devices with /dev/serial/by-id unless set.
    void setDeviceList(const SerialDeviceList& devices) { devices_ = devices; }

    void setPortNumber(qint16 portNumber) override { portNumber_ = portNumber; }
    qint16 portNumber() const override { return portNumber_; }
    void setLineSettings(const LineSettings& settings) override { settings_ = settings; }
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
    // The open line's framing as the terminal holds it, "38400,n,8,1";
    // empty when closed.
    QString lineInUse() const;

    // How often a lost port is tried again.
    static constexpr int ReopenIntervalMs = 1000;

private:
    // Opens `path` with the lock file, exclusive use and the line settings;
    // on failure the system's text, and nothing held.
    bool openDevice(const QString& path, QString* systemText);
    void closeDevice();
    void lose(const QString& reason);
    void tryReopen();
    // The device now at `path` is the one that was lost.
    bool isLostDevice(const QString& path);

    DeviceResolver resolveDevice_;
    QTimer reopenTimer_;
    qint16 portNumber_ = 1;
    LineSettings settings_;
    int readLength_ = 0;
    int fd_ = -1;
    termios saved_{};
    std::unique_ptr<QLockFile> lock_;
    // What the line took only in part; sent first by the next write.
    QByteArray unsent_;
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
