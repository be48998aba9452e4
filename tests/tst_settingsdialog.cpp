// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeHostLink.h"
#include "FakeSerialLink.h"
#include "IniSettingsStore.h"
#include "Links.h"
#include "MeterRun.h"
#include "MosquittoBroker.h"
#include "PortHold.h"
#include "SettingRules.h"
#include "SettingsDialog.h"
#include "SettingsPage.h"
#include "ToolsController.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

class TstSettingsDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keyRules_data();
    void keyRules();
    void okRestartsOnlyWhatChanged_data();
    void okRestartsOnlyWhatChanged();
};

void TstSettingsDialog::keyRules_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("refusal"); // empty: allowed
    // clang-format off
    QTest::newRow("rate in range") << "Mqtt/Rate" << "50" << "";
    QTest::newRow("rate too high") << "Mqtt/Rate" << "70" << "Mqtt/Rate: \"70\" is not allowed: a whole number from 1 to 50";
    QTest::newRow("rate in words") << "Mqtt/Rate" << "five" << "a whole number from 1 to 50";
    QTest::newRow("broker port beyond 16 bits") << "Mqtt/Broker" << "shack:70000" << "Mqtt/Broker: \"shack:70000\" is not allowed: a host name";
    QTest::newRow("broker without port") << "Mqtt/Broker" << "shack" << "";
    QTest::newRow("prefix wildcard") << "Mqtt/Prefix" << "a/#" << "without the wildcards";
    QTest::newRow("lower-case bool") << "StationLink/Enabled" << "TRUE" << "";
    QTest::newRow("bool in words") << "StationLink/Enabled" << "yes" << "true or false";
    QTest::newRow("window's bool is capitalised") << "StartUp/mnuSetup" << "true" << "True or False";
    QTest::newRow("listen on a name") << "StationLink/Listen" << "shack:4534" << "localhost or a numeric address";
    QTest::newRow("no rig") << "StationLink/Rig" << "" << "";
    QTest::newRow("SWR below 1") << "StationLink/SwrLimit" << "0.9" << "alarm, or an SWR from 1 to 100";
    QTest::newRow("floor as a decimal") << "StationLink/PowerFloor" << "2.5" << "";
    QTest::newRow("history span not offered") << "MeterWindow/HistoryMinutes" << "7" << "1, 5, 15 or 60";
    QTest::newRow("poll period beyond the bar") << "StartUp/Pollrate" << "5001" << "from 50 to 5000";
    QTest::newRow("short token") << "Web/Token" << "abc" << "16 to 256 letters";
    QTest::newRow("a port's device") << "Ports/Com16" << "/dev/ttyUSB0" << "";
    QTest::newRow("unknown key") << "Mqtt/Colour" << "red" << "Mqtt/Colour: there is no such setting";
    // clang-format on
}

void TstSettingsDialog::keyRules()
{
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(QString, refusal);
    const QString got = SettingRefusal(path, text);
    QVERIFY2(refusal.isEmpty() ? got.isEmpty() : got.contains(refusal), qPrintable(got));
    // Every documented key's default passes its own rule.
    for (const SettingRule& rule : DocumentedSettings())
        if (rule.path != u"Web/Token") // made at first use
            QVERIFY2(rule.refusal(rule.defaultText).isEmpty(), qPrintable(rule.path));
}

namespace {
// "Page/Field=text": a line edit takes the text, a spin box its number, a
// check box toggles.
void Edit(SettingsDialog& dialog, const QString& edit)
{
    const QString page = edit.section(u'/', 0, 0);
    const QString field = edit.section(u'/', 1).section(u'=', 0, 0);
    const QString text = edit.section(u'=', 1);
    QWidget* w = dialog.findChild<QWidget*>(page)->findChild<QWidget*>(field);
    QVERIFY2(w, qPrintable(edit));
    if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(text);
    else if (auto* spin = qobject_cast<QSpinBox*>(w))
        spin->setValue(text.toInt());
    else if (auto* box = qobject_cast<QCheckBox*>(w))
        box->toggle();
}
} // namespace

void TstSettingsDialog::okRestartsOnlyWhatChanged_data()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QString>("refusal"); // empty: stored
    QTest::addColumn<bool>("mqttRestarts");
    QTest::addColumn<bool>("webRestarts");
    QTest::addColumn<bool>("stationRestarts");
    const QString mqtt = QStringLiteral("MqttSettingsPage/");
    const QString web = QStringLiteral("WebSettingsPage/");
    const QString station = QStringLiteral("StationLinkSettingsPage/");
    // clang-format off
    QTest::newRow("nothing changed") << QStringList{} << "" << false << false << false;
    QTest::newRow("MQTT rate") << QStringList{mqtt + "Rate=2"} << "" << true << false << false;
    QTest::newRow("web commands") << QStringList{web + "Commands"} << "" << false << true << false;
    QTest::newRow("station listen") << QStringList{station + "Listen=other"} << "" << false << false << true;
    QTest::newRow("protection keeps clients") << QStringList{station + "Protection"} << "" << false << false << false;
    QTest::newRow("refused broker stops the rest")
        << QStringList{web + "Commands", mqtt + "Broker=shack:70000"}
        << "Mqtt/Broker: \"shack:70000\" is not allowed" << false << false << false;
    // clang-format on
}

void TstSettingsDialog::okRestartsOnlyWhatChanged()
{
    QFETCH(QStringList, edits);
    QFETCH(QString, refusal);
    QFETCH(bool, mqttRestarts);
    QFETCH(bool, webRestarts);
    QFETCH(bool, stationRestarts);

    MosquittoBroker broker;
    QVERIFY2(broker.isRunning(), qPrintable(broker.log()));
    PortHold webPort;
    PortHold stationPort;
    PortHold otherStationPort;
    IniSettingsStore store;
    QFile::remove(store.fileName());
    const auto at = [](const PortHold& p) { return QStringLiteral("127.0.0.1:%1").arg(p.port()); };
    store.save({{"Mqtt", "Enabled", "true"},
                {"Mqtt", "Broker", QStringLiteral("127.0.0.1:%1").arg(broker.port())},
                {"Mqtt", "Prefix", "test/dialog"},
                {"Web", "Enabled", "true"},
                {"Web", "Listen", at(webPort)},
                {"StationLink", "Enabled", "true"},
                {"StationLink", "Listen", at(stationPort)},
                {"StationLink", "Rig", ""}});
    for (QString& e : edits)
        e.replace(QStringLiteral("other"), at(otherStationPort));

    FakeSerialLink serial;
    FakeHostLink host;
    MeterRun run(store, serial, host);
    Links links(run, store);
    std::unique_ptr<SettingsDialog> dialog(
        ToolsController::makeSettingsDialog(links, store, nullptr));

    const auto brokerClients = [&] { return broker.log().count(u"New client connected"); };
    QTRY_VERIFY_WITH_TIMEOUT(links.mqtt().statusText().startsWith(u"MQTT: connected"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(brokerClients(), 1, 10000);
    QWebSocket socket;
    socket.open(QUrl(QStringLiteral("ws://%1/ws").arg(at(webPort))));
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::ConnectedState, 10000);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, stationPort.port());
    QTRY_COMPARE_WITH_TIMEOUT(links.station().clientCount(), 1, 10000);
    QFile file(store.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    QSignalSpy mqttStates(&links.mqtt().client(), &MqttClient::stateChanged);

    for (const QString& e : edits)
        Edit(*dialog, e);
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    // Apply, then OK: what Apply took up, OK does not again.
    buttons->button(QDialogButtonBox::Apply)->click();
    buttons->button(QDialogButtonBox::Ok)->click();
    QVERIFY2(refusal.isEmpty() ? dialog->problem().isEmpty()
                               : dialog->problem().startsWith(refusal),
             qPrintable(dialog->problem()));
    if (!refusal.isEmpty()) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    // A restarted link has settled again when its peer sees it back.
    if (mqttRestarts)
        QTRY_COMPARE_WITH_TIMEOUT(brokerClients(), 2, 10000);
    if (stationRestarts) {
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QAbstractSocket::UnconnectedState, 10000);
        QCOMPARE(links.station().listenPort(), otherStationPort.port());
    }
    if (webRestarts)
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 10000);
    // What stayed still answers: a round trip to each peer passes after the
    // restarts would have shown.
    if (!webRestarts) {
        QSignalSpy pong(&socket, &QWebSocket::pong);
        socket.ping();
        QVERIFY(pong.wait(10000));
    }
    if (!stationRestarts) {
        client.write("\\chk_vfo\n");
        QTRY_VERIFY_WITH_TIMEOUT(client.canReadLine(), 10000);
        QCOMPARE(links.station().clientCount(), 1);
    }
    QCOMPARE(brokerClients(), mqttRestarts ? 2 : 1);
    QCOMPARE(mqttStates.isEmpty(), !mqttRestarts);
}

QTEST_MAIN(TstSettingsDialog)
#include "tst_settingsdialog.moc"
