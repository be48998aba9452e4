// SPDX-License-Identifier: GPL-3.0-or-later
// Stored texts that are damaged read as their key's default; a lock left by a
// killed process never holds up the next start; the file is its owner's only.
#include "IniSettingsStore.h"
#include "StartUpSettings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSysInfo>
#include <QTest>
#include <sys/stat.h>

namespace {
const QString Forty = QStringLiteral("1234567890123456789012345678901234567890");

QString IniPath()
{
    return QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
        .filePath(QStringLiteral("Vossbridge/Vossbridge.ini"));
}

void WriteFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

// The id of a process that has ended.
qint64 DeadPid()
{
    QProcess p;
    p.start(QStringLiteral("true"), {});
    p.waitForFinished();
    return p.processId() > 0 ? p.processId() : 999999;
}

// Saving replaces the file, so a new file number means it was written.
ino_t FileNumber(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

QByteArray LockText(qint64 pid)
{
    return QByteArray::number(pid) + "\nvossbridge\n" + QSysInfo::machineHostName().toUtf8() + "\n";
}
} // namespace

class TestSettingsRobust : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void damagedTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("ComPort nan") << "ComPort"
                                     << "nan" << 5.0;
        QTest::newRow("ComPort inf") << "ComPort"
                                     << "inf" << 5.0;
        QTest::newRow("ComPort 40 digits") << "ComPort" << Forty << 5.0;
        QTest::newRow("ComPort 17 kept") << "ComPort"
                                         << "17" << 17.0;
        QTest::newRow("ComPort 0 kept") << "ComPort"
                                        << "0" << 0.0;
        QTest::newRow("Pollrate nan") << "Pollrate"
                                      << "nan" << 80.0;
        QTest::newRow("Height 40 digits") << "Height" << Forty << 3495.0;
        QTest::newRow("Height 1e6 kept") << "Height"
                                         << "1000000" << 1e6;
        QTest::newRow("Height 1000001") << "Height"
                                        << "1000001" << 3495.0;
        QTest::newRow("Height -1") << "Height"
                                   << "-1" << 3495.0;
        QTest::newRow("Height nan reads as 0, leniently") << "Height"
                                                          << "nan" << 0.0;
        QTest::newRow("Height 1800 twips") << "Height"
                                           << "1800" << 1800.0;
        QTest::newRow("Height missing") << "Height"
                                        << "" << 3495.0;
        QTest::newRow("Height blank") << "Height"
                                      << "  " << 3495.0;
        QTest::newRow("Height x reads as 0, leniently") << "Height"
                                                        << "x" << 0.0;
        QTest::newRow("Position-Left nan") << "Position-Left"
                                           << "nan" << 0.0;
        QTest::newRow("Position-Left inf") << "Position-Left"
                                           << "inf" << 0.0;
        QTest::newRow("Position-Left 40 digits") << "Position-Left" << Forty << 0.0;
        QTest::newRow("Position-Left -1e6 kept") << "Position-Left"
                                                 << "-1000000" << -1e6;
        QTest::newRow("Position-Top 1.5e6") << "Position-Top"
                                            << "1.5e6" << 0.0;
        QTest::newRow("Position-Top 450") << "Position-Top"
                                          << "450" << 450.0;
    }
    void damagedTexts()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(double, value);
        using namespace StartUpSettings;
        double read = -12345;
        if (key == PortNumber.name)
            read = PortNumber.valueOf(text);
        else if (key == PollPeriod.name)
            read = PollPeriod.valueOf(text);
        else if (key == Height.name)
            read = Height.valueOf(text);
        else if (key == PositionLeft.name)
            read = PositionLeft.valueOf(text);
        else if (key == PositionTop.name)
            read = PositionTop.valueOf(text);
        QCOMPARE(read, value);
    }

    void staleLock_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("held");
        QTest::addColumn<bool>("removed");
        QTest::newRow("empty, from a kill inside the first write") << QByteArray() << false << true;
        QTest::newRow("a dead process's id") << LockText(DeadPid()) << false << true;
        QTest::newRow("garbage") << QByteArray("x\n") << false << true;
        QTest::newRow("this live process's id, not held")
            << LockText(qApp->applicationPid()) << false << false;
        QTest::newRow("empty but held by a live process") << QByteArray() << true << false;
    }
    void staleLock()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, held);
        QFETCH(bool, removed);
        QFile::remove(IniPath());
        const QString lock = IniPath() + QStringLiteral(".lock");
        WriteFile(lock, content);
        QProcess holder;
        if (held) {
            // flock(1) holds the lock the way QLockFile does while it writes.
            holder.start(QStringLiteral("flock"), {lock, QStringLiteral("cat")});
            QVERIFY(holder.waitForStarted());
            QTRY_VERIFY(!QProcess::execute(
                QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("! flock -n \"$0\" true"), lock}));
        }

        IniSettingsStore store;
        QCOMPARE(QFileInfo::exists(lock), !removed);
        if (removed) {
            // The first save takes the lock at once and lets it go.
            store.save(QStringLiteral("StartUp"), QStringLiteral("Pollrate"), QStringLiteral("50"));
            QCOMPARE(store.read(QStringLiteral("StartUp"), QStringLiteral("Pollrate")), "50");
            QVERIFY(!QFileInfo::exists(lock));
        }
        if (held) {
            holder.closeWriteChannel();
            QVERIFY(holder.waitForFinished());
        }
        QFile::remove(lock);
    }

    void storeOfWhatTheFileHolds_data()
    {
        QTest::addColumn<QByteArray>("edited"); // by hand, after the store read the file
        QTest::addColumn<QString>("saved");
        QTest::addColumn<bool>("written");
        QTest::newRow("the same value") << QByteArray() << "50" << false;
        QTest::newRow("another value") << QByteArray() << "80" << true;
        QTest::newRow("edited since read")
            << QByteArray("[StartUp]\nPollrate=800\n") << "50" << true;
    }
    void storeOfWhatTheFileHolds()
    {
        QFETCH(QByteArray, edited);
        QFETCH(QString, saved);
        QFETCH(bool, written);
        WriteFile(IniPath(), "[StartUp]\nPollrate=50\n");
        IniSettingsStore store;
        if (!edited.isEmpty())
            WriteFile(IniPath(), edited);
        const ino_t before = FileNumber(IniPath());
        store.save({{QStringLiteral("StartUp"), QStringLiteral("Pollrate"), saved}});
        QCOMPARE(FileNumber(IniPath()) != before, written);
        QCOMPARE(QSettings(IniPath(), QSettings::IniFormat).value("StartUp/Pollrate"), saved);
    }

    void ownerOnly_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("first write") << false;
        QTest::newRow("a file others could read") << true;
    }
    void ownerOnly()
    {
        QFETCH(bool, existing);
        QFile::remove(IniPath());
        if (existing) {
            WriteFile(IniPath(), "[StartUp]\nHeight=1800\n");
            QFile::setPermissions(IniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ReadGroup | QFileDevice::ReadOther);
        }
        IniSettingsStore store;
        store.save(
            {{QStringLiteral("Mqtt"), QStringLiteral("Password"), QStringLiteral("s3cret")}});
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(QFile::permissions(IniPath()) & others, QFileDevice::Permissions());
        QVERIFY(QFile::permissions(IniPath()) & QFileDevice::ReadOwner);
        if (existing)
            QCOMPARE(store.read(QStringLiteral("StartUp"), QStringLiteral("Height")), "1800");
    }
};

QTEST_GUILESS_MAIN(TestSettingsRobust)
#include "tst_settingsrobust.moc"
