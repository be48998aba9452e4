// SPDX-License-Identifier: GPL-3.0-or-later
// The MQTT link against Debian's mosquitto broker, read back with
// mosquitto_sub. Run with "--link-helper <port> <prefix>" this program is
// instead a bare link that publishes readings until it is killed.
#include "FakeSettingsStore.h"
#include "MosquittoBroker.h"
#include "MqttLink.h"
#include "SlowLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <cstdio>
#include <numeric>

namespace {
using State = MqttClient::State;

StatusRecord Reading(double power, double swr = 1.2)
{
    StatusRecord r;
    r.received = true;
    r.power = power;
    r.swr = swr;
    r.vectorGate = 20;
    r.impedance = 50;
    return r;
}

// The most messages a cap of `perSecond` lets through in `ms`: one at once,
// then one per interval, and one more for the latest reading at the end.
qsizetype AtRate(int perSecond, qint64 ms)
{
    return 2 + ms * perSecond / 1000;
}

// A link with its own settings, pointed at a broker on loopback.
struct Rig {
    FakeSettingsStore store;
    MqttLink link;
    QString prefix;

    Rig(quint16 port, const QString& name, const QStringList& settings = {})
        : prefix(QStringLiteral("test/") + name)
    {
        store.values[QStringLiteral("Mqtt/Enabled")] = QStringLiteral("true");
        store.values[QStringLiteral("Mqtt/Broker")] = QStringLiteral("127.0.0.1:%1").arg(port);
        store.values[QStringLiteral("Mqtt/ClientId")] = QStringLiteral("tst-") + name;
        store.values[QStringLiteral("Mqtt/Prefix")] = prefix;
        for (const QString& kv : settings)
            store.values[QStringLiteral("Mqtt/") + kv.section(u'=', 0, 0)] = kv.section(u'=', 1);
    }
    void start() { link.applySettings(store); }
    bool connected(int ms = 10000)
    {
        return QTest::qWaitFor([this] { return link.client().state() == State::Connected; }, ms);
    }
    QByteArray topic(const char* leaf) const
    {
        return (prefix + u'/' + QLatin1String(leaf)).toUtf8();
    }
};

QJsonObject Json(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

// A link's state topic read back while a reading goes to the link every 50 ms,
// as the poll tick hands them over: Readings of them, then ticks without one.
struct TickedReadings {
    static constexpr int Readings = 60;
    Rig& rig;
    MosquittoSubscriber sub;
    QTimer tick;
    int ticks = 0;
    qint64 ms = 0; // how long handing them over took

    TickedReadings(Rig& r, quint16 brokerPort)
        : rig(r), sub(brokerPort, r.prefix + QStringLiteral("/state"))
    {
        QObject::connect(&tick, &QTimer::timeout, [this] {
            if (++ticks <= Readings)
                rig.link.updateReading(Reading(ticks), 0, false);
        });
    }
    bool handOver()
    {
        QElapsedTimer handingOver;
        handingOver.start();
        tick.start(50);
        const bool all = QTest::qWaitFor([this] { return ticks >= Readings; }, 60000);
        ms = handingOver.elapsed();
        return all;
    }
    int lastPower()
    {
        return Json(sub.lastPayload(rig.topic("state")))[QStringLiteral("power")].toInt();
    }
    bool lastSeen(int power, int withinMs)
    {
        return QTest::qWaitFor([&] { return lastPower() == power; }, withinMs);
    }
};

int RunLinkHelper(quint16 port, const QString& prefix)
{
    FakeSettingsStore store;
    store.values[QStringLiteral("Mqtt/Enabled")] = QStringLiteral("true");
    store.values[QStringLiteral("Mqtt/Broker")] = QStringLiteral("127.0.0.1:%1").arg(port);
    store.values[QStringLiteral("Mqtt/ClientId")] = QStringLiteral("tst-helper");
    store.values[QStringLiteral("Mqtt/Prefix")] = prefix;
    MqttLink link;
    QObject::connect(&link, &MqttLink::statusChanged, [&link] {
        if (link.client().state() == State::Connected) {
            std::puts("connected");
            std::fflush(stdout);
        }
    });
    link.applySettings(store);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&link] { link.updateReading(Reading(10), 0, false); });
    tick.start(100);
    return QCoreApplication::exec();
}
} // namespace

class TstMqttE2e : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();

    // What goes out
    void stateAndValues_data();
    void stateAndValues();
    void burstSendsFirstAndLatestOnly();
    void rateCapAtFiftyMsTicks();
    void availability();
    void lastWillWhenKilled();
    void discovery_data();
    void discovery();
    void discoveryOffRemovesConfigs();

    // What comes in
    void commands_data();
    void commands();

    // Faults
    void brokerAbsentAtStart();
    void credentials_data();
    void credentials();
    void brokerRestart();
    void hungBroker();
    void tls_data();
    void tls();
    void tlsNamesTheBroker();
    void slowLink();
    void protectionState();

private:
    std::unique_ptr<MosquittoBroker> broker_;
};

void TstMqttE2e::initTestCase()
{
    broker_ = std::make_unique<MosquittoBroker>();
    QVERIFY2(broker_->isRunning(), qPrintable(broker_->log()));
}

void TstMqttE2e::stateAndValues_data()
{
    QTest::addColumn<double>("rangeCode");
    QTest::addColumn<double>("peakFlag");
    QTest::addColumn<double>("vectorGate");
    QTest::addColumn<int>("alarmSetting");
    QTest::addColumn<bool>("alarmShown");
    QTest::addColumn<QByteArray>("expected"); // fields the state must hold, as JSON

    QTest::newRow("2500 W range, vector values valid")
        << 0.0 << 0.0 << 16.0 << 2 << false
        << QByteArray(R"({"range":2500,"peak":false,"impedance":50,"phase":-12.5,)"
                      R"("resistance":48.8,"reactance":-10.8,"alarm_setting":2,"alarm_swr":2})");
    QTest::newRow("250 W range, peak")
        << 1.0 << 1.0 << 20.0 << 1 << false
        << QByteArray(R"({"range":250,"peak":true,"alarm_swr":1.5})");
    QTest::newRow("25 W range, gate at 15: no vector values")
        << 2.0 << 0.0 << 15.0 << 4 << true
        << QByteArray(R"({"range":25,"impedance":null,"phase":null,"resistance":null,)"
                      R"("reactance":null,"alarm_swr":3,"alarm_shown":true})");
    QTest::newRow("alarm off") << 0.0 << 0.0 << 20.0 << 0 << false
                               << QByteArray(R"({"alarm_setting":0,"alarm_swr":null})");
    QTest::newRow("range code 3: no full scale")
        << 3.0 << 0.0 << 20.0 << 1 << false << QByteArray(R"({"range":null})");
}

void TstMqttE2e::stateAndValues()
{
    QFETCH(double, rangeCode);
    QFETCH(double, peakFlag);
    QFETCH(double, vectorGate);
    QFETCH(int, alarmSetting);
    QFETCH(bool, alarmShown);
    QFETCH(QByteArray, expected);

    Rig rig(broker_->port(), QStringLiteral("state"));
    MosquittoSubscriber sub(broker_->port(), rig.prefix + QStringLiteral("/#"));
    QVERIFY(sub.ready());
    rig.start();
    QVERIFY(rig.connected());

    StatusRecord r = Reading(123.5, 1.75);
    r.rangeCode = rangeCode;
    r.peakFlag = peakFlag;
    r.vectorGate = vectorGate;
    r.phase = -12.5;
    r.resistance = 48.8;
    r.reactance = -10.8;
    rig.link.updateReading(r, alarmSetting, alarmShown);

    QVERIFY(QTest::qWaitFor([&] { return !sub.on(rig.topic("state")).isEmpty(); }, 10000));
    const SeenMessage state = sub.on(rig.topic("state")).constFirst();
    QVERIFY(!state.retained);
    const QJsonObject o = Json(state.payload);
    QCOMPARE(o.value(QStringLiteral("power")).toDouble(), 123.5);
    QCOMPARE(o.value(QStringLiteral("swr")).toDouble(), 1.75);
    const QJsonObject want = Json(expected);
    for (auto it = want.begin(); it != want.end(); ++it)
        QVERIFY2(o.value(it.key()) == it.value(),
                 qPrintable(it.key() + QStringLiteral(" in ") + QString::fromUtf8(state.payload)));
    const QDateTime time =
        QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    QVERIFY(time.isValid());
    QCOMPARE(time.timeSpec(), Qt::UTC);

    QVERIFY(sub.waitFor(rig.topic("power"), "123.5"));
    QVERIFY(sub.waitFor(rig.topic("swr"), "1.75"));
}

void TstMqttE2e::burstSendsFirstAndLatestOnly()
{
    Rig rig(broker_->port(), QStringLiteral("burst"), {QStringLiteral("Rate=5")});
    MosquittoSubscriber sub(broker_->port(), rig.prefix + QStringLiteral("/power"));
    QVERIFY(sub.ready());
    rig.start();
    QVERIFY(rig.connected());

    // A hundred readings in one go: the first goes at once, the rest wait
    // and only the latest of them follows.
    for (int i = 1; i <= 100; ++i)
        rig.link.updateReading(Reading(i), 0, false);
    QVERIFY(sub.waitFor(rig.topic("power"), "100"));
    QTest::qWait(500);
    QList<QByteArray> powers;
    for (const SeenMessage& m : sub.on(rig.topic("power")))
        powers << m.payload;
    QCOMPARE(powers, (QList<QByteArray>{"1", "100"}));
}

void TstMqttE2e::rateCapAtFiftyMsTicks()
{
    Rig rig(broker_->port(), QStringLiteral("rate"), {QStringLiteral("Rate=5")});
    TickedReadings readings(rig, broker_->port());
    QVERIFY(readings.sub.ready());
    rig.start();
    QVERIFY(rig.connected());

    // 5 per second against a reading every 50 ms: the cap holds per second
    // of the run, however late a loaded machine's ticks come.
    QVERIFY(readings.handOver());
    QVERIFY(readings.lastSeen(TickedReadings::Readings, 5000));
    const auto sent = readings.sub.on(rig.topic("state")).size();
    QVERIFY2(sent <= AtRate(5, readings.ms), qPrintable(QString::number(sent)));
    QVERIFY2(sent >= 3, qPrintable(QString::number(sent)));
}

void TstMqttE2e::availability()
{
    Rig rig(broker_->port(), QStringLiteral("availability"));
    rig.start();
    QVERIFY(rig.connected());
    // The first reading says the meter is there.
    rig.link.updateReading(Reading(5), 0, false);
    {
        MosquittoSubscriber late(broker_->port(), QString::fromUtf8(rig.topic("availability")));
        QVERIFY(late.waitFor(rig.topic("availability"), "online"));
        QVERIFY(late.on(rig.topic("availability")).constFirst().retained);
    }
    rig.link.setMeterAvailable(false);
    {
        MosquittoSubscriber late(broker_->port(), QString::fromUtf8(rig.topic("availability")));
        QVERIFY(late.waitFor(rig.topic("availability"), "no meter"));
        QVERIFY(late.on(rig.topic("availability")).constFirst().retained);
    }
    rig.link.setMeterAvailable(true);
    MosquittoSubscriber sub(broker_->port(), QString::fromUtf8(rig.topic("availability")));
    QVERIFY(sub.waitFor(rig.topic("availability"), "online"));

    // Turned off by the user: a clean leave says offline itself.
    rig.store.values[QStringLiteral("Mqtt/Enabled")] = QStringLiteral("false");
    rig.link.applySettings(rig.store);
    QCOMPARE(rig.link.statusText(), QStringLiteral("MQTT: off"));
    QVERIFY(sub.waitFor(rig.topic("availability"), "offline"));
}

void TstMqttE2e::lastWillWhenKilled()
{
    const QString prefix = QStringLiteral("test/killed");
    MosquittoSubscriber sub(broker_->port(), prefix + QStringLiteral("/#"));
    QVERIFY(sub.ready());
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--link-helper"), QString::number(broker_->port()), prefix});
    QVERIFY(QTest::qWaitFor([&] { return helper.canReadLine(); }, 10000));
    QCOMPARE(helper.readLine().trimmed(), QByteArray("connected"));
    QVERIFY(sub.waitFor((prefix + QStringLiteral("/availability")).toUtf8(), "online"));
    QVERIFY(QTest::qWaitFor(
        [&] { return !sub.on((prefix + QStringLiteral("/state")).toUtf8()).isEmpty(); }, 10000));

    helper.kill(); // SIGKILL: no chance to say goodbye
    helper.waitForFinished(5000);
    QVERIFY(sub.waitFor((prefix + QStringLiteral("/availability")).toUtf8(), "offline", 20000));
}

void TstMqttE2e::discovery_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("field"); // the state field its template reads

    const QString node = QStringLiteral("test_discovery");
    QTest::newRow("power") << "homeassistant/sensor/" + node + "/power/config"
                           << "W"
                           << "power"
                           << "power";
    QTest::newRow("swr") << "homeassistant/sensor/" + node + "/swr/config"
                         << ""
                         << ""
                         << "swr";
    QTest::newRow("impedance") << "homeassistant/sensor/" + node + "/impedance/config"
                               << QStringLiteral("\u03a9") << ""
                               << "impedance";
    QTest::newRow("alarm") << "homeassistant/binary_sensor/" + node + "/alarm/config"
                           << ""
                           << "problem"
                           << "alarm_shown";
}

void TstMqttE2e::discovery()
{
    QFETCH(QString, topic);
    QFETCH(QString, unit);
    QFETCH(QString, deviceClass);
    QFETCH(QString, field);

    Rig rig(broker_->port(), QStringLiteral("discovery"));
    rig.start();
    QVERIFY(rig.connected());
    rig.link.updateReading(Reading(1), 0, false);
    MosquittoSubscriber state(broker_->port(), QString::fromUtf8(rig.topic("state")));
    QVERIFY(state.ready());
    rig.link.updateReading(Reading(2), 0, false);
    QVERIFY(QTest::qWaitFor([&] { return !state.on(rig.topic("state")).isEmpty(); }, 10000));
    const QJsonObject stateJson = Json(state.on(rig.topic("state")).constFirst().payload);

    // Subscribed after the link published: only retained configs arrive.
    MosquittoSubscriber sub(broker_->port(), topic);
    QVERIFY(QTest::qWaitFor([&] { return !sub.on(topic.toUtf8()).isEmpty(); }, 10000));
    const SeenMessage config = sub.on(topic.toUtf8()).constFirst();
    QVERIFY(config.retained);
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(config.payload, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);

    QCOMPARE(o[QStringLiteral("state_topic")].toString(), QString::fromUtf8(rig.topic("state")));
    QVERIFY(!o[QStringLiteral("name")].toString().isEmpty());
    QVERIFY(o[QStringLiteral("unique_id")].toString().startsWith(QStringLiteral("test_discovery")));
    QCOMPARE(o[QStringLiteral("availability_topic")].toString(),
             QString::fromUtf8(rig.topic("availability")));
    QCOMPARE(o[QStringLiteral("payload_available")].toString(), QStringLiteral("online"));
    const QJsonObject device = o[QStringLiteral("device")].toObject();
    QCOMPARE(device[QStringLiteral("identifiers")].toArray().first().toString(),
             QStringLiteral("test_discovery"));
    QVERIFY(!device[QStringLiteral("name")].toString().isEmpty());
    QCOMPARE(o[QStringLiteral("unit_of_measurement")].toString(), unit);
    QCOMPARE(o[QStringLiteral("device_class")].toString(), deviceClass);
    QVERIFY(o[QStringLiteral("value_template")].toString().contains(QStringLiteral("value_json.") +
                                                                    field));
    QVERIFY2(stateJson.contains(field), qPrintable(field));
}

void TstMqttE2e::discoveryOffRemovesConfigs()
{
    Rig rig(broker_->port(), QStringLiteral("nodiscovery"));
    rig.start();
    QVERIFY(rig.connected());
    const QString pattern = QStringLiteral("homeassistant/+/test_nodiscovery/+/config");
    {
        MosquittoSubscriber sub(broker_->port(), pattern);
        QVERIFY(QTest::qWaitFor([&] { return sub.messages().size() == 4; }, 10000));
    }
    rig.store.values[QStringLiteral("Mqtt/Discovery")] = QStringLiteral("false");
    rig.start();
    QVERIFY(rig.connected());
    MosquittoSubscriber sub(broker_->port(), pattern);
    QVERIFY(sub.ready());
    QCOMPARE(sub.messages().size(), 1); // the probe alone: no retained config left
}

void TstMqttE2e::commands_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("leaf");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("alarmSteps");
    QTest::addColumn<int>("peakToggles");

    const QByteArray binary("\x00\xff\x01\xfe\n\r\x80", 7);
    QTest::newRow("off: alarm ignored") << false << "alarm" << QByteArray("1") << 0 << 0;
    QTest::newRow("off: peak ignored") << false << "peak" << QByteArray("1") << 0 << 0;
    QTest::newRow("on: alarm") << true << "alarm" << QByteArray("step") << 1 << 0;
    QTest::newRow("on: peak") << true << "peak" << QByteArray("") << 0 << 1;
    QTest::newRow("on: binary alarm") << true << "alarm" << binary << 1 << 0;
    QTest::newRow("on: 64 bytes") << true << "alarm" << QByteArray(64, 'x') << 1 << 0;
    QTest::newRow("on: 65 bytes ignored") << true << "alarm" << QByteArray(65, 'x') << 0 << 0;
    QTest::newRow("on: 1 MB ignored") << true << "alarm" << QByteArray(1 << 20, 'x') << 0 << 0;
    QTest::newRow("on: 1 MB binary ignored")
        << true << "peak" << binary.repeated((1 << 20) / 7) << 0 << 0;
    QTest::newRow("on: other topic ignored") << true << "transmit" << QByteArray("1") << 0 << 0;
    QTest::newRow("on: below a command ignored")
        << true << "alarm/now" << QByteArray("1") << 0 << 0;
}

void TstMqttE2e::commands()
{
    QFETCH(bool, on);
    QFETCH(QString, leaf);
    QFETCH(QByteArray, payload);
    QFETCH(int, alarmSteps);
    QFETCH(int, peakToggles);

    Rig rig(broker_->port(), QStringLiteral("commands"),
            {QStringLiteral("Commands=") + QLatin1String(on ? "true" : "false")});
    QSignalSpy alarm(&rig.link, &MqttLink::stepAlarmRequested);
    QSignalSpy peak(&rig.link, &MqttLink::togglePeakRequested);
    rig.start();
    QVERIFY(rig.connected());
    QTest::qWait(300); // the subscription settles

    const QString cmd = rig.prefix + QStringLiteral("/cmd/");
    QVERIFY(PublishWithMosquittoPub(broker_->port(), cmd + leaf, payload));
    if (on) {
        // A peak command after it, in order on the same path, marks that
        // the case's message has been handled.
        QVERIFY(PublishWithMosquittoPub(broker_->port(), cmd + QStringLiteral("peak"), "fence"));
        QVERIFY(QTest::qWaitFor([&] { return peak.size() == peakToggles + 1; }, 10000));
    } else {
        QTest::qWait(1000);
    }
    QCOMPARE(alarm.size(), alarmSteps);
    QCOMPARE(peak.size(), peakToggles + (on ? 1 : 0));
    QCOMPARE(rig.link.client().state(), State::Connected);
}

void TstMqttE2e::brokerAbsentAtStart()
{
    PortHold hold; // refused as a free port is, and kept for the broker
    const quint16 port = hold.port();
    Rig rig(port, QStringLiteral("absent"));
    rig.start();
    QVERIFY(QTest::qWaitFor([&] { return rig.link.client().state() == State::Retrying; }, 5000));
    QCOMPARE(rig.link.client().retryPauseMs(), 1000);
    QVERIFY2(rig.link.statusText().startsWith(QStringLiteral("MQTT: retrying in 1 s")),
             qPrintable(rig.link.statusText()));
    QVERIFY(QTest::qWaitFor([&] { return rig.link.client().retryPauseMs() == 2000; }, 10000));

    MosquittoBroker late({}, port);
    QVERIFY2(late.isRunning(), qPrintable(late.log()));
    MosquittoSubscriber sub(port, rig.prefix + QStringLiteral("/#"));
    QVERIFY(rig.connected(40000));
    QVERIFY(sub.waitFor(rig.topic("availability"), "no meter"));
    QCOMPARE(rig.link.statusText(), QStringLiteral("MQTT: connected to 127.0.0.1:%1").arg(port));
}

void TstMqttE2e::credentials_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("status"); // how the window's status line begins

    // Debian's mosquitto answers "not authorised" to every bad login.
    QTest::newRow("no user name") << ""
                                  << ""
                                  << "MQTT: refused: not authorised; retrying in";
    QTest::newRow("wrong password") << "alice"
                                    << "Wr0ng-pass"
                                    << "MQTT: refused: not authorised";
    QTest::newRow("unknown user") << "mallory"
                                  << "s3cret-pass"
                                  << "MQTT: refused: not authorised";
    QTest::newRow("right password") << "alice"
                                    << "s3cret-pass"
                                    << "MQTT: connected to";
}

namespace {
QStringList* capturedLog = nullptr;
void CaptureLog(QtMsgType, const QMessageLogContext&, const QString& text)
{
    if (capturedLog)
        capturedLog->append(text);
}
} // namespace

void TstMqttE2e::credentials()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, status);

    MosquittoBroker broker({{QStringLiteral("alice"), QStringLiteral("s3cret-pass")}});
    QVERIFY2(broker.isRunning(), qPrintable(broker.log()));
    Rig rig(broker.port(), QStringLiteral("credentials"),
            {QStringLiteral("User=") + user, QStringLiteral("Password=") + password});

    QStringList log;
    capturedLog = &log;
    QLoggingCategory::setFilterRules(QStringLiteral("vossbridge.*=true"));
    const QtMessageHandler previous = qInstallMessageHandler(CaptureLog);
    rig.start();
    const bool reached =
        QTest::qWaitFor([&] { return rig.link.statusText().startsWith(status); }, 10000);
    // Changed settings make the link log in again, and that login logs too.
    rig.store.values[QStringLiteral("Mqtt/ClientId")] += QStringLiteral("-again");
    rig.link.applySettings(rig.store);
    QTest::qWait(200);
    qInstallMessageHandler(previous);
    capturedLog = nullptr;

    QVERIFY2(reached, qPrintable(rig.link.statusText()));
    QVERIFY(!log.isEmpty());
    if (!password.isEmpty())
        QVERIFY2(!log.join(u'\n').contains(password), qPrintable(log.join(u'\n')));
}

void TstMqttE2e::brokerRestart()
{
    MosquittoBroker broker;
    Rig rig(broker.port(), QStringLiteral("restart"));
    rig.start();
    QVERIFY(rig.connected());

    // Readings keep coming while the broker goes and returns.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { rig.link.updateReading(Reading(++ticks), 0, false); });
    tick.start(50);
    QTest::qWait(300);
    broker.stop();
    QVERIFY(QTest::qWaitFor([&] { return rig.link.client().state() == State::Retrying; }, 10000));
    QVERIFY2(rig.link.statusText().contains(QStringLiteral("retrying in")),
             qPrintable(rig.link.statusText()));

    QVERIFY(broker.start());
    MosquittoSubscriber sub(broker.port(), rig.prefix + QStringLiteral("/#"));
    QVERIFY(rig.connected(40000));
    QVERIFY(sub.waitFor(rig.topic("availability"), "online"));
    const int after = ticks;
    QVERIFY(QTest::qWaitFor(
        [&] {
            return Json(sub.lastPayload(rig.topic("state")))[QStringLiteral("power")].toInt() >
                   after;
        },
        10000));
}

void TstMqttE2e::hungBroker()
{
    // Takes the connection and never says a word.
    QTcpServer hung;
    QVERIFY(hung.listen(QHostAddress::LocalHost, 0));
    int accepted = 0;
    QObject::connect(&hung, &QTcpServer::newConnection, [&] {
        while (hung.hasPendingConnections()) {
            hung.nextPendingConnection()->setParent(&hung);
            ++accepted;
        }
    });
    Rig rig(hung.serverPort(), QStringLiteral("hung"));
    rig.link.client().setConnectTimeout(1000);

    // A 10 ms tick like the window's, handing a reading over each time, and
    // the ticks each connection attempt let through.
    int ticks = 0;
    QList<int> ticksPerAttempt;
    State was = State::Off;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++ticks;
        const State now = rig.link.client().state();
        if (now == State::Connecting && was != State::Connecting)
            ticksPerAttempt << 0;
        if (now == State::Connecting)
            ++ticksPerAttempt.last();
        was = now;
        rig.link.updateReading(Reading(ticks), 0, false);
    });
    tick.start(10);
    rig.start();

    // Two attempts time out, with a pause of 1 s and then 2 s after them.
    QVERIFY(QTest::qWaitFor([&] { return rig.link.client().retryPauseMs() == 2000; }, 30000));
    QVERIFY2(rig.link.statusText().contains(QStringLiteral("no answer from the broker")),
             qPrintable(rig.link.statusText()));
    QCOMPARE(accepted, 2);
    // A blocking connect or read would hold the tick for a whole attempt:
    // each attempt lets ticks through, however slow the machine.
    QVERIFY2(ticksPerAttempt.size() == 2 &&
                 std::accumulate(ticksPerAttempt.begin(), ticksPerAttempt.end(), 0) >= 40 &&
                 *std::min_element(ticksPerAttempt.begin(), ticksPerAttempt.end()) >= 10,
             qPrintable(QString::number(ticksPerAttempt.size())));
}

void TstMqttE2e::tls_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("caFile");
    QTest::addColumn<QString>("status"); // what the window's status line holds

    QTest::newRow("right CA, the certificate's name") << "localhost"
                                                      << "ca.pem"
                                                      << "MQTT: connected to localhost:";
    QTest::newRow("right CA, an address the certificate does not name")
        << "127.0.0.1"
        << "ca.pem"
        << "(broker's certificate refused: IP address mismatch)";
    QTest::newRow("another CA") << "localhost"
                                << "other-ca.pem"
                                << "(broker's certificate refused: unable to get local issuer";
    QTest::newRow("CA file missing") << "localhost"
                                     << "missing.pem"
                                     << "(the CA file";
    QTest::newRow("CA file without a certificate") << "localhost"
                                                   << "broker.key"
                                                   << "can't be used";
}

void TstMqttE2e::tls()
{
    QFETCH(QString, host);
    QFETCH(QString, caFile);
    QFETCH(QString, status);
    static const TestCertificates certificates;
    QVERIFY(certificates.made());
    MosquittoBroker broker({}, 0, certificates.listenerOptions());
    QVERIFY2(broker.isRunning(), qPrintable(broker.log()));
    Rig rig(broker.port(), QStringLiteral("tls"),
            {QStringLiteral("Broker=%1:%2").arg(host).arg(broker.port()),
             QStringLiteral("CaFile=") + certificates.path(caFile.toLatin1().constData())});
    rig.start();
    QVERIFY2(QTest::qWaitFor([&] { return rig.link.statusText().contains(status); }, 10000),
             qPrintable(rig.link.statusText()));
}

void TstMqttE2e::tlsNamesTheBroker()
{
    // A TLS server that ends the handshake unless the client names it
    // "localhost", and shows what comes through: a broker behind a proxy
    // that routes by name sees the same. "localhost" may stand for ::1
    // first, where nothing listens.
    static const TestCertificates certificates;
    QVERIFY(certificates.made());
    PortHold hold;
    const QString cert = certificates.path("broker.pem"), key = certificates.path("broker.key");
    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(QStringLiteral("openssl"),
                 {"s_server", "-naccept", "1", "-accept",
                  QStringLiteral("127.0.0.1:%1").arg(hold.port()), "-cert", cert, "-key", key,
                  "-cert2", cert, "-key2", key, "-servername", "localhost", "-servername_fatal"});
    QByteArray seen;
    const auto saw = [&](const char* text) {
        return QTest::qWaitFor(
            [&] {
                seen += server.readAll();
                return seen.contains(text);
            },
            10000);
    };
    QVERIFY2(saw("ACCEPT"), seen.constData());
    Rig rig(hold.port(), QStringLiteral("sni"),
            {QStringLiteral("Broker=localhost:%1").arg(hold.port()),
             QStringLiteral("CaFile=") + certificates.path("ca.pem")});
    rig.start();
    // The client's CONNECT, through the handshake.
    QVERIFY2(saw("MQTT"), qPrintable(rig.link.statusText() + u'\n' + QString::fromLatin1(seen)));
    server.kill();
    server.waitForFinished();
}

void TstMqttE2e::slowLink()
{
    // 300 ms each way and 20 KB/s, as a radio link to a distant broker.
    SlowLink slow(broker_->port(), 300, 20000);
    Rig rig(slow.port(), QStringLiteral("slow"), {QStringLiteral("Rate=5")});
    TickedReadings readings(rig, broker_->port());
    QVERIFY(readings.sub.ready());
    rig.start();
    QVERIFY(rig.connected());

    QVERIFY(readings.handOver());
    // The latest reading wins, and arrives.
    QVERIFY(readings.lastSeen(TickedReadings::Readings, 10000));
    QList<int> powers;
    for (const SeenMessage& m : readings.sub.on(rig.topic("state")))
        powers << Json(m.payload)[QStringLiteral("power")].toInt();
    QVERIFY2(std::is_sorted(powers.begin(), powers.end()) &&
                 std::adjacent_find(powers.begin(), powers.end()) == powers.end(),
             qPrintable(QString::number(powers.size())));
    QVERIFY2(powers.size() <= AtRate(5, readings.ms) && powers.size() >= 3,
             qPrintable(QString::number(powers.size())));

    // The path dies without a word: the keep-alive notices within two of
    // its periods, and the link comes back on a new connection. Readings
    // handed over meanwhile wait in the link, never in the tick: a write
    // that blocked on the stalled path would let no tick through.
    slow.stall();
    readings.ticks = 0;
    readings.tick.start(50);
    QVERIFY(QTest::qWaitFor([&] { return rig.link.client().state() != State::Connected; }, 60000));
    readings.tick.stop();
    QVERIFY2(readings.ticks >= 20, qPrintable(QString::number(readings.ticks)));
    QVERIFY2(rig.link.statusText().contains(QStringLiteral("keep-alive")),
             qPrintable(rig.link.statusText()));
    QVERIFY(rig.connected(20000));
    QCOMPARE(slow.connectionsMade(), 2);
    rig.link.updateReading(Reading(TickedReadings::Readings + 1), 0, false);
    QVERIFY(readings.lastSeen(TickedReadings::Readings + 1, 10000));
}

void TstMqttE2e::protectionState()
{
    Rig rig(broker_->port(), QStringLiteral("protection"));
    rig.start();
    QVERIFY(rig.connected());
    const QString reason = QStringLiteral("SWR protection unkeyed the rig at 12:00:07");
    rig.link.setProtection(true, reason);
    {
        // Retained: a client that comes later learns of the latch.
        MosquittoSubscriber late(broker_->port(), QString::fromUtf8(rig.topic("protection")));
        QVERIFY(
            QTest::qWaitFor([&] { return !late.on(rig.topic("protection")).isEmpty(); }, 10000));
        const SeenMessage m = late.on(rig.topic("protection")).constFirst();
        QVERIFY(m.retained);
        QCOMPARE(Json(m.payload), (QJsonObject{{"latched", true}, {"reason", reason}}));
    }
    rig.link.setProtection(false, {});
    MosquittoSubscriber late(broker_->port(), QString::fromUtf8(rig.topic("protection")));
    QVERIFY(late.waitFor(rig.topic("protection"), R"({"latched":false,"reason":""})"));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--link-helper") == 0)
        return RunLinkHelper(static_cast<quint16>(QByteArray(argv[2]).toUInt()),
                             QString::fromLocal8Bit(argv[3]));
    TstMqttE2e test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mqtt_e2e.moc"
