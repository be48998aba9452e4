// SPDX-License-Identifier: GPL-3.0-or-later
// The readings recorder: its rows read back with a CSV parser, appending
// across runs, and every way the file can refuse to be written.
#include "FakeSettingsStore.h"
#include "MeterSimProcess.h"
#include "PollCycle.h"
#include "PosixSerialLink.h"
#include "ReadingsDisplay.h"
#include "ReadingsRecorder.h"
#include "RecordRow.h"
#include "RecordSettings.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <cmath>
#include <unistd.h>

namespace {
constexpr int Columns = 10;
const QDateTime Stamp(QDate(2026, 12, 7), QTime(12, 34, 56, 789), QTimeZone::utc());

StatusRecord Reading(double power, double swr, double rangeCode, double peakFlag)
{
    StatusRecord r;
    r.received = true;
    r.power = power;
    r.swr = swr;
    r.rangeCode = rangeCode;
    r.peakFlag = peakFlag;
    r.impedance = 50;
    r.phase = -10;
    r.vectorGate = 40;
    r.resistance = 49.2;
    r.reactance = 8.7;
    return r;
}

// The file's records as Python's csv module reads them.
QList<QStringList> ReadCsv(const QString& path)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='') as f:\n"
                                 "    print(json.dumps(list(csv.reader(f, strict=True))))"),
                  path});
    if (!python.waitForFinished(20000) || python.exitCode() != 0) {
        qWarning() << "python3 failed:" << python.readAllStandardError();
        return {};
    }
    QList<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue& field : row.toArray())
            fields << field.toString();
        rows << fields;
    }
    return rows;
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A small file system of its own, or an empty path where mounting is not
// allowed.
struct SmallFileSystem {
    QTemporaryDir dir;
    bool mounted = false;
    explicit SmallFileSystem(const QString& options)
    {
        if (::geteuid() != 0)
            return;
        mounted =
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               options, QStringLiteral("tmpfs"), dir.path()}) == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {dir.path()});
    }
};
} // namespace

class TestRecorder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void rowFields_data();
    void rowFields();
    void defaultPath();
    void stopAndRestartAppend();
    void writesOnItsTimerNotOnTheReading();
    void lineCutShortEarlierIsEnded();
    void unwritablePath_data();
    void unwritablePath();
    void readOnlyFileSystem();
    void fileSystemFillsUp();
    void fileRemovedWhileRecording();
    void destructionWritesTheRest();
    void scriptedSimulatorRun();
};

void TestRecorder::initTestCase()
{
    // The decimal point must not follow the user's language.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestRecorder::rowFields_data()
{
    QTest::addColumn<StatusRecord>("record");
    QTest::addColumn<int>("alarmSetting");
    QTest::addColumn<QString>("row");
    const auto vectorless = [](StatusRecord r) {
        r.vectorGate = 15;
        return r;
    };
    const auto odd = [](StatusRecord r, double range, double peak) {
        r.rangeCode = range;
        r.peakFlag = peak;
        return r;
    };
    // clang-format off
    QTest::newRow("normal, 250 W") << Reading(87.4, 1.35, 1, 0) << 2 << "87.4,1.35,50,-10,49.2,8.7,normal,250,2.0";
    QTest::newRow("peak, 2500 W") << Reading(1500, 2.5, 0, 1) << 4 << "1500,2.5,50,-10,49.2,8.7,peak,2500,3.0";
    QTest::newRow("25 W, alarm off") << Reading(0.5, 1, 2, 0) << 0 << "0.5,1,50,-10,49.2,8.7,normal,25,off";
    QTest::newRow("alarm 1.5") << Reading(10, 1.6, 2, 0) << 1 << "10,1.6,50,-10,49.2,8.7,normal,25,1.5";
    QTest::newRow("power 0, SWR unset") << Reading(0, 0, 1, 0) << 3 << "0,0,50,-10,49.2,8.7,normal,250,2.5";
    QTest::newRow("vector values invalid") << vectorless(Reading(5, 1.2, 1, 0)) << 0 << "5,1.2,,,,,normal,250,off";
    QTest::newRow("range and mode unknown") << odd(Reading(5, 1.2, 1, 0), 5, 3) << 0 << "5,1.2,50,-10,49.2,8.7,,,off";
    QTest::newRow("alarm setting above 4") << Reading(5, 1.2, 1, 0) << 9 << "5,1.2,50,-10,49.2,8.7,normal,250,";
    QTest::newRow("alarm setting below 0") << Reading(5, 1.2, 1, 0) << -1 << "5,1.2,50,-10,49.2,8.7,normal,250,";
    QTest::newRow("huge and not a number") << Reading(1e300, NAN, 0, 1) << 0 << "1e+300,,50,-10,49.2,8.7,peak,2500,off";
    QTest::newRow("minus zero") << Reading(-0.0, 1.1, 0, 0) << 0 << "0,1.1,50,-10,49.2,8.7,normal,2500,off";
    // clang-format on
}

void TestRecorder::rowFields()
{
    QFETCH(StatusRecord, record);
    QFETCH(int, alarmSetting);
    QFETCH(QString, row);
    const QByteArray line = RecordRow(Stamp, record, alarmSetting);
    QCOMPARE(line, "2026-12-07T12:34:56.789Z," + row.toLatin1() + '\n');
    QCOMPARE(line.count(',') + 1, Columns);
    QCOMPARE(RecordHeader().count(',') + 1, Columns);
}

void TestRecorder::defaultPath()
{
    QTemporaryDir dir;
    const QDate date(2026, 12, 7);
    QCOMPARE(DefaultRecordPath(dir.path(), date), dir.filePath("vossbridge-2026-12-07.csv"));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QCOMPARE(QFileInfo(DefaultRecordPath(QString(), date)).absolutePath(), documents);
    QCOMPARE(QFileInfo(DefaultRecordPath(dir.filePath("gone"), date)).absolutePath(), documents);

    FakeSettingsStore store;
    RememberRecordFolder(store, dir.filePath("x.csv"));
    QCOMPARE(store.values.value("Record/Folder"), QFileInfo(dir.path()).absoluteFilePath());
    QVERIFY(DefaultRecordPath(store).startsWith(QFileInfo(dir.path()).absoluteFilePath() + '/'));
}

void TestRecorder::stopAndRestartAppend()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("run.csv");
    ReadingsRecorder recorder;
    recorder.setClock([] { return Stamp; });
    QSignalSpy stopped(&recorder, &ReadingsRecorder::stopped);
    for (int run = 0; run < 3; ++run) {
        QVERIFY(recorder.start(path));
        QVERIFY(recorder.isRecording());
        for (int i = 0; i < 4; ++i)
            recorder.addReading(Reading(run * 10 + i, 1.5, 1, 0), 0, false);
        recorder.stop();
        QVERIFY(!recorder.isRecording());
        QCOMPARE(recorder.rowsWritten(), 4);
    }
    QCOMPARE(stopped.size(), 3);
    QCOMPARE(stopped.at(0).at(0).toString(), QString());
    QCOMPARE(recorder.statusText(), "Not recording");
    const QList<QStringList> rows = ReadCsv(path);
    QCOMPARE(rows.size(), 1 + 12);
    QCOMPARE(rows.at(0).join(','), QString::fromLatin1(RecordHeader()).trimmed());
    for (int i = 1; i < rows.size(); ++i) {
        QCOMPARE(rows.at(i).size(), Columns);
        QCOMPARE(rows.at(i).at(1).toDouble(), (i - 1) / 4 * 10 + (i - 1) % 4);
    }
}

void TestRecorder::writesOnItsTimerNotOnTheReading()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("later.csv");
    ReadingsRecorder recorder;
    QVERIFY(recorder.start(path));
    recorder.addReading(Reading(1, 1, 1, 0), 0, false);
    recorder.addReading(Reading(2, 1, 1, 0), 0, false);
    QCOMPARE(Contents(path), QByteArray()); // the readings only wait in memory
    QSignalSpy status(&recorder, &ReadingsRecorder::statusChanged);
    QTRY_COMPARE_WITH_TIMEOUT(Contents(path).count('\n'), 3, 5 * ReadingsRecorder::FlushIntervalMs);
    QVERIFY(!status.isEmpty());
    QVERIFY(recorder.statusText().contains("later.csv"));
    QVERIFY(recorder.statusText().contains('2'));
}

void TestRecorder::lineCutShortEarlierIsEnded()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cut.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(RecordHeader() + "2026-12-07T00:00:00.000Z,5,1.");
    file.close();
    ReadingsRecorder recorder;
    QVERIFY(recorder.start(path));
    recorder.addReading(Reading(7, 1.1, 2, 0), 0, false);
    recorder.stop();
    QCOMPARE(recorder.rowsWritten(), 1);
    const QList<QByteArray> lines = Contents(path).split('\n');
    QCOMPARE(lines.size(), 4); // header, the cut line, the new row, ""
    QCOMPARE(lines.at(1), "2026-12-07T00:00:00.000Z,5,1.");
    QCOMPARE(lines.at(2).count(',') + 1, Columns);
}

void TestRecorder::unwritablePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("opens"); // the refusal comes with the first write
    QTest::newRow("no such folder") << "/nonexistent-vossbridge/sub/r.csv" << false;
    QTest::newRow("a new file under /proc") << "/proc/vossbridge.csv" << false;
    QTest::newRow("an existing file under /proc") << "/proc/version" << true;
    QTest::newRow("a folder") << QDir::tempPath() << false;
    QTest::newRow("a device") << "/dev/null" << false;
}

void TestRecorder::unwritablePath()
{
    QFETCH(QString, path);
    QFETCH(bool, opens);
    ReadingsRecorder recorder;
    QSignalSpy stopped(&recorder, &ReadingsRecorder::stopped);
    QCOMPARE(recorder.start(path), opens);
    recorder.addReading(Reading(1, 1, 1, 0), 0, false);
    recorder.flush();
    QVERIFY(!recorder.isRecording());
    QCOMPARE(stopped.size(), 1);
    const QString reason = stopped.at(0).at(0).toString();
    QVERIFY2(reason.contains(path), qPrintable(reason));
    QVERIFY(recorder.statusText().contains(reason));
    recorder.stop(); // stopping again is harmless and says nothing
    QCOMPARE(stopped.size(), 1);
}

void TestRecorder::readOnlyFileSystem()
{
    // Root may write to any file whatever its mode bits: only a read-only
    // mount refuses it.
    SmallFileSystem disk(QStringLiteral("ro,size=64k"));
    if (!disk.mounted)
        QSKIP("mounting a small tmpfs needs root");
    ReadingsRecorder recorder;
    QSignalSpy stopped(&recorder, &ReadingsRecorder::stopped);
    QVERIFY(!recorder.start(QDir(disk.dir.path()).filePath("ro.csv")));
    QCOMPARE(stopped.size(), 1);
    QVERIFY2(stopped.at(0).at(0).toString().contains(QString::fromLocal8Bit(strerror(EROFS))),
             qPrintable(stopped.at(0).at(0).toString()));
}

void TestRecorder::fileSystemFillsUp()
{
    SmallFileSystem disk(QStringLiteral("size=64k"));
    if (!disk.mounted)
        QSKIP("mounting a small tmpfs needs root");
    const QString path = QDir(disk.dir.path()).filePath("full.csv");
    ReadingsRecorder recorder;
    QSignalSpy stopped(&recorder, &ReadingsRecorder::stopped);
    QVERIFY(recorder.start(path));
    int added = 0;
    while (recorder.isRecording() && added < 5000) {
        // Batches of uneven size, so the disk fills in the middle of a row.
        for (int i = 0; i < 37; ++i, ++added)
            recorder.addReading(Reading(added, 1.25, 0, added % 2), 3, false);
        recorder.flush();
    }
    QVERIFY(!recorder.isRecording());
    QCOMPARE(stopped.size(), 1);
    QVERIFY2(stopped.at(0).at(0).toString().contains(QString::fromLocal8Bit(strerror(ENOSPC))),
             qPrintable(stopped.at(0).at(0).toString()));
    const QByteArray contents = Contents(path);
    QVERIFY(contents.size() > 60000);
    QVERIFY(contents.endsWith('\n')); // whole rows only
    const QList<QStringList> rows = ReadCsv(path);
    QCOMPARE(rows.size(), 1 + recorder.rowsWritten());
    for (int i = 1; i < rows.size(); ++i) {
        QCOMPARE(rows.at(i).size(), Columns);
        QCOMPARE(rows.at(i).at(1).toInt(), i - 1);
    }
}

void TestRecorder::fileRemovedWhileRecording()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("removed.csv");
    ReadingsRecorder recorder;
    QSignalSpy stopped(&recorder, &ReadingsRecorder::stopped);
    QVERIFY(recorder.start(path));
    recorder.addReading(Reading(1, 1, 1, 0), 0, false);
    recorder.flush();
    QVERIFY(QFile::remove(path));
    recorder.addReading(Reading(2, 1, 1, 0), 0, false);
    recorder.flush();
    QVERIFY(!recorder.isRecording());
    QCOMPARE(stopped.size(), 1);
    QVERIFY(stopped.at(0).at(0).toString().contains("removed"));
    QVERIFY(!QFile::exists(path)); // not created again behind the user's back
}

void TestRecorder::destructionWritesTheRest()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("shutdown.csv");
    {
        ReadingsRecorder recorder;
        QVERIFY(recorder.start(path));
        for (int i = 0; i < 5; ++i)
            recorder.addReading(Reading(i, 1, 1, 0), 0, false);
    }
    QCOMPARE(ReadCsv(path).size(), 6);
}

void TestRecorder::scriptedSimulatorRun()
{
    MeterSimProcess sim({QStringLiteral("-e"), QStringLiteral("gate 40")});
    const QString device = sim.devicePath();
    QVERIFY(!device.isEmpty());
    PosixSerialLink port([&device](int) { return device; });
    port.setPortNumber(1);
    port.setLineSettings(LineSettings{});
    QVERIFY(port.open());

    QTemporaryDir dir;
    const QString path = dir.filePath("sim.csv");
    ReadingsRecorder recorder;
    QVERIFY(recorder.start(path));

    PollCycle cycle;
    PendingCommands pending;
    StatusRecord record;
    QList<StatusRecord> accepted;
    QTimer tick;
    tick.setInterval(50);
    connect(&tick, &QTimer::timeout, this, [&] {
        cycle.tick(port, pending, [&](const QString& reply) {
            DecodeStatusReply(reply, record);
            CalcVector(record);
            recorder.addReading(record, static_cast<qint32>(record.alarmSetting), false);
            accepted << record;
        });
    });
    tick.start();

    // Each state until three replies show it.
    const struct {
        int range;
        int peak;
        double power;
        double swr;
        int alarm;
    } states[] = {{0, 0, 1200, 1.8, 0},
                  {1, 1, 150.5, 1.25, 2},
                  {2, 0, 12.5, 2.6, 4},
                  {2, 1, 0, 0, 1},
                  {0, 1, 2499.9, 3.5, 3}};
    for (const auto& s : states) {
        for (const QString& command :
             {QStringLiteral("range %1").arg(s.range), QStringLiteral("peak %1").arg(s.peak),
              QStringLiteral("power %1").arg(s.power), QStringLiteral("swr %1").arg(s.swr),
              QStringLiteral("alarm %1").arg(s.alarm)})
            sim.send(command);
        const auto shows = [&](const StatusRecord& r) {
            return r.rangeCode == s.range && r.peakFlag == s.peak && r.power == s.power &&
                   r.swr == s.swr && r.alarmSetting == s.alarm;
        };
        QVERIFY(QTest::qWaitFor(
            [&] { return std::count_if(accepted.cbegin(), accepted.cend(), shows) >= 3; }, 20000));
    }
    tick.stop();
    recorder.stop();

    const QList<QStringList> rows = ReadCsv(path);
    QCOMPARE(rows.size(), 1 + accepted.size());
    QDateTime previous;
    static const char* const FullScales[] = {"2500", "250", "25"};
    static const char* const Alarms[] = {"off", "1.5", "2.0", "2.5", "3.0"};
    for (int i = 1; i < rows.size(); ++i) {
        const QStringList& row = rows.at(i);
        const StatusRecord& r = accepted.at(i - 1);
        QCOMPARE(row.size(), Columns);
        const QDateTime time = QDateTime::fromString(row.at(0), Qt::ISODateWithMs);
        QVERIFY2(time.isValid() && time.timeSpec() == Qt::UTC && row.at(0).endsWith('Z') &&
                     row.at(0).size() == 24,
                 qPrintable(row.at(0)));
        QVERIFY(!previous.isValid() || time >= previous);
        previous = time;
        QCOMPARE(row.at(1).toDouble(), r.power);
        QCOMPARE(row.at(2).toDouble(), r.swr);
        QCOMPARE(row.at(3).toDouble(), r.impedance);
        QCOMPARE(row.at(4).toDouble(), r.phase);
        QVERIFY(std::abs(row.at(5).toDouble() - r.resistance) < 1e-6);
        QVERIFY(std::abs(row.at(6).toDouble() - r.reactance) < 1e-6);
        QCOMPARE(row.at(7), r.peakFlag == 1 ? "peak" : "normal");
        QCOMPARE(row.at(8), FullScales[int(r.rangeCode)]);
        QCOMPARE(row.at(9), Alarms[int(r.alarmSetting)]);
    }
    // Every state made it to the file.
    for (const auto& s : states) {
        QVERIFY(std::any_of(rows.cbegin() + 1, rows.cend(), [&](const QStringList& row) {
            return row.at(8) == FullScales[s.range] && row.at(7) == (s.peak ? "peak" : "normal") &&
                   row.at(1).toDouble() == s.power;
        }));
    }
}

QTEST_MAIN(TestRecorder)
#include "tst_recorder.moc"
