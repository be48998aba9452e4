// SPDX-License-Identifier: GPL-3.0-or-later
// vossbridge-meter-sim: a scriptable power and SWR meter on a pseudo-terminal.
// Prints the path of the line's device first, then one line per command
// received, with a timestamp.
#include "MeterSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <unistd.h>

namespace {
// Posing as a USB adapter: a link named like the system's stable names
// (usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0) in a folder that stands in
// for /dev/serial/by-id, so the program's device list finds the line and
// takes the name as its identity.
QCommandLineOption ByIdDirOption()
{
    return {QStringLiteral("by-id-dir"),
            QStringLiteral("Pose as a USB adapter: the folder standing in for /dev/serial/by-id."),
            QStringLiteral("dir")};
}

QCommandLineOption ByIdNameOption()
{
    return {QStringLiteral("by-id-name"),
            QStringLiteral("The adapter's name in that folder (default usb-Vossbridge_Meter_"
                           "Simulator-if00-port0)."),
            QStringLiteral("name")};
}

// Makes the link when asked to pose; its path goes to `linkPath` (left empty
// otherwise). False when the link can't be made.
bool PoseAsAdapter(const QCommandLineParser& parser, const QString& device, QString* linkPath)
{
    const QString dir = parser.value(ByIdDirOption());
    if (dir.isEmpty())
        return true;
    QString name = parser.value(ByIdNameOption());
    if (name.isEmpty())
        name = QStringLiteral("usb-Vossbridge_Meter_Simulator-if00-port0");
    *linkPath = QDir(dir).filePath(name);
    QFile::remove(*linkPath);
    return QDir().mkpath(dir) && QFile::link(device, *linkPath);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vossbridge-meter-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulates a power and SWR meter on a pseudo-terminal.\n\n") +
        MeterSimulator::usage());
    parser.addHelpOption();
    const QCommandLineOption exec({QStringLiteral("e"), QStringLiteral("exec")},
                                  QStringLiteral("Run a command at start."),
                                  QStringLiteral("command"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Also make the device reachable as <path>."),
                                  QStringLiteral("path"));
    parser.addOption(exec);
    parser.addOption(link);
    parser.addOption(ByIdDirOption());
    parser.addOption(ByIdNameOption());
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    MeterSimulator meter(out);
    QObject::connect(&meter, &MeterSimulator::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    for (const QString& command : parser.values(exec)) {
        if (!meter.execute(command)) {
            err << "unknown command: " << command << Qt::endl;
            return 2;
        }
    }
    QString error;
    if (!meter.start(&error)) {
        err << "can't open a pseudo-terminal: " << error << Qt::endl;
        return 1;
    }
    const QString linkPath = parser.value(link);
    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (!QFile::link(meter.slavePath(), linkPath)) {
            err << "can't create " << linkPath << Qt::endl;
            return 1;
        }
    }
    QString byIdLink;
    if (!PoseAsAdapter(parser, meter.slavePath(), &byIdLink)) {
        err << "can't create " << byIdLink << Qt::endl;
        return 1;
    }
    out << meter.slavePath() << Qt::endl;

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            // Standard input closed: keep simulating with what was set.
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, n);
        qsizetype newline;
        while ((newline = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(pending.left(newline));
            pending.remove(0, newline + 1);
            if (!meter.execute(line))
                err << "unknown command: " << line << Qt::endl;
        }
    });

    const int status = QCoreApplication::exec();
    if (!linkPath.isEmpty())
        QFile::remove(linkPath);
    if (!byIdLink.isEmpty())
        QFile::remove(byIdLink);
    return status;
}
