// SPDX-License-Identifier: GPL-3.0-or-later
// A reading box that nobody uses paints its readings without handing them to
// its line edit; whoever reaches for the text finds the one shown.
#include "ReadingBox.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

class TestReadingBox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lineEditHoldsWhatIsShownWhenReached_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("selected");
        QTest::newRow("focus") << "focus"
                               << "";
        QTest::newRow("double click selects a word") << "double click"
                                                     << "2500";
        QTest::newRow("focus, select all and copy") << "select all"
                                                    << "2500.00";
    }
    void lineEditHoldsWhatIsShownWhenReached()
    {
        QFETCH(QString, how);
        QFETCH(QString, selected);
        QWidget window;
        ReadingBox box(QStringLiteral("Text2"), &window);
        box.setGeometry(0, 0, 120, 24);
        QLineEdit other(&window);
        other.setGeometry(0, 30, 120, 24);
        window.show();
        other.setFocus();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const char* reading : {"1.20", "1.35", "2500.00"})
            box.setText(QString::fromLatin1(reading));
        QCOMPARE(box.text(), QStringLiteral("2500.00"));

        QLineEdit& lineEdit = box;
        if (how == u"double click") {
            QTest::mouseDClick(&box, Qt::LeftButton, {}, QPoint(12, 12));
        } else {
            box.setFocus();
            if (how == u"select all")
                QTest::keySequence(&box, QKeySequence::SelectAll);
        }
        QCOMPARE(lineEdit.text(), QStringLiteral("2500.00"));
        QCOMPARE(lineEdit.selectedText(), selected);
        if (!selected.isEmpty()) {
            lineEdit.copy();
            QCOMPARE(QApplication::clipboard()->text(), selected);
        }
    }
};

QTEST_MAIN(TestReadingBox)
#include "tst_readingbox.moc"
