// SPDX-License-Identifier: GPL-3.0-or-later
#include "AboutDialog.h"

#include "AppIcon.h"
#include "MainControls.h"

#include <QEvent>
#include <QMessageBox>
#include <QProcess>

namespace {
QRect Twips(int left, int top, int width, int height)
{
    return FromTwips(left, top, width, height);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect rect,
                  bool black = false)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1StringView(name));
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

// One line of the etched separator.
void MakeLine(QWidget* parent, const char* name, QRect rect, QColor colour)
{
    auto* line = new QWidget(parent);
    line->setObjectName(QLatin1StringView(name));
    line->setGeometry(rect);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
}
} // namespace

AboutDialog::AboutDialog(SystemInfoFinder findProgram, QWidget* parent)
    : QDialog(parent), findProgram_(std::move(findProgram))
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Twips(0, 0, 5730, 3555).size());
    move(Twips(2340, 1935, 0, 0).topLeft());

    iconLabel = MakeLabel(this, "picIcon", {}, Twips(240, 240, 540, 540));
    iconLabel->setPixmap(PaintAppIcon(32));
    iconLabel->setFocusPolicy(Qt::TabFocus);
    titleLabel = MakeLabel(this, "lblTitle", AppTitle, Twips(1050, 240, 3885, 480), true);
    QFont titleFont = titleLabel->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);
    versionLabel = MakeLabel(this, "lblVersion", QStringLiteral("Version 0.0.99"),
                             Twips(1050, 780, 3885, 225));
    descriptionLabel = MakeLabel(
        this, "lblDescription",
        QStringLiteral("This program allows you to display Tarnell data within TRX-Manager either "
                       "locally or over a network connection using TRX-Remote."),
        Twips(1050, 1125, 3885, 1170), true);
    descriptionLabel->setWordWrap(true);

    // Line1(1) grey and 1 pixel, Line1(0) white and 2 pixels just below it.
    MakeLine(this, "Line1(1)", QRect(Twips(90, 2445, 0, 0).topLeft(), QSize(372, 1)),
             QColor(0x80, 0x80, 0x80));
    MakeLine(this, "Line1(0)", QRect(Twips(105, 2460, 0, 0).topLeft(), QSize(371, 2)), Qt::white);

    disclaimerLabel =
        MakeLabel(this, "lblDisclaimer",
                  QStringLiteral("Free software under the GNU GPL, version 3 or later, with no "
                                 "warranty: check what it reports before you rely on it."),
                  Twips(255, 2625, 3870, 825), true);
    disclaimerLabel->setWordWrap(true);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("cmdOK"));
    okButton->setGeometry(Twips(4245, 2625, 1260, 345));
    // Enter and Escape both press OK: a dialog's Escape closes it.
    okButton->setDefault(true);
    systemInfoButton = new QPushButton(QStringLiteral("&System Info..."), this);
    systemInfoButton->setObjectName(QStringLiteral("cmdSysInfo"));
    systemInfoButton->setGeometry(Twips(4260, 3075, 1245, 345));
    systemInfoButton->setAutoDefault(false);
    connect(okButton, &QPushButton::clicked, this, &QWidget::close);
    connect(systemInfoButton, &QPushButton::clicked, this, &AboutDialog::startSystemInfo);

    setTabOrder(okButton, iconLabel);
    setTabOrder(iconLabel, systemInfoButton);
    okButton->setFocus();

    startProgram = [](const QString& program) { return QProcess::startDetached(program, {}); };
    showMessage = [this](const QString& text, const QString& title) {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
        box.exec();
    };

    showVersion();
}

void AboutDialog::showVersion()
{
    setWindowTitle(QStringLiteral("About ") + AppTitle);
    versionLabel->setText(QStringLiteral("Version " VOSSBRIDGE_VERSION));
    titleLabel->setText(AppTitle);
}

void AboutDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Q_EMIT activated();
}

void AboutDialog::startSystemInfo()
{
    const QString program = FirstSystemInfoProgram(findProgram_);
    if (!program.isEmpty() && startProgram(program))
        return;
    showMessage(QStringLiteral("System Information Is Unavailable At This Time"), AppTitle);
}
