// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

// How the line is framed: the meter talks at 38400 baud, no parity, 8 data
// bits and 1 stop bit.
struct LineSettings {
    qint32 baudRate = 38400;
    // 'n'one, 'e'ven, 'o'dd, 'm'ark or 's'pace, as the short form writes it.
    char parity = 'n';
    int dataBits = 8;
    int stopBits = 1;

    // The usual short form, "38400,n,8,1", for logs.
    QString toString() const
    {
        return QStringLiteral("%1,%2,%3,%4")
            .arg(baudRate)
            .arg(QLatin1Char(parity))
            .arg(dataBits)
            .arg(stopBits);
    }
};

// What the program needs of the serial line to the meter. Reads are polled;
// nothing here waits for the meter, and nothing wakes the program when
// characters arrive: the tick reads what is pending.
class SerialLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Selects the port that the next open uses.
    virtual void setPortNumber(qint16 portNumber) = 0;
    virtual qint16 portNumber() const = 0;
    virtual void setLineSettings(const LineSettings& settings) = 0;
    // 0: a read returns every character that is pending.
    virtual void setReadLength(int length) = 0;

    // False when the port can't be opened (absent, busy, no permission).
    virtual bool open() = 0;
    virtual bool isOpen() const = 0;
    // Closing a port that is not open does nothing.
    virtual void close() = 0;

    virtual void clearReceiveBuffer() = 0;
    // On a port that is not open this does nothing.
    virtual void clearTransmitBuffer() = 0;
    // Queues the characters, one byte each, without waiting for them to go out.
    virtual void write(QStringView text) = 0;
    // Returns at once what has been received and not yet read, possibly nothing.
    virtual QString readAll() = 0;

    // The system's reason for the last failed open or loss of the port.
    virtual QString errorText() const = 0;
    // While a lost port waits to come back: which device it waits for.
    virtual QString waitingFor() const { return {}; }

Q_SIGNALS:
    // The open port failed under the program (unplugged, hung up); it has been
    // closed. Emitted once per loss, from the call that found it.
    void lost(const QString& reason);
    // A lost port is open again on its device (the adapter is back).
    void recovered();
};
