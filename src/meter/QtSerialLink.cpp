// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtSerialLink.h"

#include "MeterLog.h"

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
    : QObject(parent), resolveDevice_(std::move(resolveDevice)), port_(this)
{
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
    // An open port stays open: opening the same device a second time would
    // only fail on its own lock file.
    if (state_ == State::Open)
        return true;
    // The program opening a port, this one or another, ends the wait for a
    // lost one: from now on the port is what the list shows.
    reopenTimer_.stop();
    state_ = State::Closed;
    const QString path = devicePath();
    port_.setPortName(path);
    if (path.isEmpty() || !port_.open(QIODevice::ReadWrite)) {
        errorText_ =
            path.isEmpty() ? QStringLiteral("no device for this port number") : port_.errorString();
        qCWarning(lcMeter).noquote()
            << "can't open port" << portNumber_ << path << ":" << errorText_;
        return false;
    }
    errorText_.clear();
    state_ = State::Open;
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

void QtSerialLink::tryReopen()
{
    // The adapter coming back under the same name (a /dev/serial/by-id link,
    // say) resumes polling without the user.
    const QString path = devicePath();
    if (state_ != State::Lost || path.isEmpty())
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
