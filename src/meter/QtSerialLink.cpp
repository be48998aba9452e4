#include "QtSerialLink.h"

#include "MeterLog.h"

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

void QtSerialLink::setLineSettings(const QString& settings)
{
    const QStringList parts = settings.split(u',');
    if (parts.size() != 4) {
        qCWarning(lcMeter) << "ignoring line settings" << settings;
        return;
    }
    bool baudOk = false;
    const int baud = parts[0].trimmed().toInt(&baudOk);
    if (baudOk)
        port_.setBaudRate(baud);

    const QString parity = parts[1].trimmed().toLower();
    switch (parity.isEmpty() ? u'?' : parity.front().unicode()) {
    case 'n':
        port_.setParity(QSerialPort::NoParity);
        break;
    case 'e':
        port_.setParity(QSerialPort::EvenParity);
        break;
    case 'o':
        port_.setParity(QSerialPort::OddParity);
        break;
    case 'm':
        port_.setParity(QSerialPort::MarkParity);
        break;
    case 's':
        port_.setParity(QSerialPort::SpaceParity);
        break;
    default:
        break;
    }

    const int dataBits = parts[2].trimmed().toInt();
    if (dataBits >= 5 && dataBits <= 8)
        port_.setDataBits(static_cast<QSerialPort::DataBits>(dataBits));

    const QString stop = parts[3].trimmed();
    if (stop == u"1")
        port_.setStopBits(QSerialPort::OneStop);
    else if (stop == u"1.5")
        port_.setStopBits(QSerialPort::OneAndHalfStop);
    else if (stop == u"2")
        port_.setStopBits(QSerialPort::TwoStop);
}

bool QtSerialLink::open()
{
    // An open port stays open: opening the same device a second time would
    // only fail on its own lock file.
    if (state_ == State::Open)
        return true;
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
    qCInfo(lcMeter).noquote() << "port" << portNumber_ << "open on" << path;
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
