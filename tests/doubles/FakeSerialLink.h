// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialLink.h"

#include <QStringList>

// Records every operation that reaches the port, in order, and plays back
// scripted reads.
class FakeSerialLink : public SerialLink {
public:
    QStringList calls;
    QStringList reads; // returned one per read, then ""
    bool openSucceeds = true;
    bool portOpen = false;
    qint16 port = 1;

    void setPortNumber(qint16 n) override
    {
        port = n;
        calls << QStringLiteral("port %1").arg(n);
    }
    qint16 portNumber() const override { return port; }
    void setLineSettings(const LineSettings& s) override
    {
        calls << QStringLiteral("settings ") + s.toString();
    }
    void setReadLength(int n) override { calls << QStringLiteral("readLength %1").arg(n); }
    bool open() override
    {
        calls << QStringLiteral("open");
        portOpen = portOpen || openSucceeds;
        return portOpen;
    }
    bool isOpen() const override { return portOpen; }
    void close() override
    {
        calls << QStringLiteral("close");
        portOpen = false;
    }
    void clearReceiveBuffer() override { calls << QStringLiteral("clearRx"); }
    void clearTransmitBuffer() override { calls << QStringLiteral("clearTx"); }
    void write(QStringView text) override { calls << QStringLiteral("write ") + text.toString(); }
    QString readAll() override
    {
        calls << QStringLiteral("read");
        return reads.isEmpty() ? QString() : reads.takeFirst();
    }
    QString errorText() const override { return QStringLiteral("No such file or directory"); }

    // Only the writes, for checking what went out on the line.
    QStringList writes() const { return calls.filter(QStringLiteral("write ")); }
};
