// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowRig.h"

#include <QSignalSpy>
#include <QTest>

namespace {
struct Rig : WindowRig {
    using WindowRig::WindowRig;
    void start()
    {
        WindowRig::start();
        QTRY_VERIFY(port.portOpen);
    }
    QStringList checks() const
    {
        QStringList marks;
        for (QAction* a : {window->menu().smallAction, window->menu().vectorAction,
                           window->menu().setupAction}) {
            if (a->isChecked())
                marks << a->objectName();
        }
        return marks;
    }
    // In the grid's own pixels, before the layout's scale.
    int clientHeight() const
    {
        return qRound(window->centralWidget()->height() / window->controls().scale);
    }
};
} // namespace

class TestMenus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void styleCommands_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<float>("height");
        QTest::addColumn<QStringList>("saves");
        QTest::addColumn<int>("showsDownTo"); // client pixels that must be inside
        QTest::addColumn<int>("nextRowTop");  // the first row that must stay outside
        QTest::newRow("Small: rows A and B")
            << "mnuSmall" << 1800.0f
            << QStringList{"StartUp/Height=1800", "StartUp/mnuSetup=False", "StartUp/mnuSmall=True",
                           "StartUp/mnuVector=False"}
            << 65 << 80;
        QTest::newRow("Vector: rows A to C")
            << "mnuVector" << 2550.0f
            << QStringList{"StartUp/Height=2550", "StartUp/mnuSetup=False",
                           "StartUp/mnuSmall=False", "StartUp/mnuVector=True"}
            << 120 << 128;
        QTest::newRow("Setup: rows A to E")
            << "mnuSetup" << 3480.0f
            << QStringList{"StartUp/Height=3480", "StartUp/mnuSetup=True", "StartUp/mnuSmall=False",
                           "StartUp/mnuVector=False"}
            << 179 << 192;
    }
    void styleCommands()
    {
        QFETCH(QString, item);
        QFETCH(float, height);
        QFETCH(QStringList, saves);
        QFETCH(int, showsDownTo);
        QFETCH(int, nextRowTop);
        Rig rig;
        rig.start();
        rig.window->run().pausePolling();
        rig.port.reads = {QStringLiteral(";  100.0, 50.0,  0.0,2,  HF  ,0,0,  20,1.20")};
        rig.window->run().pollTick();
        rig.window->run().resumePolling();
        const QString reply = rig.window->controls().replyBox->text();
        rig.store.saves.clear();
        rig.port.calls.clear();
        const int width = rig.window->width();

        // Twice: choosing the active style again does the same.
        for (int i = 0; i < 2; ++i) {
            rig.window->findChild<QAction*>(item)->trigger();
            QCOMPARE(rig.window->outerHeightTwips(), height);
            QCOMPARE(rig.checks(), QStringList{item});
            QCOMPARE(rig.store.saves, saves);
            rig.store.saves.clear();
        }
        QVERIFY2(rig.clientHeight() >= showsDownTo && rig.clientHeight() < nextRowTop,
                 qPrintable(QString::number(rig.clientHeight())));
        // The port, the timer and the readings are left alone.
        QVERIFY(rig.port.calls.isEmpty());
        QVERIFY(rig.window->run().isPolling());
        QCOMPARE(rig.window->controls().replyBox->text(), reply);
        QCOMPARE(rig.window->width(), width);
    }

    void firstRunHeightThenSetup()
    {
        Rig rig(false);
        rig.start();
        QCOMPARE(rig.window->outerHeightTwips(), 3495.0f);
        QVERIFY2(rig.clientHeight() >= 179 && rig.clientHeight() < 192,
                 qPrintable(QString::number(rig.clientHeight())));
        rig.window->showSetupStyle();
        QCOMPARE(rig.window->outerHeightTwips(), 3480.0f);
    }

    void smallStyleSurvivesARestart()
    {
        Rig rig;
        rig.start();
        rig.window->showSmallStyle();
        rig.window->close();
        rig.port.calls.clear();
        rig.start();
        QCOMPARE(rig.window->outerHeightTwips(), 1800.0f);
        QCOMPARE(rig.checks(), QStringList{"mnuSmall"});
    }

    void exitClosesLikeTheCloseBox()
    {
        Rig rig;
        rig.start();
        QSignalSpy unloaded(rig.window.get(), &MainWindow::unloaded);
        rig.window->menu().exitAction->trigger();
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(!rig.window->isVisible());
        QVERIFY(rig.store.saves.contains(QStringLiteral("StartUp/Scale=0")));
        QVERIFY(!rig.port.portOpen);
    }

    void aboutClosesPortUntilTheWindowIsActiveAgain()
    {
        Rig rig;
        rig.start();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        const int links = rig.host.creations;
        rig.window->setGeometry(
            QRect(QPoint(200, 100), rig.window->size())); // the user moves the window
        rig.window->stepAlarm();

        rig.window->showAbout();
        QVERIFY(!rig.port.portOpen);
        AboutDialog* about = rig.window->aboutDialog();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        QVERIFY(QTest::qWaitForWindowActive(about));

        // Ticks meanwhile find the port closed.
        QSignalSpy ticks(rig.window.get(), &MainWindow::tickFinished);
        QTRY_VERIFY(ticks.count() >= 2);
        QCOMPARE(ticks.last().first().value<TickOutcome>(), TickOutcome::PortClosed);

        // Help > About again shows the same dialog.
        rig.window->showAbout();
        QCOMPARE(rig.window->aboutDialog(), about);

        rig.window->activateWindow();
        QTRY_VERIFY(rig.port.portOpen);
        QCOMPARE(rig.window->geometry().topLeft(), QPoint(40, 30)); // back where it was stored
        QVERIFY(!rig.window->run().pendingCommands().any());
        QVERIFY(rig.host.creations > links);
        QVERIFY(rig.window->run().isPolling());

        // OK unloads the dialog; the next About makes a new one.
        QTest::mouseClick(about->okButton, Qt::LeftButton);
        QTRY_VERIFY(rig.window->aboutDialog() == nullptr);
    }

    void helpWindowIsNoActivation()
    {
        Rig rig;
        rig.start();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        rig.port.calls.clear();
        rig.window->showHelpIndex();
        HelpWindow* help = rig.window->helpWindow();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(!help->isModal());
        QVERIFY(QTest::qWaitForWindowActive(help));
        rig.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QVERIFY(rig.port.calls.isEmpty());
        // The manual beside the program, from its top.
        QVERIFY(help->source().toLocalFile().endsWith(QStringLiteral("/TRX.hlp")));
        QCOMPARE(help->documentTitle(), QStringLiteral("Vossbridge manual"));
        for (const char* topic : {"Troubleshooting", "dialout", "/dev/serial/by-id", "brltty",
                                  "ModemManager", "vossbridge-host", "Com01"})
            QVERIFY2(help->toPlainText().contains(QLatin1StringView(topic)), topic);
        QCOMPARE(help->textCursor().position(), 0);
    }

    void helpWithoutManualSaysSo()
    {
        HelpWindow help;
        help.showHelpFile(QStringLiteral("/nonexistent/TRX.hlp"));
        QVERIFY(help.toPlainText().contains(QStringLiteral("/nonexistent/TRX.hlp")));
    }
};

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
