#include "AboutDialog.h"

#include "AppIcon.h"
#include "MainControls.h"

#include <QEvent>
#include <QFileInfo>
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

frmAbout::frmAbout(const Registry& registry, QWidget* parent) : QDialog(parent), registry_(registry)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Twips(0, 0, 5730, 3555).size());
    move(Twips(2340, 1935, 0, 0).topLeft());

    picIcon = MakeLabel(this, "picIcon", {}, Twips(240, 240, 540, 540));
    picIcon->setPixmap(PaintAppIcon(32));
    picIcon->setFocusPolicy(Qt::TabFocus);
    lblTitle = MakeLabel(this, "lblTitle", AppTitle, Twips(1050, 240, 3885, 480), true);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = MakeLabel(this, "lblVersion", QStringLiteral("Version 0.0.99"),
                           Twips(1050, 780, 3885, 225));
    lblDescription = MakeLabel(
        this, "lblDescription",
        QStringLiteral("This program allows you to display Tarnell data within TRX-Manager either "
                       "locally or over a network connection using TRX-Remote."),
        Twips(1050, 1125, 3885, 1170), true);
    lblDescription->setWordWrap(true);

    // Line1(1) grey and 1 pixel, Line1(0) white and 2 pixels just below it.
    MakeLine(this, "Line1(1)", QRect(Twips(90, 2445, 0, 0).topLeft(), QSize(372, 1)),
             QColor(0x80, 0x80, 0x80));
    MakeLine(this, "Line1(0)", QRect(Twips(105, 2460, 0, 0).topLeft(), QSize(371, 2)), Qt::white);

    lblDisclaimer = MakeLabel(
        this, "lblDisclaimer",
        QStringLiteral("Free software by radio amateurs, with no warranty: check what it "
                       "reports before you rely on it."),
        Twips(255, 2625, 3870, 825), true);
    lblDisclaimer->setWordWrap(true);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(Twips(4245, 2625, 1260, 345));
    // Enter and Escape both press OK: a dialog's Escape closes it.
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(Twips(4260, 3075, 1245, 345));
    cmdSysInfo->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    setTabOrder(cmdOK, picIcon);
    setTabOrder(picIcon, cmdSysInfo);
    cmdOK->setFocus();

    StartProgram = [](const QString& program) { return QProcess::startDetached(program, {}); };
    ShowMessage = [this](const QString& text, const QString& title) {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
        box.exec();
    };

    Form_Load();
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + AppTitle);
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(VOSSBRIDGE_VERSION_MAJOR)
                            .arg(VOSSBRIDGE_VERSION_MINOR)
                            .arg(VOSSBRIDGE_VERSION_PATCH));
    lblTitle->setText(AppTitle);
}

void frmAbout::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Q_EMIT activated();
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    try {
        QString path;
        bool found = GetKeyValue(registry_, Registry::LocalMachine,
                                 QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                                 QStringLiteral("PATH"), path);
        if (!found) {
            found = GetKeyValue(registry_, Registry::LocalMachine,
                                QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                                QStringLiteral("MSINFO"), path) &&
                    QFileInfo::exists(path + QStringLiteral("/MSINFO32.EXE"));
            if (found)
                path += QStringLiteral("/MSINFO32.EXE");
        }
        if (found && StartProgram(path))
            return;
    } catch (const RegistryError&) {
        // Falls through to the message, as a value that can't be read.
    }
    ShowMessage(QStringLiteral("System Information Is Unavailable At This Time"), AppTitle);
}
