// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterSimulator.h"

#include <QDateTime>
#include <QStringList>
#include <cerrno>
#include <cmath>
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
        const QByteArray reply = mode_ == ReplyMode::Garbage ? garbage() : statusReply();
        if (reply.isEmpty())
            return;
        if (delayMs_ == 0)
            queueReply(reply);
        else
            QTimer::singleShot(delayMs_, Qt::PreciseTimer, this,
                               [this, reply] { queueReply(reply); });
    } else if (command == ";A?") {
        alarm_ = (alarm_ + 1) % 5;
    } else if (command == ";F?") {
        peak_ = peak_ == 0 ? 1 : 0;
    }
}

void MeterSimulator::queueReply(const QByteArray& reply)
{
    if (master_ < 0)
        return;
    if (unsent_.isEmpty()) {
        pumpClock_.start();
        credit_ = 1;
    }
    // Unpaced, the reply goes in one write from the handler that read the
    // poll: a simulator starved of processor time by a busy machine would
    // otherwise wait for each wake-up of the pacing timer, and answer later
    // than any meter does.
    if (!paced_)
        credit_ += static_cast<double>(reply.size());
    unsent_.append(reply);
    pump();
    if (!unsent_.isEmpty())
        pumpTimer_.start();
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
    if (ramp_)
        power_ = 100.0 + static_cast<double>(replies_ % 100) * 0.1;
    if (crossEvery_ > 0)
        swr_ = (replies_ - 1) / static_cast<quint64>(crossEvery_) % 2 == 0 ? 2.0 : 1.0;
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
    case ReplyMode::Garbage:
        break;
    }
    return text.toLatin1();
}

QByteArray MeterSimulator::garbage()
{
    switch (random_.bounded(5)) {
    case 0:
        return {};
    case 1:
        return statusReply();
    case 2:
        return statusReply() + statusReply();
    default:
        break;
    }
    // No ";" anywhere, so no stretch of noise can pass for the start of a reply.
    QByteArray noise(random_.bounded(1, 100), Qt::Uninitialized);
    for (char& c : noise) {
        do {
            c = static_cast<char>(random_.bounded(256));
        } while (c == ';');
    }
    return noise;
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
                                       QStringLiteral("cr"),     QStringLiteral("nostart"),
                                       QStringLiteral("garbage")};
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
    if (verb == u"pace") {
        paced_ = rest != u"off";
        return true;
    }
    if (verb == u"ramp") {
        ramp_ = rest != u"off";
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
    return setNumber(verb, rest);
}

bool MeterSimulator::setNumber(const QString& verb, const QString& rest)
{
    struct Field {
        const char* verb;
        int width; // characters in the reply; 0 for a setting that is not sent
        int decimals;
        bool whole;
        double min;
        double max;
    };
    // Each number must fit its field as sent, so the reply never carries a
    // value cut short, and whole numbers must fit before they are converted.
    static constexpr Field Fields[] = {
        {"power", 7, 1, false, 0, 0},    {"impedance", 5, 1, false, 0, 0},
        {"phase", 5, 1, false, 0, 0},    {"swr", 4, 2, false, 0, 0},
        {"gate", 4, 0, false, 0, 0},     {"alarm", 1, 0, true, 0, 9},
        {"range", 1, 0, true, 0, 9},     {"peak", 1, 0, true, 0, 9},
        {"delay", 0, 0, true, 0, 60000}, {"cross", 0, 0, true, 0, 1000000},
    };
    const Field* field = nullptr;
    for (const Field& f : Fields) {
        if (verb == QLatin1StringView(f.verb))
            field = &f;
    }
    bool ok = false;
    const double number = rest.toDouble(&ok);
    if (!field || !ok || !std::isfinite(number))
        return false;
    if (field->whole) {
        if (number != std::floor(number) || number < field->min || number > field->max)
            return false;
    } else if (QString::number(number, 'f', field->decimals).size() > field->width) {
        return false;
    }
    const auto whole = static_cast<int>(field->whole ? number : 0);

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
        delayMs_ = whole;
    else if (verb == u"cross")
        crossEvery_ = whole;
    return true;
}

QString MeterSimulator::usage()
{
    return QStringLiteral(
        "Commands, one a line on standard input or each after -e:\n"
        "  power W | impedance OHM | phase DEG | swr X | gate N   set a reading\n"
        "  alarm 0-4 | range 0-2 | peak 0-1 | label TEXT          set a field\n"
        "  sweep on|off        change the readings with every reply\n"
        "  ramp on|off         change only the power with every reply\n"
        "  cross N             SWR 2.00 and 1.00 in turn, each for N replies; 0 off\n"
        "  delay MS            wait before each reply (0-60000)\n"
        "  pace on|off         send replies at 38400 baud, a few characters a\n"
        "                      millisecond, or at once (the default)\n"
        "  reply normal|silent|short|long|cr|nostart|garbage\n"
        "                      answer polls well, not at all, with 42 or 44\n"
        "                      characters, with a trailing CR, without the ';',\n"
        "                      or at random with nothing, noise, one or two replies\n"
        "A number that does not fit its field in the reply is refused.\n"
        "  hangup              close the line and exit\n"
        "  quit                exit\n"
        "';A?' steps the alarm setting 0,1,2,3,4,0; ';F?' toggles peak and normal.\n");
}
