// SPDX-License-Identifier: GPL-3.0-or-later
#include "PosixSerialLink.h"

#include "MeterLog.h"
#include "OpenFailureReason.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// Where lock files go, in the order Qt's serial port looks, so that this
// program, Qt programs and the UUCP tools keep off each other's lines.
const char* const LockDirs[] = {"/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
                                "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};

// "/var/lock/LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3:
// the first lock folder that holds the file already or takes new ones.
QString LockFilePath(const QString& path)
{
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    name.replace(u'/', u'_');
    name.prepend(QLatin1String("/LCK.."));
    for (const char* dir : LockDirs) {
        const QString folder = QString::fromLatin1(dir);
        const QFileInfo info(folder);
        if (info.isReadable() && (QFile::exists(folder + name) || info.isWritable()))
            return folder + name;
    }
    return {};
}

speed_t Speed(qint32 baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

// The framing on top of cfmakeraw's 8 bits and no parity.
bool Frame(termios& tio, const LineSettings& s)
{
    const speed_t speed = Speed(s.baudRate);
    if (speed == B0 || s.dataBits < 5 || s.dataBits > 8 || s.stopBits < 1 || s.stopBits > 2)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
    static constexpr tcflag_t Sizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= Sizes[s.dataBits - 5];
    if (s.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    switch (s.parity) {
    case 'n':
        break;
    case 'e':
        tio.c_cflag |= PARENB;
        break;
    case 'o':
        tio.c_cflag |= PARENB | PARODD;
        break;
    case 'm':
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 's':
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        return false;
    }
    // With the descriptor non-blocking, an empty line reads as EAGAIN and
    // only a hung-up one as 0: that tells the two apart.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ::cfsetispeed(&tio, speed) == 0 && ::cfsetospeed(&tio, speed) == 0;
}

QString LossReason(bool reading, int error)
{
    const QString what = reading ? QStringLiteral("Read error") : QStringLiteral("Write error");
    if (error == ENODEV)
        return QStringLiteral("The device was removed");
    if (error == 0 || error == EIO || error == ENXIO || error == EPIPE)
        return what + QStringLiteral(": the device was removed or the line hung up");
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

PosixSerialLink::PosixSerialLink(DeviceResolver resolveDevice, QObject* parent)
    : SerialLink(parent), resolveDevice_(std::move(resolveDevice)), reopenTimer_(this)
{
    reopenTimer_.setObjectName(QStringLiteral("reopenTimer"));
    reopenTimer_.setInterval(ReopenIntervalMs);
    connect(&reopenTimer_, &QTimer::timeout, this, &PosixSerialLink::tryReopen);
}

PosixSerialLink::~PosixSerialLink()
{
    closeDevice();
}

QString PosixSerialLink::devicePath() const
{
    return resolveDevice_ ? resolveDevice_(portNumber_) : QString();
}

bool PosixSerialLink::openDevice(const QString& path, QString* systemText)
{
    const QString lockPath = LockFilePath(path);
    auto lock = std::make_unique<QLockFile>(lockPath);
    if (lockPath.isEmpty() || !lock->tryLock(0)) {
        *systemText = QStringLiteral("Permission error while locking the device");
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *systemText = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    termios tio{};
    if (::ioctl(fd, TIOCEXCL) != 0 || ::tcgetattr(fd, &tio) != 0) {
        *systemText = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    saved_ = tio;
    if (!Frame(tio, settings_) || ::tcsetattr(fd, TCSANOW, &tio) != 0) {
        *systemText = QStringLiteral("the line can't be set to ") + settings_.toString();
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    lock_ = std::move(lock);
    unsent_.clear();
    return true;
}

void PosixSerialLink::closeDevice()
{
    if (fd_ >= 0) {
        // Left as it was found, for whatever opens it next. On a line that is
        // gone these fail, which is fine.
        ::tcsetattr(fd_, TCSANOW, &saved_);
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
    lock_.reset();
    unsent_.clear();
}

bool PosixSerialLink::open()
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
        closeDevice();
    }
    // The program opening a port, this one or another, ends the wait for a
    // lost one: from now on the port is what the list shows.
    reopenTimer_.stop();
    state_ = State::Closed;
    QString systemText;
    if (path.isEmpty() || !openDevice(path, &systemText)) {
        errorText_ = path.isEmpty() ? QStringLiteral("no device for this port number")
                                    : FailedOpenReason(path, systemText, devices_);
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

void PosixSerialLink::close()
{
    // A port the program closes stays closed: no more tries after a loss.
    reopenTimer_.stop();
    state_ = State::Closed;
    closeDevice();
}

void PosixSerialLink::clearReceiveBuffer()
{
    if (isOpen())
        ::tcflush(fd_, TCIFLUSH);
}

void PosixSerialLink::clearTransmitBuffer()
{
    if (!isOpen())
        return;
    unsent_.clear();
    ::tcflush(fd_, TCOFLUSH);
}

void PosixSerialLink::write(QStringView text)
{
    if (!isOpen())
        return;
    unsent_ += text.toLatin1();
    while (!unsent_.isEmpty()) {
        const ssize_t n = ::write(fd_, unsent_.constData(), static_cast<size_t>(unsent_.size()));
        if (n > 0) {
            unsent_.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A full line keeps the rest for the next write or the tick's clear.
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        lose(LossReason(false, n < 0 ? errno : 0));
        return;
    }
}

QString PosixSerialLink::readAll()
{
    if (!isOpen())
        return {};
    QByteArray bytes;
    char buffer[512];
    for (;;) {
        const qsizetype left =
            readLength_ > 0 ? readLength_ - bytes.size() : qsizetype(sizeof buffer);
        const size_t want = static_cast<size_t>(std::min<qsizetype>(left, sizeof buffer));
        if (want == 0)
            break;
        const ssize_t n = ::read(fd_, buffer, want);
        // Read again until the line is empty: a read that finds nothing makes
        // the kernel hand over what it still holds of the characters that have
        // come (on a busy machine the tail of a reply can wait there for tens
        // of milliseconds). A second read costs a microsecond.
        if (n > 0) {
            bytes.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // 0 with characters asked for and VMIN 1: the line hung up.
        lose(LossReason(true, n < 0 ? errno : 0));
        break;
    }
    return QString::fromLatin1(bytes);
}

void PosixSerialLink::lose(const QString& reason)
{
    errorText_ = reason;
    state_ = State::Lost;
    closeDevice();
    qCWarning(lcMeter).noquote() << "port" << portNumber_ << "lost:" << errorText_;
    reopenTimer_.start();
    Q_EMIT lost(errorText_);
}

QString PosixSerialLink::lineInUse() const
{
    termios tio{};
    if (fd_ < 0 || ::tcgetattr(fd_, &tio) != 0)
        return {};
    const char parity = !(tio.c_cflag & PARENB)  ? 'n'
                        : (tio.c_cflag & CMSPAR) ? ((tio.c_cflag & PARODD) ? 'm' : 's')
                        : (tio.c_cflag & PARODD) ? 'o'
                                                 : 'e';
    static constexpr std::pair<speed_t, qint32> Rates[] = {
        {B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
        {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    qint32 baud = 0;
    for (const auto& [speed, rate] : Rates)
        baud = ::cfgetospeed(&tio) == speed ? rate : baud;
    const int bits = (tio.c_cflag & CSIZE) == CS8   ? 8
                     : (tio.c_cflag & CSIZE) == CS7 ? 7
                     : (tio.c_cflag & CSIZE) == CS6 ? 6
                                                    : 5;
    return LineSettings{baud, parity, bits, (tio.c_cflag & CSTOPB) ? 2 : 1}.toString();
}

QString PosixSerialLink::waitingFor() const
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

bool PosixSerialLink::isLostDevice(const QString& path)
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

void PosixSerialLink::tryReopen()
{
    // The adapter coming back under the port's path resumes polling without
    // the user; another device under the lost one's name does not.
    const QString path = devicePath();
    if (state_ != State::Lost || path.isEmpty() || !QFileInfo::exists(path) || !isLostDevice(path))
        return;
    QString systemText;
    if (!openDevice(path, &systemText))
        return;
    reopenTimer_.stop();
    errorText_.clear();
    state_ = State::Open;
    qCInfo(lcMeter).noquote() << "port" << portNumber_ << "back on" << path;
    Q_EMIT recovered();
}
