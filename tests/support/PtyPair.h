// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

// A pseudo-terminal the test plays the meter on: it writes the meter's side
// piece by piece and hangs up when it likes. The slave is opened by the link.
class PtyPair {
public:
    PtyPair()
    {
        int slave = -1;
        char name[128];
        if (::openpty(&master_, &slave, name, nullptr, nullptr) == 0) {
            path_ = QString::fromLocal8Bit(name);
            ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
            // Closed again so that only the link holds the line.
            ::close(slave);
        }
    }
    ~PtyPair() { hangUp(); }

    QString devicePath() const { return path_; }
    bool send(const QByteArray& bytes)
    {
        return ::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())) ==
               bytes.size();
    }
    // What the link wrote, all of it so far.
    QByteArray received()
    {
        char buffer[256];
        ssize_t n;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
            received_.append(buffer, n);
        return received_;
    }
    void hangUp()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    QString path_;
    QByteArray received_;
};
