// SPDX-License-Identifier: GPL-3.0-or-later
// Page "Web page" of the Settings dialog and the keys of group "Web".
#include "FakeSettingsStore.h"
#include "WebSettings.h"
#include "WebSettingsPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

class TstWebSettingsPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tokenMadeOnceAndKept()
    {
        FakeSettingsStore store;
        QCOMPARE(WebSettings::Enabled.read(store), false);
        QCOMPARE(WebSettings::Commands.read(store), false);
        const QString token = WebSettings::EnsureToken(store);
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]{32}$")).match(token).hasMatch());
        QCOMPARE(WebSettings::EnsureToken(store), token);
        QCOMPARE(store.saves, QStringList{QStringLiteral("Web/Token=") + token});
        FakeSettingsStore other;
        QVERIFY(WebSettings::EnsureToken(other) != token);
    }

    void listenAndAddress_data()
    {
        QTest::addColumn<QString>("listen");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("address"); // %1 the machine's name, %2 the token

        QTest::newRow("loopback") << "127.0.0.1:8734" << true << "http://127.0.0.1:8734/";
        QTest::newRow("localhost") << "localhost:80" << true << "http://localhost:80/";
        QTest::newRow("IPv6 loopback") << "[::1]:8734" << true << "http://[::1]:8734/";
        QTest::newRow("every IPv4 address") << "0.0.0.0:8734" << true << "http://%1:8734/?token=%2";
        QTest::newRow("every address") << "[::]:9000" << true << "http://%1:9000/?token=%2";
        QTest::newRow("one LAN address")
            << "192.168.1.5:8734" << true << "http://192.168.1.5:8734/?token=%2";
        QTest::newRow("no port") << "127.0.0.1" << false << "";
        QTest::newRow("port 0") << "127.0.0.1:0" << false << "";
        QTest::newRow("a host name") << "shack.example:8734" << false << "";
    }
    void listenAndAddress()
    {
        QFETCH(QString, listen);
        QFETCH(bool, accepted);
        QFETCH(QString, address);
        FakeSettingsStore store;
        WebSettingsPage page(store);
        const QString token = WebSettings::Token.read(store);
        page.findChild<QLineEdit*>(QStringLiteral("Listen"))->setText(listen);
        page.findChild<QCheckBox*>(QStringLiteral("Enabled"))->setChecked(true);
        store.saves.clear();
        store.batches.clear();
        QCOMPARE(page.apply(), accepted);
        QCOMPARE(page.problem().isEmpty(), accepted);
        if (!accepted) {
            QVERIFY(store.saves.isEmpty());
            return;
        }
        QCOMPARE(store.batches.size(), 1);
        QCOMPARE(WebSettings::Listen.read(store), listen);
        QCOMPARE(WebSettings::Enabled.read(store), true);
        page.findChild<QPushButton*>(QStringLiteral("Copy"))->click();
        const QString expected = QString(address)
                                     .replace(QStringLiteral("%1"), QSysInfo::machineHostName())
                                     .replace(QStringLiteral("%2"), token);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    }
};

QTEST_MAIN(TstWebSettingsPage)
#include "tst_websettingspage.moc"
