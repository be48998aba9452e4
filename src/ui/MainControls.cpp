// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainControls.h"

#include "StartUpSettings.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>
#include <QProxyStyle>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// A control's rectangle on the grid, in twips.
struct Twips {
    int left, top, width, height;
};

// Every control with its rectangle, for placing them again once the scale
// is known.
std::vector<std::pair<QWidget*, Twips>>* placed = nullptr;

template <typename Widget> Widget* Place(Widget* widget, QStringView name, Twips at)
{
    widget->setObjectName(name.toString());
    widget->setGeometry(FromTwips(at.left, at.top, at.width, at.height));
    if (placed)
        placed->emplace_back(widget, at);
    return widget;
}

// How much larger than drawn a control must be for `text` to fit.
double NeededScale(QWidget* w, const QString& text)
{
    if (text.isEmpty())
        return 1;
    const QFontMetrics fm = w->fontMetrics();
    const QSize textSize(fm.horizontalAdvance(text), fm.height());
    QSize need = textSize + QSize(6, 2);
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        need.setWidth(button->style()
                          ->sizeFromContents(QStyle::CT_PushButton, &option, textSize, button)
                          .width());
    } else if (auto* list = qobject_cast<QComboBox*>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        need.setWidth(
            list->style()->sizeFromContents(QStyle::CT_ComboBox, &option, textSize, list).width());
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        need.setWidth(textSize.width() + 2 * label->frameWidth() + 2);
        need.setHeight(textSize.height() + 2 * label->frameWidth());
    }
    const QSize drawn = w->size();
    return std::max(double(need.width()) / drawn.width(), double(need.height()) / drawn.height());
}

// The desktop's style, with the frames of the readings' boxes and labels
// drawn once a size and state and then copied: a reading that changes every
// tick repaints its box, and the style's antialiased frame cost more than
// the text in it.
class ReadingsStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element != PE_PanelLineEdit) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        drawCached(element, option, painter, [&](QPainter* p, const QStyleOption* o) {
            QProxyStyle::drawPrimitive(element, o, p, widget);
        });
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element != CE_ShapedFrame) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        drawCached(0x10000 + element, option, painter, [&](QPainter* p, const QStyleOption* o) {
            QProxyStyle::drawControl(element, o, p, widget);
        });
    }

    static QStyle* instance()
    {
        // Owned by the application, so it outlives every window.
        static QPointer<ReadingsStyle> style;
        if (!style) {
            style = new ReadingsStyle;
            style->setParent(qApp);
        }
        return style;
    }

private:
    template <typename Draw>
    void drawCached(int element, const QStyleOption* option, QPainter* painter,
                    const Draw& draw) const
    {
        const qreal ratio = painter->device()->devicePixelRatioF();
        const QString key = QStringLiteral("vossbridge-frame-%1-%2x%3-%4-%5-%6")
                                .arg(element)
                                .arg(option->rect.width())
                                .arg(option->rect.height())
                                .arg(static_cast<int>(option->state))
                                .arg(option->palette.cacheKey())
                                .arg(ratio);
        QPixmap pixmap;
        if (!QPixmapCache::find(key, &pixmap)) {
            pixmap = QPixmap(option->rect.size() * ratio);
            pixmap.setDevicePixelRatio(ratio);
            pixmap.fill(Qt::transparent);
            QPainter p(&pixmap);
            if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option)) {
                QStyleOptionFrame moved(*frame);
                moved.rect.moveTo(0, 0);
                draw(&p, &moved);
            } else {
                QStyleOption moved(*option);
                moved.rect.moveTo(0, 0);
                draw(&p, &moved);
            }
            p.end();
            QPixmapCache::insert(key, pixmap);
        }
        painter->drawPixmap(option->rect.topLeft(), pixmap);
    }
};

// The window's texts are digits, signs and Latin words, which need no
// OpenType shaping; without it a reading's new text is laid out in a fraction
// of the time, and kerning still applies. Set on the client before the
// controls are made, so they take it from the start.
void SkipShaping(QWidget* widget)
{
    QFont font = widget->font();
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    widget->setFont(font);
}

enum Look : unsigned {
    Plain = 0,
    Border = 1,
    Centred = 2,
    Reading = 4, // a field for a reading: the text-field background
    Large = 8,   // 9.75 pt
    Hidden = 16,
};

QLabel* MakeLabel(QWidget* client, QStringView name, Twips at, const QString& caption,
                  unsigned look)
{
    auto* label = Place(new QLabel(caption, client), name, at);
    if (look & Border) {
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->setStyle(ReadingsStyle::instance());
    }
    if (look & Centred)
        label->setAlignment(Qt::AlignCenter);
    if (look & Reading) {
        // The system's colour for text fields, so it follows the desktop's
        // colour scheme as the caption-text colour would.
        label->setAutoFillBackground(true);
        label->setBackgroundRole(QPalette::Base);
        label->setForegroundRole(QPalette::Text);
    }
    if (look & Large) {
        QFont font = label->font();
        font.setPointSizeF(9.75);
        label->setFont(font);
    }
    if (look & Hidden)
        label->hide();
    return label;
}

// `caption`: what a screen reader calls the box, the caption it stands by.
ReadingBox* MakeBox(QWidget* client, QStringView name, Twips at, const QString& caption,
                    const QString& text = {})
{
    auto* box = Place(new ReadingBox(text, client), name, at);
    box->setStyle(ReadingsStyle::instance());
    box->setAccessibleName(caption);
    return box;
}

QPushButton* MakeButton(QWidget* client, QStringView name, Twips at, const QString& caption)
{
    auto* button = Place(new QPushButton(caption, client), name, at);
    // Buttons keep their place in the focus order when clicked, as text boxes do.
    button->setAutoDefault(false);
    return button;
}
} // namespace

MainControls BuildMainControls(QWidget* client)
{
    SkipShaping(client);
    std::vector<std::pair<QWidget*, Twips>> placements;
    placed = &placements;
    MainControls c;
    const QString none;
    c.powerCaption =
        MakeLabel(client, u"Label4", {120, 120, 615, 255}, QStringLiteral("Power"), Border);
    c.powerLabel = MakeLabel(client, u"LblPwr", {720, 120, 735, 255}, none,
                             Border | Centred | Reading | Large);
    c.wattLabel = MakeLabel(client, u"LblW", {1440, 120, 255, 255}, QStringLiteral("W"),
                            Centred | Large | Hidden);
    c.swrCaption =
        MakeLabel(client, u"Label5", {2040, 120, 615, 255}, QStringLiteral("SWR"), Border);
    c.swrBox = MakeBox(client, u"TxtSWR", {2640, 120, 735, 285}, QStringLiteral("SWR"));
    c.peakLabel = MakeLabel(client, u"Label35", {840, 360, 615, 255}, QStringLiteral("Peak"),
                            Centred | Large | Hidden);
    c.normalLabel = MakeLabel(client, u"Label36", {840, 360, 615, 255}, QStringLiteral("Norm"),
                              Centred | Large | Hidden);

    c.rangeCaption =
        MakeLabel(client, u"Label7", {120, 720, 615, 255}, QStringLiteral("Range"), Border);
    c.rangeLabel = MakeLabel(client, u"LblRange", {720, 720, 735, 255}, QStringLiteral("200W"),
                             Border | Centred | Reading | Large);
    c.alarmButton =
        Place(new AlarmButton(QStringLiteral("Alarm"), client), u"CmdAlarm", {1560, 720, 615, 255});
    c.alarmButton->setAutoDefault(false);
    c.alarmSettingLabel = MakeLabel(client, u"LblAlarmMode", {2160, 720, 495, 255},
                                    QStringLiteral("2.0"), Border | Centred | Reading | Large);
    c.peakButton =
        MakeButton(client, u"CmdPower", {2760, 720, 975, 255}, QStringLiteral("Fast/Slow"));

    const std::array vectorCaptions{QStringLiteral("Resistance"), QStringLiteral("Phase"),
                                    QStringLiteral("Impedance"), QStringLiteral("Reactance")};
    for (int i = 0; i < 4; ++i)
        c.vectorBoxes[i] = MakeBox(client, QStringLiteral("TxtVector(%1)").arg(i),
                                   {120 + 960 * i, 1200, 615, 285}, vectorCaptions[i]);
    c.resistanceCaption =
        MakeLabel(client, u"Label8", {0, 1560, 855, 255}, QStringLiteral("Resistance"), Centred);
    c.phaseCaption =
        MakeLabel(client, u"Label9", {960, 1560, 855, 255}, QStringLiteral("Phase"), Centred);
    c.impedanceCaption =
        MakeLabel(client, u"Label10", {1920, 1560, 855, 255}, QStringLiteral("Impedance"), Centred);
    c.reactanceCaption =
        MakeLabel(client, u"Label11", {2880, 1560, 855, 255}, QStringLiteral("Reactance"), Centred);

    c.portList = Place(new QComboBox(client), u"Combo1", {120, 1920, 855, 315});
    c.portList->setEditable(true);
    c.portList->setInsertPolicy(QComboBox::NoInsert);
    // The ninth entry's trailing blank is part of its text.
    c.portList->addItems({QStringLiteral("Com01"), QStringLiteral("Com02"), QStringLiteral("Com03"),
                          QStringLiteral("Com04"), QStringLiteral("Com05"), QStringLiteral("Com06"),
                          QStringLiteral("Com07"), QStringLiteral("Com08"),
                          QStringLiteral("Com09 "), QStringLiteral("Com10"),
                          QStringLiteral("Com11"), QStringLiteral("Com12"), QStringLiteral("Com13"),
                          QStringLiteral("Com14"), QStringLiteral("Com15"),
                          QStringLiteral("Com16")});
    for (int i = 0; i < c.portList->count(); ++i)
        c.portList->setItemData(i, 0, Qt::UserRole);
    c.portList->setCurrentIndex(-1);
    c.portList->setEditText(QStringLiteral("Com1"));
    // Show the start of the entry in the narrow box.
    QObject::connect(c.portList, &QComboBox::currentIndexChanged, c.portList,
                     [combo = c.portList] { combo->lineEdit()->setCursorPosition(0); });

    c.pollPeriodBar =
        Place(new QScrollBar(Qt::Horizontal, client), u"HScroll1", {1440, 1920, 1575, 255});
    c.pollPeriodBar->setRange(StartUpSettings::ShortestPollPeriod,
                              StartUpSettings::LongestPollPeriod);
    c.pollPeriodBar->setSingleStep(10);
    c.pollPeriodBar->setPageStep(100);
    c.pollPeriodBar->setValue(StartUpSettings::ShortestPollPeriod);
    c.pollPeriodBar->setFocusPolicy(Qt::StrongFocus);
    c.pollPeriodBox =
        MakeBox(client, u"TxtPollrate", {3000, 1920, 615, 285}, QStringLiteral("Poll period"));

    c.replyBox = MakeBox(client, u"Text1", {120, 2400, 3615, 285}, QStringLiteral("Meter reply"));

    // All four start with the same text.
    const QString text2 = QStringLiteral("Text2");
    c.reportedAlarmBox = MakeBox(client, u"Text2", {120, 2880, 735, 285},
                                 QStringLiteral("Alarm setting reported"), text2);
    c.reportedSwrBox =
        MakeBox(client, u"Text4", {1800, 2880, 735, 285}, QStringLiteral("SWR reported"), text2);
    c.reportedMeterAlarmBox = MakeBox(client, u"Text3", {120, 3240, 735, 285},
                                      QStringLiteral("Meter alarm field reported"), text2);
    c.spareBox = MakeBox(client, u"Text5", {1800, 3240, 735, 285}, QStringLiteral("Spare"), text2);
    c.meterTextLabel = MakeLabel(client, u"Label6", {120, 3600, 975, 255}, none, Border);
    c.spareLabel = MakeLabel(client, u"Label12", {1800, 3600, 975, 255}, none, Border);
    c.testSwr15Button = MakeButton(client, u"Cmd15", {600, 4800, 495, 255}, QStringLiteral("1.5"));
    c.testSwr20Button = MakeButton(client, u"Cmd20", {600, 5160, 495, 255}, QStringLiteral("2.0"));

    const std::array<QWidget*, 18> focusOrder{c.swrBox,
                                              c.replyBox,
                                              c.alarmButton,
                                              c.portList,
                                              c.pollPeriodBar,
                                              c.pollPeriodBox,
                                              c.vectorBoxes[0],
                                              c.vectorBoxes[1],
                                              c.vectorBoxes[2],
                                              c.vectorBoxes[3],
                                              c.peakButton,
                                              c.reportedAlarmBox,
                                              c.reportedMeterAlarmBox,
                                              c.reportedSwrBox,
                                              c.spareBox,
                                              c.testSwr15Button,
                                              c.testSwr20Button,
                                              c.swrBox};
    for (std::size_t i = 0; i + 1 < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i], focusOrder[i + 1]);
    c.swrBox->setFocus();
    placed = nullptr;

    // The widest text each control shows; the readings at their widest.
    const std::pair<QWidget*, QString> widest[] = {
        {c.powerCaption, c.powerCaption->text()},
        {c.powerLabel, QStringLiteral("2500.00")},
        {c.swrCaption, c.swrCaption->text()},
        {c.swrBox, QStringLiteral("10.00")},
        {c.peakLabel, c.peakLabel->text()},
        {c.normalLabel, c.normalLabel->text()},
        {c.rangeCaption, c.rangeCaption->text()},
        {c.rangeLabel, QStringLiteral("2500W")},
        {c.alarmButton, c.alarmButton->text()},
        {c.alarmSettingLabel, QStringLiteral("Off")},
        {c.peakButton, c.peakButton->text()},
        {c.resistanceCaption, c.resistanceCaption->text()},
        {c.phaseCaption, c.phaseCaption->text()},
        {c.impedanceCaption, c.impedanceCaption->text()},
        {c.reactanceCaption, c.reactanceCaption->text()},
        {c.portList, QStringLiteral("Com09 ")},
        {c.pollPeriodBox, QStringLiteral("5000")},
    };
    double scale = 1;
    for (const auto& [control, text] : widest)
        scale = std::max(scale, NeededScale(control, text));
    // In twentieths, so that a font a hair too wide doesn't give odd sizes.
    c.scale = std::ceil(scale * 20) / 20;
    for (const auto& [control, at] : placements) {
        const QRect rect(ScaledPixels(at.left, c.scale), ScaledPixels(at.top, c.scale),
                         ScaledPixels(at.width, c.scale), ScaledPixels(at.height, c.scale));
        // The readings change every tick; with their size fixed a new text
        // repaints the control alone and asks the window for no new layout.
        if (qobject_cast<QLabel*>(control) || qobject_cast<QLineEdit*>(control))
            control->setFixedSize(rect.size());
        control->setGeometry(rect);
    }
    // The open list as wide as its longest entry, not as the closed box.
    c.portList->view()->setMinimumWidth(c.portList->view()->sizeHintForColumn(0) +
                                        c.portList->view()->frameWidth() * 2 + 8);
    return c;
}

void SetBoxText(ReadingBox* box, const QString& text)
{
    if (box->text() == text)
        return;
    box->setText(text);
    const QString tip = box->textOverflows() ? text : QString();
    if (box->toolTip() != tip)
        box->setToolTip(tip);
}

MainMenu BuildMainMenu(QMenuBar* bar)
{
    MainMenu m;
    const auto action = [](QMenu* menu, const QString& name, const QString& caption,
                           bool checkable = false) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        a->setCheckable(checkable);
        return a;
    };
    m.fileMenu = bar->addMenu(QStringLiteral("&File"));
    m.fileMenu->setObjectName(QStringLiteral("mnuFile"));
    m.exitAction = action(m.fileMenu, QStringLiteral("mnuExit"), QStringLiteral("&Exit"));

    m.styleMenu = bar->addMenu(QStringLiteral("&Style"));
    m.styleMenu->setObjectName(QStringLiteral("mnuStyle"));
    m.smallAction = action(m.styleMenu, QStringLiteral("mnuSmall"), QStringLiteral("&Small"), true);
    m.vectorAction =
        action(m.styleMenu, QStringLiteral("mnuVector"), QStringLiteral("&Vector"), true);
    m.setupAction = action(m.styleMenu, QStringLiteral("mnuSetup"), QStringLiteral("&Setup"), true);

    // What the program offers beyond the meter's own window sits in one menu.
    m.toolsMenu = bar->addMenu(QStringLiteral("&Tools"));
    m.toolsMenu->setObjectName(QStringLiteral("mnuTools"));
    m.serialDeviceAction =
        action(m.toolsMenu, QStringLiteral("mnuSerialDevice"), QStringLiteral("Serial &Device..."));
    m.meterWindowAction =
        action(m.toolsMenu, QStringLiteral("mnuMeterWindow"), QStringLiteral("&Meter Window"));
    m.recordAction = action(m.toolsMenu, QStringLiteral("mnuRecord"),
                            QStringLiteral("&Record Readings..."), true);
    m.settingsAction =
        action(m.toolsMenu, QStringLiteral("mnuSettings"), QStringLiteral("S&ettings..."));

    m.helpMenu = bar->addMenu(QStringLiteral("&Help"));
    m.helpMenu->setObjectName(QStringLiteral("mnuHelp"));
    m.indexAction = action(m.helpMenu, QStringLiteral("mnuIndex"), QStringLiteral("&Index"));
    m.aboutAction = action(m.helpMenu, QStringLiteral("mnuAbout"), QStringLiteral("&About"));
    return m;
}
