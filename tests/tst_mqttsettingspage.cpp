// SPDX-License-Identifier: GPL-3.0-or-later
// Page "MQTT" of the Settings dialog and the keys of group "Mqtt".
#include "FakeSettingsStore.h"
#include "MqttSettings.h"
#include "MqttSettingsPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

class TstMqttSettingsPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaultsOnFirstRun();
    void storedPrefixThatCantBeUsedReadsAsDefault_data();
    void storedPrefixThatCantBeUsedReadsAsDefault();
    void brokerText_data();
    void brokerText();
    void badFieldRefusedWithReason_data();
    void badFieldRefusedWithReason();
    void goodFieldsSavedTogether();
};

void TstMqttSettingsPage::defaultsOnFirstRun()
{
    FakeSettingsStore store;
    using namespace MqttSettings;
    QCOMPARE(Enabled.read(store), false);
    QCOMPARE(Broker.read(store), QStringLiteral("localhost:1883"));
    QVERIFY(ClientId.read(store).startsWith(QStringLiteral("vossbridge-")));
    QVERIFY(Prefix.read(store).startsWith(QStringLiteral("vossbridge/")));
    QVERIFY(PrefixProblem(Prefix.read(store)).isEmpty());
    QCOMPARE(Rate.read(store), 5);
    QCOMPARE(Discovery.read(store), true);
    QCOMPARE(Commands.read(store), false);
    QVERIFY(store.saves.isEmpty());
}

void TstMqttSettingsPage::storedPrefixThatCantBeUsedReadsAsDefault_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("kept");

    QTest::newRow("plain") << "shack/meter" << true;
    QTest::newRow("one level") << "meter" << true;
    QTest::newRow("multi-level wildcard") << "shack/#" << false;
    QTest::newRow("single-level wildcard") << "shack/+/meter" << false;
    QTest::newRow("plus inside a word") << "a+b" << false;
    QTest::newRow("leading slash") << "/shack" << false;
    QTest::newRow("trailing slash") << "shack/" << false;
    QTest::newRow("blank") << "   " << false;
}

void TstMqttSettingsPage::storedPrefixThatCantBeUsedReadsAsDefault()
{
    QFETCH(QString, stored);
    QFETCH(bool, kept);
    FakeSettingsStore store;
    store.values[QStringLiteral("Mqtt/Prefix")] = stored;
    QCOMPARE(MqttSettings::Prefix.read(store), kept ? stored : MqttSettings::Prefix.defaultValue);
}

void TstMqttSettingsPage::brokerText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host"); // empty: refused
    QTest::addColumn<int>("port");

    QTest::newRow("name and port") << "broker.lan:8883"
                                   << "broker.lan" << 8883;
    QTest::newRow("name alone") << "broker.lan"
                                << "broker.lan" << 1883;
    QTest::newRow("IPv4") << "192.168.1.2:1884"
                          << "192.168.1.2" << 1884;
    QTest::newRow("IPv6 in brackets") << "[::1]:1883"
                                      << "::1" << 1883;
    QTest::newRow("IPv6 in brackets, default port") << "[::1]"
                                                    << "::1" << 1883;
    QTest::newRow("IPv6 without brackets") << "::1"
                                           << "" << 0;
    QTest::newRow("port 0") << "host:0"
                            << "" << 0;
    QTest::newRow("port 65536") << "host:65536"
                                << "" << 0;
    QTest::newRow("port not a number") << "host:mqtt"
                                       << "" << 0;
    QTest::newRow("empty port") << "host:"
                                << "" << 0;
    QTest::newRow("no host") << ":1883"
                             << "" << 0;
    QTest::newRow("blank inside") << "my host:1883"
                                  << "" << 0;
    QTest::newRow("empty") << ""
                           << "" << 0;
}

void TstMqttSettingsPage::brokerText()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(int, port);
    const auto broker = ParseHostPort(text, MqttSettings::DefaultPort);
    QCOMPARE(broker.has_value(), !host.isEmpty());
    if (broker) {
        QCOMPARE(broker->host, host);
        QCOMPARE(int(broker->port), port);
    }
}

void TstMqttSettingsPage::badFieldRefusedWithReason_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason"); // a word the shown reason holds

    QTest::newRow("prefix with #") << "Prefix"
                                   << "shack/#"
                                   << "wildcards";
    QTest::newRow("prefix with +") << "Prefix"
                                   << "shack/+"
                                   << "wildcards";
    QTest::newRow("prefix with leading /") << "Prefix"
                                           << "/shack"
                                           << "start with /";
    QTest::newRow("prefix empty") << "Prefix"
                                  << ""
                                  << "empty";
    QTest::newRow("broker without host") << "Broker"
                                         << ":1883"
                                         << "broker";
    QTest::newRow("broker port too high") << "Broker"
                                          << "host:70000"
                                          << "broker";
    QTest::newRow("broker port words, as every page says them") << "Broker"
                                                                << "host:70000"
                                                                << "port from 1 to 65535";
    QTest::newRow("client id empty") << "ClientId"
                                     << " "
                                     << "Mqtt/ClientId";
    QTest::newRow("CA file missing") << "CaFile"
                                     << "/nonexistent/ca.pem"
                                     << "can be read";
}

void TstMqttSettingsPage::badFieldRefusedWithReason()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, reason);

    FakeSettingsStore store;
    MqttSettingsPage page(store);
    QSignalSpy applied(&page, &MqttSettingsPage::applied);
    page.findChild<QLineEdit*>(field)->setText(text);
    QVERIFY(!page.apply());
    QVERIFY2(page.problem().contains(reason, Qt::CaseInsensitive), qPrintable(page.problem()));
    QVERIFY(!page.findChild<QLabel*>(QStringLiteral("Problem"))->isHidden());
    QVERIFY(store.saves.isEmpty());
    QCOMPARE(applied.size(), 0);
}

void TstMqttSettingsPage::goodFieldsSavedTogether()
{
    FakeSettingsStore store;
    MqttSettingsPage page(store);
    QSignalSpy applied(&page, &MqttSettingsPage::applied);
    page.findChild<QLineEdit*>(QStringLiteral("Prefix"))->setText(QStringLiteral("/bad"));
    QVERIFY(!page.apply());

    page.findChild<QCheckBox*>(QStringLiteral("Enabled"))->setChecked(true);
    page.findChild<QLineEdit*>(QStringLiteral("Broker"))->setText(QStringLiteral("[::1]:1884"));
    page.findChild<QLineEdit*>(QStringLiteral("User"))->setText(QStringLiteral("alice"));
    page.findChild<QLineEdit*>(QStringLiteral("Password"))->setText(QStringLiteral(" pass "));
    page.findChild<QLineEdit*>(QStringLiteral("Prefix"))->setText(QStringLiteral("shack/meter"));
    page.findChild<QSpinBox*>(QStringLiteral("Rate"))->setValue(2);
    page.findChild<QCheckBox*>(QStringLiteral("Commands"))->setChecked(true);
    QVERIFY(page.apply());
    QVERIFY(page.problem().isEmpty());
    QCOMPARE(applied.size(), 1);

    // Every key in one save, as the keys' own texts.
    QCOMPARE(store.saves.size(), 10);
    QCOMPARE(store.values.value(QStringLiteral("Mqtt/Enabled")), QStringLiteral("true"));
    QCOMPARE(store.values.value(QStringLiteral("Mqtt/Broker")), QStringLiteral("[::1]:1884"));
    QCOMPARE(store.values.value(QStringLiteral("Mqtt/Password")), QStringLiteral(" pass "));
    QCOMPARE(store.values.value(QStringLiteral("Mqtt/Rate")), QStringLiteral("2"));
    QCOMPARE(store.values.value(QStringLiteral("Mqtt/Discovery")), QStringLiteral("true"));
    QCOMPARE(store.values.value(QStringLiteral("Mqtt/Commands")), QStringLiteral("true"));

    // A new page shows what was saved.
    MqttSettingsPage again(store);
    QCOMPARE(again.findChild<QLineEdit*>(QStringLiteral("Prefix"))->text(),
             QStringLiteral("shack/meter"));
    QCOMPARE(again.findChild<QSpinBox*>(QStringLiteral("Rate"))->value(), 2);
}

QTEST_MAIN(TstMqttSettingsPage)
#include "tst_mqttsettingspage.moc"
