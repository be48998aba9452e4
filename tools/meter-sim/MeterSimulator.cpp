// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterSimulator.h"

#include <QDateTime>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Characters a 38400 baud line with 10 bits a character carries per millisecond.
constexpr double CharsPerMs = 38400.0 / 10.0 / 1000.0;

QString Number(double value, int width, int decimals)
{
    return QString::number(value, 'f', decimals).rightJustified(width, u' ', true);
}
} // namespace

MeterSimulator::MeterSimulator(QTextStream& log, QObject* parent) : QObject(parent), log_(log)
{
    pumpTimer_.setTimerType(Qt::PreciseTimer);
    pumpTimer_.setInterval(1);
    connect(&pumpTimer_, &QTimer::timeout, this, &MeterSimulator::pump);
}

MeterSimulator::~MeterSimulator()
{
    notifier_.reset();
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
}

bool MeterSimulator::start(QString* error)
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
    slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    if (slave_ < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Raw from the start, so nothing is echoed or cooked before the program
    // configures the line itself.
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B38400);
    ::cfsetospeed(&tio, B38400);
    ::tcsetattr(slave_, TCSANOW, &tio);

    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &MeterSimulator::onMasterReadable);
    return true;
}

void MeterSimulator::logLine(const QString& text)
{
    log_ << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) << ' ' << text << Qt::endl;
}

void MeterSimulator::onMasterReadable()
{
    char buffer[256];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) {
        // EIO here means no one holds the slave side; the held slave fd makes
        // that rare, and the next read simply tries again.
        return;
    }
    received_.append(buffer, n);
    // Commands are three characters beginning with ";" and have no
    // terminator; anything before a ";" is noise.
    for (;;) {
        const qsizetype start = received_.indexOf(';');
        if (start < 0) {
            received_.clear();
            return;
        }
        if (received_.size() - start < 3) {
            received_.remove(0, start);
            return;
        }
        onCommand(received_.mid(start, 3));
        received_.remove(0, start + 3);
    }
}

void MeterSimulator::onCommand(const QByteArray& command)
{
    logLine(QStringLiteral("rx %1").arg(QString::fromLatin1(command)));
    if (command == ";P?") {
        if (mode_ == ReplyMode::Silent)
            return;
        QTimer::singleShot(delayMs_, Qt::PreciseTimer, this, [this, reply = statusReply()] {
            if (master_ < 0)
                return;
            if (unsent_.isEmpty()) {
                pumpClock_.start();
                credit_ = 1;
            }
            unsent_.append(reply);
            pump();
            pumpTimer_.start();
        });
    } else if (command == ";A?") {
        alarm_ = (alarm_ + 1) % 5;
    } else if (command == ";F?") {
        peak_ = peak_ == 0 ? 1 : 0;
    }
}

QByteArray MeterSimulator::statusReply()
{
    ++replies_;
    if (sweep_) {
        const auto n = static_cast<int>(replies_ % 40);
        power_ = 5.0 + n * 2.5;
        swr_ = 1.0 + (n % 30) * 0.05;
        phase_ = -45.0 + (n % 19) * 5.0;
        impedance_ = 45.0 + n % 10;
    }
    const QChar sep = u',';
    QString text = u';' + Number(power_, 7, 1) + sep + Number(impedance_, 5, 1) + sep +
                   Number(phase_, 5, 1) + sep + QString::number(alarm_ % 10) + sep +
                   label_.leftJustified(6, u' ', true) + sep + QString::number(range_ % 10) + sep +
                   QString::number(peak_ % 10) + sep + Number(gate_, 4, 0) + sep +
                   Number(swr_, 4, 2);
    switch (mode_) {
    case ReplyMode::Short:
        text.chop(1);
        break;
    case ReplyMode::Long:
        text.append(u'0');
        break;
    case ReplyMode::TrailingCr:
        text.append(u'\r');
        break;
    case ReplyMode::NoStartMark:
        text[0] = u':';
        break;
    case ReplyMode::Normal:
    case ReplyMode::Silent:
        break;
    }
    return text.toLatin1();
}

void MeterSimulator::pump()
{
    if (master_ < 0 || unsent_.isEmpty()) {
        pumpTimer_.stop();
        return;
    }
    credit_ += static_cast<double>(pumpClock_.restart()) * CharsPerMs;
    const auto count = std::min<qsizetype>(static_cast<qsizetype>(credit_), unsent_.size());
    if (count == 0)
        return;
    const ssize_t written = ::write(master_, unsent_.constData(), static_cast<size_t>(count));
    if (written > 0) {
        unsent_.remove(0, written);
        credit_ -= static_cast<double>(written);
    }
    if (unsent_.isEmpty())
        pumpTimer_.stop();
}

void MeterSimulator::hangUp()
{
    logLine(QStringLiteral("hangup"));
    pumpTimer_.stop();
    notifier_.reset();
    ::close(master_);
    ::close(slave_);
    master_ = slave_ = -1;
    Q_EMIT finished();
}

bool MeterSimulator::execute(const QString& line)
{
    const QString trimmed = line.trimmed();
    const QString verb = trimmed.section(u' ', 0, 0);
    const QString rest = trimmed.section(u' ', 1);
    bool ok = true;
    const double number = rest.toDouble(&ok);
    const auto whole = static_cast<int>(number);

    if (verb.isEmpty() || verb.startsWith(u'#'))
        return true;
    if (verb == u"label") {
        // The rest of the line as sent, blanks kept.
        label_ = line.section(u' ', 1).leftJustified(6, u' ', true);
        return true;
    }
    if (verb == u"reply") {
        static const QStringList modes{QStringLiteral("normal"), QStringLiteral("silent"),
                                       QStringLiteral("short"),  QStringLiteral("long"),
                                       QStringLiteral("cr"),     QStringLiteral("nostart")};
        const qsizetype mode = modes.indexOf(rest);
        if (mode < 0)
            return false;
        mode_ = static_cast<ReplyMode>(mode);
        return true;
    }
    if (verb == u"sweep") {
        sweep_ = rest != u"off";
        return true;
    }
    if (verb == u"hangup") {
        hangUp();
        return true;
    }
    if (verb == u"quit") {
        Q_EMIT finished();
        return true;
    }
    if (!ok)
        return false;
    if (verb == u"power")
        power_ = number;
    else if (verb == u"impedance")
        impedance_ = number;
    else if (verb == u"phase")
        phase_ = number;
    else if (verb == u"alarm")
        alarm_ = whole;
    else if (verb == u"range")
        range_ = whole;
    else if (verb == u"peak")
        peak_ = whole;
    else if (verb == u"gate")
        gate_ = number;
    else if (verb == u"swr")
        swr_ = number;
    else if (verb == u"delay")
        delayMs_ = std::max(0, whole);
    else
        return false;
    return true;
}

QString MeterSimulator::usage()
{
    return QStringLiteral(
        "Commands, one a line on standard input or each after -e:\n"
        "  power W | impedance OHM | phase DEG | swr X | gate N   set a reading\n"
        "  alarm 0-4 | range 0-2 | peak 0-1 | label TEXT          set a field\n"
        "  sweep on|off        change the readings with every reply\n"
        "  delay MS            wait before each reply\n"
        "  reply normal|silent|short|long|cr|nostart\n"
        "                      answer polls well, not at all, with 42 or 44\n"
        "                      characters, with a trailing CR, or without the ';'\n"
        "  hangup              close the line and exit\n"
        "  quit                exit\n"
        "';A?' steps the alarm setting 0,1,2,3,4,0; ';F?' toggles peak and normal.\n");
}
