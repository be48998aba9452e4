// SPDX-License-Identifier: GPL-3.0-or-later
// The least one tick can cost: the same work as the program's tick written
// straight on the terminal interface and libdbus, with no Qt and no window.
// Every period it clears the line's output, writes the poll, reads what the
// meter sent since the last tick, decodes an accepted reply, takes the host's
// answers to the previous tick and sends the two reports (SWR, then power).
// The tick-cost benchmark runs it beside the program.
// Usage: bench_tickfloor <device> [period-ms]
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dbus/dbus.h>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
struct Record {
    double power = 0;
    double alarm = 0;
    double range = 0;
    double swr = 0;
};

// ";power,impedance,phase,alarm,label,range,peak,gate,swr", 43 characters.
bool Decode(const char* reply, ssize_t size, Record& record)
{
    if (size != 43 || reply[0] != ';')
        return false;
    double fields[9] = {};
    const char* p = reply + 1;
    for (int i = 0; i < 9; ++i) {
        if (i != 4)
            fields[i] = std::strtod(p, nullptr);
        p = std::strchr(p, ',');
        if (!p && i < 8)
            return false;
        p = p ? p + 1 : p;
    }
    record = {fields[0], fields[3], fields[5], fields[8]};
    return true;
}

int OpenLine(const char* device)
{
    const int fd = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd < 0 || ::ioctl(fd, TIOCEXCL) != 0 || ::tcgetattr(fd, &tio) != 0)
        return -1;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B38400);
    ::cfsetospeed(&tio, B38400);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0 ? fd : -1;
}

std::string TargetPath(DBusConnection* bus)
{
    DBusMessage* call =
        dbus_message_new_method_call("org.vossbridge.Host1", "/org/vossbridge/Host1",
                                     "org.vossbridge.Host1.Server", "GetTarget");
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, call, 1000, nullptr);
    dbus_message_unref(call);
    const char* path = nullptr;
    std::string target;
    if (reply &&
        dbus_message_get_args(reply, nullptr, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID))
        target = path;
    if (reply)
        dbus_message_unref(reply);
    return target;
}

void Report(DBusConnection* bus, const char* target, dbus_int32_t code, dbus_int32_t index,
            double value)
{
    DBusMessage* m = dbus_message_new_method_call("org.vossbridge.Host1", target,
                                                  "org.vossbridge.Host1.Target", "ReportValue");
    const char* text = "";
    dbus_message_append_args(m, DBUS_TYPE_INT32, &code, DBUS_TYPE_INT32, &index, DBUS_TYPE_DOUBLE,
                             &value, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID);
    dbus_connection_send(bus, m, nullptr);
    dbus_message_unref(m);
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_tickfloor <device> [period-ms]\n");
        return 2;
    }
    const long period = argc > 2 ? std::atol(argv[2]) : 50;
    const int fd = OpenLine(argv[1]);
    if (fd < 0) {
        std::fprintf(stderr, "can't open %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!bus) {
        std::fprintf(stderr, "no session bus: %s\n", error.message);
        return 1;
    }
    dbus_connection_set_exit_on_disconnect(bus, FALSE);
    const std::string target = TargetPath(bus);
    if (target.empty()) {
        std::fprintf(stderr, "no host on the session bus\n");
        return 1;
    }

    static constexpr int RangeIndex[] = {3, 2, 1};
    static constexpr double RangeCap[] = {0, 250, 25};
    Record record;
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    for (;;) {
        next.tv_nsec += period * 1000000;
        while (next.tv_nsec >= 1000000000) {
            next.tv_nsec -= 1000000000;
            ++next.tv_sec;
        }
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
        ::tcflush(fd, TCOFLUSH);
        if (::write(fd, ";P?", 3) < 0 && errno != EAGAIN)
            return 1;
        char reply[512];
        const ssize_t n = ::read(fd, reply, sizeof reply);
        if (n == 0 || (n < 0 && errno != EAGAIN))
            return 1;
        Decode(reply, n, record);

        // The answers to the last tick's reports, without waiting.
        dbus_connection_read_write(bus, 0);
        while (DBusMessage* answer = dbus_connection_pop_message(bus)) {
            if (dbus_message_get_type(answer) == DBUS_MESSAGE_TYPE_ERROR)
                return 1;
            dbus_message_unref(answer);
        }
        Report(bus, target.c_str(), 34, static_cast<dbus_int32_t>(record.alarm), record.swr);
        const int range = static_cast<int>(record.range);
        if (range >= 0 && range <= 2 && record.range == range) {
            const double cap = RangeCap[range];
            const double power = cap > 0 && record.power >= cap ? cap : record.power;
            Report(bus, target.c_str(), 33, RangeIndex[range],
                   std::nearbyint(power * 10000.0) / 10000.0);
        }
    }
}
