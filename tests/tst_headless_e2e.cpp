// SPDX-License-Identifier: GPL-3.0-or-later
// The built program run without a window, as a service runs it: no display
// of any kind, the meter plugged in after the start, stopped by SIGTERM.
#include "HostProcess.h"
#include "MeterSimProcess.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestHeadlessEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pollsAMeterPluggedInLaterAndStoresAtSigterm()
    {
        QTemporaryDir scratch;
        const QString device = scratch.filePath(QStringLiteral("meter"));
        const QString ini = scratch.filePath(QStringLiteral("Vossbridge/Vossbridge.ini"));
        {
            QSettings settings(ini, QSettings::IniFormat);
            settings.setValue(QStringLiteral("Ports/Com5"), device);
            settings.setValue(QStringLiteral("StartUp/Pollrate"), QStringLiteral("50"));
        }
        HostProcess host;
        QVERIFY(host.waitUntilOnBus());

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.path());
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        program.start(QStringLiteral(VOSSBRIDGE_BIN_DIR "/vossbridge"),
                      {QStringLiteral("--headless")});
        QVERIFY(program.waitForStarted());
        QString log;
        const auto logSays = [&](const QString& text) {
            return QTest::qWaitFor(
                [&] {
                    log += QString::fromLocal8Bit(program.readAllStandardError());
                    return log.contains(text);
                },
                20000);
        };
        QVERIFY2(logSays(QStringLiteral("Com Port is not available")), qPrintable(log));

        MeterSimProcess sim({QStringLiteral("--link"), device, QStringLiteral("-e"),
                             QStringLiteral("power 42"), QStringLiteral("-e"),
                             QStringLiteral("swr 1.5"), QStringLiteral("-e"),
                             QStringLiteral("alarm 1"), QStringLiteral("-e"),
                             QStringLiteral("range 1")});
        QVERIFY(!sim.devicePath().isEmpty());
        QVERIFY2(logSays(QStringLiteral("polling port 5")), qPrintable(log));
        const auto reported = [&](const QString& report) {
            return QTest::qWaitFor([&] { return host.reports().join(u'\n').contains(report); },
                                   20000);
        };
        QVERIFY(reported(QStringLiteral("34 1 1.5")));
        QVERIFY(reported(QStringLiteral("33 2 42")));

        // No window system was touched: no platform plugin is loaded.
        QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("/platforms/libq"));

        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QSettings stored(ini, QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("StartUp/Alarm")).toString(), QStringLiteral("1"));
        QCOMPARE(stored.value(QStringLiteral("StartUp/ComPort")).toString(), QStringLiteral("5"));
        // The window's own keys are the window's to write.
        QVERIFY(!stored.contains(QStringLiteral("StartUp/Position-Left")));
    }
};

QTEST_GUILESS_MAIN(TestHeadlessEndToEnd)
#include "tst_headless_e2e.moc"
