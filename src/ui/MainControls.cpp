#include "MainControls.h"

#include <QStringList>
#include <array>

namespace {
struct Placement {
    const char* name;
    int left, top, width, height; // twips
};

// Every control's rectangle in one place.
constexpr std::array Placements{
    Placement{"CmdAlarm", 1560, 720, 615, 255},     Placement{"CmdPower", 2760, 720, 975, 255},
    Placement{"Combo1", 120, 1920, 855, 315},       Placement{"HScroll1", 1440, 1920, 1575, 255},
    Placement{"TxtPollrate", 3000, 1920, 615, 285}, Placement{"Text1", 120, 2400, 3615, 285},
};

template <typename Widget> Widget* Place(Widget* widget, const char* name)
{
    for (const Placement& p : Placements) {
        if (qstrcmp(p.name, name) == 0) {
            widget->setObjectName(QLatin1StringView(name));
            widget->setGeometry(FromTwips(p.left, p.top, p.width, p.height));
            return widget;
        }
    }
    qFatal("no placement for control %s", name);
}
} // namespace

MainControls BuildMainControls(QWidget* client)
{
    MainControls c;
    c.CmdAlarm = Place(new QPushButton(QStringLiteral("Alarm"), client), "CmdAlarm");
    c.CmdPower = Place(new QPushButton(QStringLiteral("Fast/Slow"), client), "CmdPower");

    c.Combo1 = Place(new QComboBox(client), "Combo1");
    c.Combo1->setEditable(true);
    c.Combo1->setInsertPolicy(QComboBox::NoInsert);
    // The ninth entry's trailing blank is part of its text.
    c.Combo1->addItems({QStringLiteral("Com01"), QStringLiteral("Com02"), QStringLiteral("Com03"),
                        QStringLiteral("Com04"), QStringLiteral("Com05"), QStringLiteral("Com06"),
                        QStringLiteral("Com07"), QStringLiteral("Com08"), QStringLiteral("Com09 "),
                        QStringLiteral("Com10"), QStringLiteral("Com11"), QStringLiteral("Com12"),
                        QStringLiteral("Com13"), QStringLiteral("Com14"), QStringLiteral("Com15"),
                        QStringLiteral("Com16")});
    c.Combo1->setCurrentIndex(-1);
    c.Combo1->setEditText(QStringLiteral("Com1"));

    c.HScroll1 = Place(new QScrollBar(Qt::Horizontal, client), "HScroll1");
    c.HScroll1->setRange(50, 5000);
    c.HScroll1->setSingleStep(10);
    c.HScroll1->setPageStep(100);
    c.HScroll1->setValue(50);

    c.TxtPollrate = Place(new QLineEdit(client), "TxtPollrate");
    c.Text1 = Place(new QLineEdit(client), "Text1");
    return c;
}
