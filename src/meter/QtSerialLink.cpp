// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtSerialLink.h"

#include "MeterLog.h"
#include "OpenFailureReason.h"

#include <QFileInfo>

QString LineSettings::toString() const
{
    QChar parityLetter = u'n';
    switch (parity) {
    case QSerialPort::EvenParity:
        parityLetter = u'e';
        break;
    case QSerialPort::OddParity:
        parityLetter = u'o';
        break;
    case QSerialPort::MarkParity:
        parityLetter = u'm';
        break;
    case QSerialPort::SpaceParity:
        parityLetter = u's';
        break;
    default:
        break;
    }
    const QString stop =
        stopBits == QSerialPort::OneAndHalfStop ? QStringLiteral("1.5") : QString::number(stopBits);
    return QStringLiteral("%1,%2,%3,%4").arg(baudRate).arg(parityLetter).arg(dataBits).arg(stop);
}

namespace {
// After a read or write error errno often belongs to a later call, so the
// system's text can mislead; name what happened instead.
QString LossReason(QSerialPort::SerialPortError error, const QString& systemText)
{
    switch (error) {
    case QSerialPort::ReadError:
        return QStringLiteral("Read error: the device was removed or the line hung up");
    case QSerialPort::WriteError:
        return QStringLiteral("Write error: the device was removed or the line hung up");
    case QSerialPort::ResourceError:
        return QStringLiteral("The device was removed");
    default:
        return systemText;
    }
}
} // namespace

QtSerialLink::QtSerialLink(DeviceResolver resolveDevice, QObject* parent)
    : QObject(parent), resolveDevice_(std::move(resolveDevice)), port_(this), reopenTimer_(this)
{
    reopenTimer_.setObjectName(QStringLiteral("reopenTimer"));
    port_.setObjectName(QStringLiteral("MSComm1"));
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLink::onError);
    reopenTimer_.setInterval(ReopenIntervalMs);
    connect(&reopenTimer_, &QTimer::timeout, this, &QtSerialLink::tryReopen);
}

void QtSerialLink::setPortNumber(qint16 portNumber)
{
    portNumber_ = portNumber;
}

QString QtSerialLink::devicePath() const
{
    return resolveDevice_ ? resolveDevice_(portNumber_) : QString();
}

void QtSerialLink::setLineSettings(const LineSettings& settings)
{
    port_.setBaudRate(settings.baudRate);
    port_.setParity(settings.parity);
    port_.setDataBits(settings.dataBits);
    port_.setStopBits(settings.stopBits);
}

bool QtSerialLink::open()
{
    const QString path = devicePath();
    // An open port stays open: opening the same device a second time would
    // only fail on its own lock file. A port whose device the user has just
    // changed moves to the new one.
    if (state_ == State::Open) {
        if (path == openPath_)
            return true;
        qCInfo(lcMeter).noquote() << "port" << portNumber_ << "moves from" << openPath_ << "to"
                                  << path;
        port_.close();
    }
    // The program opening a port, this one or another, ends the wait for a
    // lost one: from now on the port is what the list shows.
    reopenTimer_.stop();
    state_ = State::Closed;
    port_.setPortName(path);
    if (path.isEmpty() || !port_.open(QIODevice::ReadWrite)) {
        errorText_ = path.isEmpty() ? QStringLiteral("no device for this port number")
                                    : FailedOpenReason(path, port_.errorString(), devices_);
        qCWarning(lcMeter).noquote()
            << "can't open port" << portNumber_ << path << ":" << errorText_;
        return false;
    }
    errorText_.clear();
    state_ = State::Open;
    // Known now, while the device is here: after a loss it is gone.
    openPath_ = path;
    identity_ = IdentityOf(path, devices_);
    openedThroughLink_ = IsStableLink(path);
    refusedLabel_.clear();
    // The window says when it polls; a nested activation opens twice.
    qCDebug(lcMeter).noquote() << "port" << portNumber_ << "open on" << path;
    return true;
}

void QtSerialLink::close()
{
    // A port the program closes stays closed: no more tries after a loss.
    reopenTimer_.stop();
    state_ = State::Closed;
    if (port_.isOpen())
        port_.close();
}

void QtSerialLink::clearReceiveBuffer()
{
    if (isOpen())
        port_.clear(QSerialPort::Input);
}

void QtSerialLink::clearTransmitBuffer()
{
    if (isOpen())
        port_.clear(QSerialPort::Output);
}

void QtSerialLink::write(QStringView text)
{
    if (isOpen())
        port_.write(text.toLatin1());
}

QString QtSerialLink::readAll()
{
    if (!isOpen())
        return {};
    const QByteArray bytes = readLength_ > 0 ? port_.read(readLength_) : port_.readAll();
    return QString::fromLatin1(bytes);
}

void QtSerialLink::onError(QSerialPort::SerialPortError error)
{
    // NoError comes when the port clears its error, NotOpenError from calls on
    // a port that is already closed, and a failed open is reported by open().
    if (error == QSerialPort::NoError || error == QSerialPort::NotOpenError ||
        state_ != State::Open)
        return;
    // A pseudo-terminal whose far end hung up reports ReadError and keeps
    // reporting it in a tight loop until the port is closed, so any real error
    // on an open port closes it at once.
    errorText_ = LossReason(error, port_.errorString());
    state_ = State::Lost;
    port_.close();
    qCWarning(lcMeter).noquote() << "port" << portNumber_ << "lost:" << errorText_;
    reopenTimer_.start();
    Q_EMIT lost(errorText_);
}

QString QtSerialLink::waitingFor() const
{
    if (state_ != State::Lost)
        return {};
    if (!identity_.isEmpty())
        return QStringLiteral("waiting for %1").arg(identity_.label);
    if (openedThroughLink_)
        return QStringLiteral("waiting for %1").arg(openPath_);
    return QStringLiteral("waiting for the port to be picked again (%1 has no identity)")
        .arg(openPath_);
}

bool QtSerialLink::isLostDevice(const QString& path)
{
    // Without an identity only a name someone chose for this one device
    // leads back to it; a kernel name may come back as any adapter.
    if (identity_.isEmpty())
        return openedThroughLink_ && path == openPath_;
    const DeviceIdentity found = IdentityOf(path, devices_);
    if (identity_.matches(found))
        return true;
    if (found.label != refusedLabel_) {
        refusedLabel_ = found.label;
        qCWarning(lcMeter).noquote()
            << "port" << portNumber_ << ":" << path << "is now"
            << (found.label.isEmpty() ? QStringLiteral("a device without identity") : found.label)
            << "- not opened, waiting for" << identity_.label;
    }
    return false;
}

void QtSerialLink::tryReopen()
{
    // The adapter coming back under the port's path resumes polling without
    // the user; another device under the lost one's name does not.
    const QString path = devicePath();
    if (state_ != State::Lost || path.isEmpty() || !QFileInfo::exists(path) || !isLostDevice(path))
        return;
    port_.setPortName(path);
    if (!port_.open(QIODevice::ReadWrite))
        return;
    reopenTimer_.stop();
    errorText_.clear();
    state_ = State::Open;
    qCInfo(lcMeter).noquote() << "port" << portNumber_ << "back on" << path;
    Q_EMIT recovered();
}
