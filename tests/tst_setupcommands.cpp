// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterSimProcess.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString MeterName = QStringLiteral("usb-Vossbridge_Meter_Simulator-if00-port0");
// A stored text its rule refuses, and a password that must never show.
const QByteArray Seed = "[Mqtt]\nPassword=hunter2-old\nRate=5\nUser=op\n\n"
                        "[StationLink]\nCount=0\n\n[StartUp]\nComPort=5\n";

struct Result {
    int status = -1;
    QString text; // standard output and error, blanks collapsed
};

Result Run(const QStringList& arguments)
{
    QProcess daemon;
    daemon.setProcessChannelMode(QProcess::MergedChannels);
    daemon.start(QStringLiteral(VOSSBRIDGE_BIN_DIR "/vossbridged"), arguments);
    if (!daemon.waitForFinished(30000) || daemon.exitStatus() != QProcess::NormalExit)
        return {};
    return {daemon.exitCode(), QString::fromUtf8(daemon.readAll())};
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}
} // namespace

class TstSetupCommands : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString byId_ = dir_.filePath(QStringLiteral("by-id"));
    QString file_ = dir_.filePath(QStringLiteral("Vossbridge.ini"));
    std::unique_ptr<MeterSimProcess> meter_;

    QString fill(QString text)
    {
        return text.replace(QStringLiteral("@pty"), meter_->devicePath())
            .replace(QStringLiteral("@byid"), byId_)
            .replace(QStringLiteral("@file"), file_)
            .replace(QStringLiteral("@closed"), dir_.filePath(QStringLiteral("closed")));
    }

private Q_SLOTS:
    void initTestCase()
    {
        meter_ = std::make_unique<MeterSimProcess>(QStringList{
            QStringLiteral("--by-id-dir"), byId_, QStringLiteral("--by-id-name"), MeterName});
        QVERIFY(!meter_->devicePath().isEmpty());
        // A folder of another user's (root writing there would take the file
        // from its owner), or one closed to this user.
        QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("closed")));
        const QByteArray closed = QFile::encodeName(dir_.filePath(QStringLiteral("closed")));
        QVERIFY(::geteuid() == 0 ? ::chown(closed.constData(), 65534, 65534) == 0
                                 : ::chmod(closed.constData(), 0500) == 0);
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("says");
        QTest::addColumn<QStringList>("shownAfter"); // empty: the file stays as it was
        const QString meter = QStringLiteral("@byid/") + MeterName;
        // clang-format off
        QTest::newRow("two keys, the second an argument") << QStringList{"--set", "Mqtt/Enabled=true", "Mqtt/Broker=broker.lan"} << 0 << QStringList{"Mqtt/Enabled = true (was not set)", "Mqtt/Broker = broker.lan"} << QStringList{"Enabled = true", "Broker = broker.lan"};
        QTest::newRow("stored as the key writes it") << QStringList{"--set", "Mqtt/Rate= 7", "--set", "StationLink/Enabled=TRUE"} << 0 << QStringList{"Mqtt/Rate = 7 (was 5)"} << QStringList{"Rate = 7", "Enabled = true"};
        QTest::newRow("already so") << QStringList{"--set", "Mqtt/Rate=5"} << 0 << QStringList{"Mqtt/Rate unchanged: 5"} << QStringList{};
        QTest::newRow("password hidden") << QStringList{"--set", "Mqtt/Password=n3w-secret"} << 0 << QStringList{"Mqtt/Password = (hidden) (was (hidden))"} << QStringList{"Password = (set, hidden)"};
        QTest::newRow("out of range") << QStringList{"--set", "Mqtt/Rate=70"} << 1 << QStringList{"Mqtt/Rate: \"70\" is not allowed: a whole number from 1 to 50", "Nothing written"} << QStringList{};
        QTest::newRow("one bad of two") << QStringList{"--set", "Mqtt/Enabled=true", "StationLink/SwrLimit=0.5"} << 1 << QStringList{"StationLink/SwrLimit: \"0.5\"", "alarm, or an SWR from 1 to 100"} << QStringList{};
        QTest::newRow("password left without user") << QStringList{"--set", "Mqtt/User="} << 1 << QStringList{"Mqtt/Password: a password is not allowed without Mqtt/User"} << QStringList{};
        QTest::newRow("unknown key") << QStringList{"--set", "Mqtt/Host=broker.lan"} << 1 << QStringList{"Mqtt/Host: there is no such setting", "Mqtt/Broker", "--show-settings"} << QStringList{};
        QTest::newRow("key in other case") << QStringList{"--set", "mqtt/rate=7"} << 1 << QStringList{"mqtt/rate: there is no such setting; did you mean Mqtt/Rate?"} << QStringList{};
        QTest::newRow("no =") << QStringList{"--set", "Mqtt/Enabled"} << 2 << QStringList{"\"Mqtt/Enabled\": not GROUP/KEY=VALUE"} << QStringList{};
        QTest::newRow("argument without --set") << QStringList{"Mqtt/Enabled=true"} << 2 << QStringList{"unexpected argument \"Mqtt/Enabled=true\""} << QStringList{};
        QTest::newRow("two commands") << QStringList{"--show-settings", "--list-devices"} << 2 << QStringList{"one set-up command at a time"} << QStringList{};
        QTest::newRow("settings file a folder") << QStringList{"--set", "Mqtt/Rate=7", "--settings", "@byid"} << 1 << QStringList{"@byid is a folder"} << QStringList{};
        QTest::newRow("folder not this user's") << QStringList{"--set", "Mqtt/Rate=7", "--settings", "@closed/V.ini"} << 1 << QStringList{"can't write @closed/V.ini"} << QStringList{};
        QTest::newRow("show: default, refused, hidden") << QStringList{"--show-settings"} << 0 << QStringList{"Pollrate = 80 (default)", "Count = 2 (default: \"0\" is not allowed: a whole number from 1 to 100)", "Password = (set, hidden)"} << QStringList{};
        QTest::newRow("device by its stable name") << QStringList{"--device", "@pty", "--by-id-dir", "@byid"} << 0 << QStringList{"Ports/Com5 = " + meter + ": port 5 opens it (the stable name of @pty)"} << QStringList{"Com5 = " + meter};
        QTest::newRow("device for another port") << QStringList{"--device", "@pty", "--port", "3"} << 0 << QStringList{"Ports/Com3 = @pty", "--set StartUp/ComPort=3"} << QStringList{"Com3 = @pty"};
        QTest::newRow("port out of range") << QStringList{"--device", "@pty", "--port", "17"} << 2 << QStringList{"--port 17: a port number from 1 to 16"} << QStringList{};
        QTest::newRow("no such device") << QStringList{"--device", "/dev/no-such-tty"} << 1 << QStringList{"Ports/Com5 not stored: No such device: /dev/no-such-tty"} << QStringList{};
        QTest::newRow("device not a terminal") << QStringList{"--device", "/dev/null"} << 1 << QStringList{"Ports/Com5 not stored: /dev/null opens, but is no serial line"} << QStringList{};
        QTest::newRow("ordinary file") << QStringList{"--device", "@file"} << 1 << QStringList{"@file is an ordinary file"} << QStringList{};
        // clang-format on
    }

    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, says);
        QFETCH(QStringList, shownAfter);
        QFile seed(file_);
        QVERIFY(seed.open(QIODevice::WriteOnly | QIODevice::Truncate) && seed.write(Seed) > 0);
        seed.close();
        for (QString& argument : arguments)
            argument = fill(argument);
        const Result result = Run(QStringList{QStringLiteral("--settings"), file_} + arguments);
        QVERIFY2(result.status == status, qPrintable(result.text));
        const QString said = result.text.simplified();
        for (const QString& words : says)
            QVERIFY2(said.contains(fill(words)), qPrintable(result.text));
        const QString shown =
            Run({QStringLiteral("--show-settings"), QStringLiteral("--settings"), file_})
                .text.simplified();
        for (const QString& words : shownAfter)
            QVERIFY2(shown.contains(fill(words)), qPrintable(shown));
        if (shownAfter.isEmpty())
            QCOMPARE(Contents(file_), Seed);
        else
            QVERIFY(!(QFile::permissions(file_) & (QFile::ReadGroup | QFile::ReadOther)));
        for (const QString& secret : {QStringLiteral("hunter2"), QStringLiteral("n3w-secret")})
            QVERIFY(!said.contains(secret) && !shown.contains(secret));
    }

    void listDevices()
    {
        // A device another program holds by its lock file: closed to root as
        // well, whom no file mode stops.
        MeterSimProcess busy({QStringLiteral("--by-id-dir"), byId_, QStringLiteral("--by-id-name"),
                              QStringLiteral("usb-Busy_Adapter-if00-port0")});
        const QString held = busy.devicePath();
        QVERIFY(!held.isEmpty());
        QFile lock(QStringLiteral("/tmp/LCK..") + held.mid(5).replace(u'/', u'_'));
        const auto removeLock = qScopeGuard([&] { lock.remove(); });
        QVERIFY(lock.open(QIODevice::WriteOnly) &&
                lock.write(QByteArray::number(busy.process().processId()) + '\n') > 0);
        lock.close();
        const Result listed =
            Run({QStringLiteral("--list-devices"), QStringLiteral("--by-id-dir"), byId_});
        QCOMPARE(listed.status, 0);
        const QStringList lines = listed.text.split(u'\n');
        const auto row = [&](const QString& name) {
            for (qsizetype i = 0; i + 1 < lines.size(); ++i)
                if (lines[i].startsWith(name))
                    return lines[i].simplified() + u'|' + lines[i + 1].simplified();
            return QString();
        };
        QVERIFY2(row(MeterName).startsWith(MeterName + u' ' + meter_->devicePath().mid(5) +
                                           QStringLiteral(" yes|")),
                 qPrintable(listed.text));
        QVERIFY2(row(QStringLiteral("usb-Busy"))
                     .contains(held.mid(5) + QStringLiteral(" no|Device busy: ") + held),
                 qPrintable(listed.text));
        QVERIFY2(row(QStringLiteral("usb-Busy")).contains(lock.fileName()),
                 qPrintable(listed.text));
        // Refused for --device too, with the same reason.
        QFile::remove(file_);
        const Result chosen =
            Run({QStringLiteral("--settings"), file_, QStringLiteral("--device"), held});
        QVERIFY2(chosen.status == 1 && chosen.text.contains(QStringLiteral("Device busy")),
                 qPrintable(chosen.text));
        QVERIFY(!QFile::exists(file_));
    }
};

QTEST_GUILESS_MAIN(TstSetupCommands)
#include "tst_setupcommands.moc"
