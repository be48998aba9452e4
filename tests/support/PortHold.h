// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A loopback port kept for a server that a test starts, without a race:
// bound here (SO_REUSEADDR, never listening) before the server starts, and
// held for its whole life. Connections to a held port are refused, as to a
// free one; no other test's socket is given it; and the server, which binds
// with SO_REUSEADDR too (mosquitto, rigctld, QTcpServer), listens on it.
class PortHold {
public:
    PortHold()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), size) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) == 0)
            port_ = ntohs(a.sin_port);
    }
    ~PortHold()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;

    quint16 port() const { return port_; }

private:
    int fd_ = -1;
    quint16 port_ = 0;
};
