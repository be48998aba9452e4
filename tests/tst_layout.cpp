// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowRig.h"

#include <QLayout>
#include <QMenuBar>
#include <QTest>

namespace {
struct Window : WindowRig {
    Window() { create(); }
    QWidget* control(const QString& name) const
    {
        return window->centralWidget()->findChild<QWidget*>(name);
    }
};
} // namespace

class TestLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Rectangles in pixels: the window's twips divided by 15.
    void everyControlInItsPlace_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hidden");
        const auto row = [](const char* name, const char* kind, QRect rect, const char* text,
                            bool hidden = false) {
            QTest::newRow(name) << QString::fromLatin1(kind) << rect << QString::fromLatin1(text)
                                << hidden;
        };
        row("Label4", "QLabel", {8, 8, 41, 17}, "Power");
        row("LblPwr", "QLabel", {48, 8, 49, 17}, "");
        row("LblW", "QLabel", {96, 8, 17, 17}, "W", true);
        row("Label5", "QLabel", {136, 8, 41, 17}, "SWR");
        row("TxtSWR", "ReadingBox", {176, 8, 49, 19}, "");
        row("Label35", "QLabel", {56, 24, 41, 17}, "Peak", true);
        row("Label36", "QLabel", {56, 24, 41, 17}, "Norm", true);
        row("Label7", "QLabel", {8, 48, 41, 17}, "Range");
        row("LblRange", "QLabel", {48, 48, 49, 17}, "200W");
        row("CmdAlarm", "AlarmButton", {104, 48, 41, 17}, "Alarm");
        row("LblAlarmMode", "QLabel", {144, 48, 33, 17}, "2.0");
        row("CmdPower", "QPushButton", {184, 48, 65, 17}, "Fast/Slow");
        row("TxtVector(0)", "ReadingBox", {8, 80, 41, 19}, "");
        row("TxtVector(1)", "ReadingBox", {72, 80, 41, 19}, "");
        row("TxtVector(2)", "ReadingBox", {136, 80, 41, 19}, "");
        row("TxtVector(3)", "ReadingBox", {200, 80, 41, 19}, "");
        row("Label8", "QLabel", {0, 104, 57, 17}, "Resistance");
        row("Label9", "QLabel", {64, 104, 57, 17}, "Phase");
        row("Label10", "QLabel", {128, 104, 57, 17}, "Impedance");
        row("Label11", "QLabel", {192, 104, 57, 17}, "Reactance");
        row("Combo1", "QComboBox", {8, 128, 57, 21}, "Com1");
        row("HScroll1", "QScrollBar", {96, 128, 105, 17}, "");
        row("TxtPollrate", "ReadingBox", {200, 128, 41, 19}, "");
        row("Text1", "ReadingBox", {8, 160, 241, 19}, "");
        row("Text2", "ReadingBox", {8, 192, 49, 19}, "Text2");
        row("Text4", "ReadingBox", {120, 192, 49, 19}, "Text2");
        row("Text3", "ReadingBox", {8, 216, 49, 19}, "Text2");
        row("Text5", "ReadingBox", {120, 216, 49, 19}, "Text2");
        row("Label6", "QLabel", {8, 240, 65, 17}, "");
        row("Label12", "QLabel", {120, 240, 65, 17}, "");
        row("Cmd15", "QPushButton", {40, 320, 33, 17}, "1.5");
        row("Cmd20", "QPushButton", {40, 344, 33, 17}, "2.0");
    }
    void everyControlInItsPlace()
    {
        QFETCH(QString, kind);
        QFETCH(QRect, rect);
        QFETCH(QString, text);
        QFETCH(bool, hidden);
        Window w;
        w.window->show();
        QWidget* control = w.control(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(control);
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), kind);
        // The grid's rectangles, scaled as a whole to the font in use.
        const double s = w.window->controls().scale;
        QCOMPARE(control->geometry(), QRect(qRound(rect.x() * s), qRound(rect.y() * s),
                                            qRound(rect.width() * s), qRound(rect.height() * s)));
        QCOMPARE(control->isVisible(), !hidden);
        QString shown;
        if (auto* label = qobject_cast<QLabel*>(control))
            shown = label->text();
        else if (auto* box = qobject_cast<QLineEdit*>(control))
            shown = box->text();
        else if (auto* button = qobject_cast<QPushButton*>(control))
            shown = button->text();
        else if (auto* combo = qobject_cast<QComboBox*>(control))
            shown = combo->currentText();
        QCOMPARE(shown, text);
        // No control reaches beyond the client width.
        QVERIFY(rect.right() < 3780 / 15);
    }

    void readingFieldsStandOut()
    {
        Window w;
        for (const char* name : {"LblPwr", "LblRange", "LblAlarmMode", "LblW", "Label35"}) {
            auto* label = qobject_cast<QLabel*>(w.control(QString::fromLatin1(name)));
            QVERIFY(label);
            QCOMPARE(label->font().pointSizeF(), 9.75);
            QCOMPARE(label->alignment(), Qt::AlignCenter);
        }
        for (const char* name : {"LblPwr", "LblRange", "LblAlarmMode"}) {
            auto* label = qobject_cast<QLabel*>(w.control(QString::fromLatin1(name)));
            QCOMPARE(label->frameShape(), QFrame::Box);
            QVERIFY(label->autoFillBackground());
            QCOMPARE(label->backgroundRole(), QPalette::Base);
        }
        auto* power = qobject_cast<QLabel*>(w.control(QStringLiteral("Label4")));
        QCOMPARE(power->frameShape(), QFrame::Box);
        QCOMPARE(power->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }

    void windowAndClientArea()
    {
        Window w;
        QCOMPARE(w.window->objectName(), QStringLiteral("Vossbridge"));
        QCOMPARE(w.window->windowTitle(), QStringLiteral("Vossbridge"));
        // As created, before start-up sizes it from the settings.
        w.window->layout()->activate();
        const double s = w.window->controls().scale;
        QCOMPARE(w.window->centralWidget()->size(), QSize(qRound(252 * s), qRound(380 * s)));
    }

    void portListEntries()
    {
        Window w;
        QComboBox* combo = w.window->controls().portList;
        QCOMPARE(combo->count(), 16);
        for (int i = 0; i < 16; ++i) {
            const QString expected = i == 8
                                         ? QStringLiteral("Com09 ")
                                         : QStringLiteral("Com%1").arg(i + 1, 2, 10, QChar(u'0'));
            QCOMPARE(combo->itemText(i), expected);
        }
        QCOMPARE(combo->currentIndex(), -1);
        QVERIFY(combo->isEditable());
    }

    void menuTreeWithNothingChecked()
    {
        Window w;
        const QList<QAction*> top = w.window->menuBar()->actions();
        QStringList captions;
        for (QAction* a : top)
            captions << a->text();
        QCOMPARE(captions, QStringList({"&File", "&Style", "&Tools", "&Help"}));
        const auto items = [](QAction* menu) {
            QStringList texts;
            for (QAction* a : menu->menu()->actions()) {
                texts << a->objectName() + u'=' + a->text();
                if (a->isChecked() || !a->isEnabled() || !a->isVisible() ||
                    !a->shortcut().isEmpty())
                    texts << QStringLiteral("unexpected state of ") + a->objectName();
            }
            return texts;
        };
        QCOMPARE(items(top[0]), QStringList{"mnuExit=&Exit"});
        QCOMPARE(items(top[1]),
                 QStringList({"mnuSmall=&Small", "mnuVector=&Vector", "mnuSetup=&Setup"}));
        QCOMPARE(items(top[2]),
                 QStringList({"mnuSerialDevice=Serial &Device...", "mnuMeterWindow=&Meter Window",
                              "mnuRecord=&Record Readings...", "mnuSettings=S&ettings..."}));
        QCOMPARE(items(top[3]), QStringList({"mnuIndex=&Index", "mnuAbout=&About"}));
    }

    void focusOrderStartsAtSwr()
    {
        Window w;
        w.window->show();
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QCOMPARE(QApplication::focusWidget(), w.control(QStringLiteral("TxtSWR")));

        const QStringList expected{"TxtSWR",       "Text1",        "CmdAlarm",     "Combo1",
                                   "HScroll1",     "TxtPollrate",  "TxtVector(0)", "TxtVector(1)",
                                   "TxtVector(2)", "TxtVector(3)", "CmdPower",     "Text2",
                                   "Text3",        "Text4",        "Text5",        "Cmd15",
                                   "Cmd20"};
        QStringList order;
        QWidget* start = w.control(QStringLiteral("TxtSWR"));
        QWidget* next = start;
        do {
            // The list's editor is part of the list.
            QWidget* owner =
                qobject_cast<QComboBox*>(next->parentWidget()) ? next->parentWidget() : next;
            if ((next->focusPolicy() & Qt::TabFocus) && next->isEnabled() && next->isVisible() &&
                !order.contains(owner->objectName()))
                order << owner->objectName();
            next = next->nextInFocusChain();
        } while (next != start && order.size() < 40);
        QCOMPARE(order, expected);
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
