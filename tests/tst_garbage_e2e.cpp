// SPDX-License-Identifier: GPL-3.0-or-later
// The built program on a line that carries noise, nothing, or one or two
// replies at random after each poll: it keeps polling, and every report
// carries what the meter sent in a whole reply.
#include "HostProcess.h"
#include "MeterSimProcess.h"

#include <QSettings>
#include <QTemporaryDir>

class TestGarbageEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noiseNeverBecomesAReading()
    {
        MeterSimProcess sim({"-e", "power 123.4", "-e", "swr 1.7", "-e", "alarm 2", "-e", "range 0",
                             "-e", "reply garbage"});
        HostProcess host;
        QVERIFY(host.waitUntilOnBus());
        QTemporaryDir config;
        {
            QSettings ini(config.filePath(QStringLiteral("Vossbridge/Vossbridge.ini")),
                          QSettings::IniFormat);
            ini.setValue(QStringLiteral("Ports/Com5"), sim.devicePath());
            // As a first run leaves them, at the fastest poll period.
            const QStringList keys{
                "Position-Left=600", "Position-Top=450", "PwrMode=0",       "Height=3495",
                "mnuSetup=True",     "mnuSmall=False",   "mnuVector=False", "ComPort=5",
                "Pollrate=50",       "Range=3"};
            for (const QString& kv : keys)
                ini.setValue(QStringLiteral("StartUp/") + kv.section(u'=', 0, 0),
                             kv.section(u'=', 1));
        }
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.setStandardOutputFile(QProcess::nullDevice());
        program.start(QStringLiteral(VOSSBRIDGE_BIN_DIR "/vossbridge"), {});
        QVERIFY(program.waitForStarted());

        QTRY_VERIFY_WITH_TIMEOUT(sim.received().count(QStringLiteral(";P?")) >= 200, 60000);
        QCOMPARE(program.state(), QProcess::Running);

        // Before the first whole reply the record is empty and reports 0.
        const QStringList real{QStringLiteral("34 2 1.7 \"\""), QStringLiteral("33 3 123.4 \"\"")};
        const QStringList reports = host.reports();
        const qsizetype first = reports.indexOf(real.at(0));
        QVERIFY2(first >= 0, "no whole reply was ever reported");
        for (qsizetype i = 0; i < reports.size(); ++i) {
            const bool empty = reports.at(i).section(u' ', 2, 2) == u"0";
            QVERIFY2(real.contains(reports.at(i)) || (i < first && empty),
                     qPrintable(reports.at(i)));
        }
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(TestGarbageEndToEnd)
#include "tst_garbage_e2e.moc"
