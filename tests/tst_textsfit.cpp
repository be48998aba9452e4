// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the main window readable in full, in the desktop fonts
// Debian ships, at screen scale 1 and (run again with QT_SCALE_FACTOR=2) 2.
#include "WindowRig.h"

#include <QAbstractItemView>
#include <QFontDatabase>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>

namespace {
// The width a control needs for `text`, with the style's own margins.
int NeededWidth(QWidget* w, const QString& text)
{
    const QSize textSize(w->fontMetrics().horizontalAdvance(text), w->fontMetrics().height());
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        return button->style()
            ->sizeFromContents(QStyle::CT_PushButton, &option, textSize, button)
            .width();
    }
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        return list->style()
            ->sizeFromContents(QStyle::CT_ComboBox, &option, textSize, list)
            .width();
    }
    if (auto* label = qobject_cast<QLabel*>(w))
        return textSize.width() + 2 * label->frameWidth();
    return textSize.width() + 4; // a line edit's text margins
}
} // namespace

class TestTextsFit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyTextFitsOrIsInItsTooltip_data()
    {
        QTest::addColumn<QString>("family");
        QTest::newRow("DejaVu Sans 10 pt") << QStringLiteral("DejaVu Sans");
        QTest::newRow("Noto Sans 10 pt") << QStringLiteral("Noto Sans");
    }
    void everyTextFitsOrIsInItsTooltip()
    {
        QFETCH(QString, family);
        if (!QFontDatabase::families().contains(family))
            QSKIP("font not installed; scripts/deps installs it");
        const QFont before = QApplication::font();
        QApplication::setFont(QFont(family, 10));
        WindowRig rig;
        rig.start();
        // Readings at their widest: 2500 W, vector values in general number form.
        rig.window->run().pausePolling();
        rig.port.reads = {QStringLiteral(";2500.00,123.4,-45.6,4,  HF  ,0,1,  20,9.99")};
        rig.window->run().pollTick();

        int checked = 0;
        for (QWidget* w : rig.window->centralWidget()->findChildren<QWidget*>()) {
            QStringList texts;
            if (auto* label = qobject_cast<QLabel*>(w))
                texts << label->text();
            else if (auto* button = qobject_cast<QPushButton*>(w))
                texts << button->text();
            else if (auto* reading = qobject_cast<ReadingBox*>(w))
                texts << reading->text();
            else if (auto* box = qobject_cast<QLineEdit*>(w);
                     box && !w->parentWidget()->inherits("QComboBox"))
                texts << box->text();
            else if (auto* list = qobject_cast<QComboBox*>(w))
                for (int i = 0; i < list->count(); ++i)
                    texts << list->itemText(i);
            for (const QString& text : texts) {
                if (text.isEmpty())
                    continue;
                ++checked;
                const bool fits = NeededWidth(w, text) <= w->width();
                const QString why = QStringLiteral("%1: \"%2\" needs %3 of %4")
                                        .arg(w->objectName(), text)
                                        .arg(NeededWidth(w, text))
                                        .arg(w->width());
                QVERIFY2(fits || w->toolTip() == text, qPrintable(why));
            }
        }
        QVERIFY(checked > 30);
        // The open port list shows its entries whole.
        const QComboBox* list = rig.c().portList;
        QVERIFY(list->view()->minimumWidth() >=
                list->view()->fontMetrics().horizontalAdvance(QStringLiteral("Com16")));
        QApplication::setFont(before);
    }
};

QTEST_MAIN(TestTextsFit)
#include "tst_textsfit.moc"
