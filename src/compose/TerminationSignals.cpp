// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminationSignals.h"

#include "AppLog.h"

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Written by the handler, read on the event loop: the only async-signal-safe
// way to hand a signal over.
int pipeFds[2] = {-1, -1};

extern "C" void OnSignal(int signalNumber)
{
    // The interrupted code may be about to read errno.
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeFds) != 0) {
        qCWarning(lcApp) << "can't watch for SIGINT and SIGTERM";
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(pipeFds[0], &byte, 1) != 1)
            return;
        if (byte == SIGHUP)
            Q_EMIT hangup();
        else
            Q_EMIT received(byte);
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void TerminationSignals::catchHangup()
{
    if (!notifier_)
        return;
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGHUP, &action, nullptr);
    hangupCaught_ = true;
}

TerminationSignals::~TerminationSignals()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (hangupCaught_)
        std::signal(SIGHUP, SIG_DFL);
    notifier_.reset();
    for (int& fd : pipeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
