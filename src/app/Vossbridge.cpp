#include "PortMap.h"
#include "Vossbridge.h"

#include "AppIcon.h"
#include "AppLog.h"
#include "HostLink.h"
#include "HostReport.h"
#include "ReadingsDisplay.h"
#include "SerialLink.h"
#include "SettingsStore.h"
#include "SettingTexts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <algorithm>
#include <cmath>

namespace {
const QString StartUp = QStringLiteral("StartUp");
const QString LineSettings = QStringLiteral("38400,n,8,1");
const QString PortMessage = QStringLiteral("Com Port is not available. Check Com Port setting.");

// First-run defaults of the keys that activation reads.
constexpr float FirstRunHeight = 3495;
constexpr bool FirstRunSetup = true;
constexpr bool FirstRunSmall = false;
constexpr bool FirstRunVector = false;
constexpr qint16 FirstRunComPort = 5;
constexpr int FirstRunPollrate = 80;

// Title bar, menu bar and frame of the desktop the stored heights were made
// for, in twips. A stored height less this is the client area, which keeps
// each window style showing its own rows whatever the window manager draws.
constexpr float DecorationTwips = 750;
} // namespace

Vossbridge::Vossbridge(SettingsStore& store, SerialLink& port, HostLink& host, QWidget* parent)
    : QMainWindow(parent), store_(store), MSComm1(port), HostLink_(host)
{
    setObjectName(QStringLiteral("Vossbridge"));
    setWindowTitle(QStringLiteral("Vossbridge"));

    auto* client = new QWidget(this);
    setCentralWidget(client);
    controls_ = BuildMainControls(client);
    menu_ = BuildMainMenu(menuBar());
    const QSize clientSize =
        FromTwips(0, 0, ClientSizeTwips.width(), ClientSizeTwips.height()).size();
    resize(clientSize.width(), clientSize.height() + menuBar()->sizeHint().height());

    for (int i = 0; i < controls_.Combo1->count(); ++i)
        controls_.Combo1->setItemData(i, DeviceForPort(store_, i + 1), Qt::ToolTipRole);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(200);
    connect(&Timer1, &QTimer::timeout, this, &Vossbridge::Timer1_Timer);
    Timer1.start();

    connect(controls_.CmdAlarm, &QPushButton::clicked, this, &Vossbridge::CmdAlarm_Click);
    connect(controls_.CmdPower, &QPushButton::clicked, this, &Vossbridge::CmdPower_Click);
    connect(controls_.Cmd15, &QPushButton::clicked, this, &Vossbridge::Cmd15_Click);
    connect(controls_.Cmd20, &QPushButton::clicked, this, &Vossbridge::Cmd20_Click);
    connect(controls_.HScroll1, &QScrollBar::valueChanged, this, &Vossbridge::HScroll1_Change);
    // A pick of the entry already selected reopens the port too, so this
    // follows every pick, not only changes of the selection.
    connect(controls_.Combo1, &QComboBox::activated, this, &Vossbridge::Combo1_Click);

    connect(menu_.mnuSetup, &QAction::triggered, this, &Vossbridge::mnuSetup_Click);
    connect(menu_.mnuSmall, &QAction::triggered, this, &Vossbridge::mnuSmall_Click);
    connect(menu_.mnuVector, &QAction::triggered, this, &Vossbridge::mnuVector_Click);
    connect(menu_.mnuIndex, &QAction::triggered, this, &Vossbridge::mnuIndex_Click);
    connect(menu_.mnuAbout, &QAction::triggered, this, &Vossbridge::mnuAbout_Click);
    // An Exit that did nothing would be plainly wrong: it closes the window
    // as its close box does, so the settings are stored.
    connect(menu_.mnuExit, &QAction::triggered, this, &QWidget::close);
    setWindowIcon(AppIcon());

    ShowMessage = [this](const QString& text, const QString& title) {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
        box.exec();
    };
}

void Vossbridge::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        // After the show has finished, so the window is on screen while the
        // port opens.
        QMetaObject::invokeMethod(this, &Vossbridge::Form_Activate, Qt::QueuedConnection);
    }
}

void Vossbridge::closeEvent(QCloseEvent* event)
{
    // Closing can't be refused.
    Form_Unload();
    event->accept();
}

void Vossbridge::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && activateOnReturn_) {
        activateOnReturn_ = false;
        Form_Activate();
    }
}

void Vossbridge::ActivateOnReturn()
{
    activateOnReturn_ = true;
}

QString Vossbridge::Read(const QString& key)
{
    return store_.read(StartUp, key);
}

void Vossbridge::Save(const QString& key, const QString& text)
{
    store_.save(StartUp, key, text);
}

float Vossbridge::LeftTwips() const
{
    return static_cast<float>(x() * TwipsPerPixel);
}

float Vossbridge::TopTwips() const
{
    return static_cast<float>(y() * TwipsPerPixel);
}

float Vossbridge::OuterHeightTwips() const
{
    return static_cast<float>(centralWidget()->height() * TwipsPerPixel) + DecorationTwips;
}

void Vossbridge::SetOuterHeightTwips(float twips)
{
    const int client = std::max(0, qRound((twips - DecorationTwips) / TwipsPerPixel));
    resize(width(), client + menuBar()->sizeHint().height());
}

void Vossbridge::WriteFirstRunDefaults()
{
    Save(QStringLiteral("Position-Left"), ShortestDecimal(LeftTwips()));
    Save(QStringLiteral("Position-Top"), ShortestDecimal(TopTwips()));
    Save(QStringLiteral("PwrMode"), QStringLiteral("0"));
    Save(QStringLiteral("Height"), ShortestDecimal(FirstRunHeight));
    Save(QStringLiteral("mnuSetup"), BoolText(FirstRunSetup));
    Save(QStringLiteral("mnuSmall"), BoolText(FirstRunSmall));
    Save(QStringLiteral("mnuVector"), BoolText(FirstRunVector));
    Save(QStringLiteral("ComPort"), QString::number(FirstRunComPort));
    Save(QStringLiteral("Pollrate"), QString::number(FirstRunPollrate));
    Save(QStringLiteral("Range"), QStringLiteral("3"));
}

int Vossbridge::StoredPollrate()
{
    const auto stored = StrictInt16(Read(QStringLiteral("Pollrate")));
    if (!stored || *stored < controls_.HScroll1->minimum() ||
        *stored > controls_.HScroll1->maximum())
        return FirstRunPollrate;
    return *stored;
}

void Vossbridge::SetStyle(float heightTwips, const QAction* chosen)
{
    SetOuterHeightTwips(heightTwips);
    menu_.mnuSmall->setChecked(chosen == menu_.mnuSmall);
    menu_.mnuSetup->setChecked(chosen == menu_.mnuSetup);
    menu_.mnuVector->setChecked(chosen == menu_.mnuVector);
    Save(QStringLiteral("Height"), ShortestDecimal(heightTwips));
    Save(QStringLiteral("mnuSetup"), BoolText(chosen == menu_.mnuSetup));
    Save(QStringLiteral("mnuSmall"), BoolText(chosen == menu_.mnuSmall));
    Save(QStringLiteral("mnuVector"), BoolText(chosen == menu_.mnuVector));
}

void Vossbridge::mnuSetup_Click()
{
    SetStyle(3480, menu_.mnuSetup);
}

void Vossbridge::mnuSmall_Click()
{
    SetStyle(1800, menu_.mnuSmall);
}

void Vossbridge::mnuVector_Click()
{
    SetStyle(2550, menu_.mnuVector);
}

void Vossbridge::mnuIndex_Click()
{
    if (!help_)
        help_ = new HelpWindow(this);
    help_->showHelpFile(QCoreApplication::applicationDirPath() + QStringLiteral("/TRX.hlp"));
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void Vossbridge::mnuAbout_Click()
{
    if (MSComm1.isOpen())
        MSComm1.close();
    if (!about_) {
        about_ = new frmAbout(SystemRegistry, this);
        // Any time the dialog is the active window, coming back here is an
        // activation.
        connect(about_, &frmAbout::activated, this, &Vossbridge::ActivateOnReturn);
        // Closing the dialog returns here even where no window manager hands
        // the focus back.
        connect(about_, &QDialog::finished, this, [this] { activateWindow(); });
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void Vossbridge::Form_Unload()
{
    Timer1.stop();
    Save(QStringLiteral("Position-Left"), ShortestDecimal(LeftTwips()));
    Save(QStringLiteral("Position-Top"), ShortestDecimal(TopTwips()));
    Save(QStringLiteral("ComPort"), QString::number(MSComm1.portNumber()));
    Save(QStringLiteral("Alarm"), QString::number(AlarmState));
    Save(QStringLiteral("Scale"), QStringLiteral("0"));
    MSComm1.close();
    Q_EMIT unloaded();
}

void Vossbridge::Form_Activate()
{
    // Only "Position-Left" marks a first run; its absence resets every key.
    if (Read(QStringLiteral("Position-Left")).isEmpty())
        WriteFirstRunDefaults();

    // Texts that don't convert, possible only when the file was edited by
    // hand, read as the key's first-run default.
    const float left = StrictSingle(Read(QStringLiteral("Position-Left"))).value_or(LeftTwips());
    const float top = StrictSingle(Read(QStringLiteral("Position-Top"))).value_or(TopTwips());
    move(qRound(left / TwipsPerPixel), qRound(top / TwipsPerPixel));
    SetOuterHeightTwips(*LenientSingle(Read(QStringLiteral("Height"))));

    menu_.mnuSetup->setChecked(
        StoredBool(Read(QStringLiteral("mnuSetup"))).value_or(FirstRunSetup));
    menu_.mnuSmall->setChecked(
        StoredBool(Read(QStringLiteral("mnuSmall"))).value_or(FirstRunSmall));
    menu_.mnuVector->setChecked(
        StoredBool(Read(QStringLiteral("mnuVector"))).value_or(FirstRunVector));

    // The scroll bar's change handler runs inside this step when the value
    // changes.
    controls_.HScroll1->setValue(StoredPollrate());
    Timer1.setInterval(StoredPollrate());

    // Setting these on a port that is open changes nothing until its next open.
    MSComm1.setPortNumber(StrictInt16(Read(QStringLiteral("ComPort"))).value_or(FirstRunComPort));
    MSComm1.setLineSettings(LineSettings);
    MSComm1.setReadLength(0);

    if (!MSComm1.open()) {
        PortUnavailable();
        return;
    }
    portLost_ = false;
    controls_.Combo1->setToolTip({});
    UpdateTitle();

    // Selecting the entry runs the port selection inside this step, which
    // activates again with the list already on the right entry. A port
    // number without an entry leaves the selection as it was.
    const int entry = MSComm1.portNumber() - 1;
    if (entry >= 0 && entry < controls_.Combo1->count() &&
        controls_.Combo1->currentIndex() != entry) {
        controls_.Combo1->setCurrentIndex(entry);
        Combo1_Click();
    }
    MSComm1.clearReceiveBuffer();
    pending_ = {};
    pollCycle_.reset();
    HostLink_.createLink();
    hostTried_ = true;
    UpdateTitle();
    Timer1.start();
}

void Vossbridge::PortUnavailable()
{
    // The message keeps its words; the system's reason goes to the log and
    // the port list's tooltip.
    controls_.Combo1->setToolTip(MSComm1.errorText());
    qCWarning(lcApp).noquote() << "can't open port" << MSComm1.portNumber() << ":"
                               << MSComm1.errorText();
    ShowMessage(PortMessage, QStringLiteral("Vossbridge"));
}

void Vossbridge::Timer1_Timer()
{
    const TickOutcome outcome = pollCycle_.tick(MSComm1, pending_, [this](const QString& reply) {
        ShowReply(reply);
        DecodeStatusReply(reply, record_);
        RefreshReadings();
    });
    ReportToHost();
    Q_EMIT tickFinished(outcome);
}

void Vossbridge::ShowReply(const QString& reply)
{
    SetBoxText(controls_.Text1, reply);
}

void Vossbridge::RefreshReadings()
{
    ::RefreshReadings(controls_, record_, AlarmState, QLocale());
}

bool Vossbridge::Report(int code, int index, double value)
{
    // No call without a link: there is no host to answer it.
    if (!HostLink_.isLinked())
        return false;
    if (HostLink_.reportValue(code, index, value, QString()))
        return true;
    // A host that failed or did not answer in time is dropped until it
    // appears again or the next activation links anew.
    HostLink_.clear();
    hostTried_ = true;
    UpdateTitle();
    return false;
}

void Vossbridge::ReportToHost()
{
    bool hostAnswered = true;
    if (AlarmState >= 0 && AlarmState <= 4)
        hostAnswered = Report(SwrReport, AlarmState, record_.swr);

    const QLocale locale;
    SetBoxText(controls_.Text2, QString::number(AlarmState));
    SetBoxText(controls_.Text3,
               record_.received ? GeneralNumberText(record_.alarmSetting, locale) : QString());
    SetBoxText(controls_.Text4,
               record_.received ? GeneralNumberText(record_.swr, locale) : QString());

    if (const auto plan = PlanPowerReport(record_.rangeCode, record_.power)) {
        controls_.LblRange->setText(plan->caption);
        // After a failed call the rest of the tick's calls are skipped.
        if (hostAnswered)
            Report(PowerReport, plan->index, plan->reportedPower);
    }
}

void Vossbridge::Cmd15_Click()
{
    Report(SwrReport, 1, TestButtonSwr);
}

void Vossbridge::Cmd20_Click()
{
    Report(SwrReport, 0, TestButtonSwr);
}

void Vossbridge::HostAppeared()
{
    HostLink_.createLink();
    hostTried_ = true;
    UpdateTitle();
}

void Vossbridge::CmdAlarm_Click()
{
    pending_.stepAlarm = true;
}

void Vossbridge::CmdPower_Click()
{
    pending_.togglePeak = true;
}

void Vossbridge::HScroll1_Change()
{
    Timer1.stop();
    Pollrate = static_cast<qint16>(controls_.HScroll1->value());
    Timer1.setInterval(Pollrate);
    controls_.TxtPollrate->setText(QString::number(Pollrate));
    store_.save(StartUp, QStringLiteral("Pollrate"), QString::number(Pollrate));
    Timer1.start();
}

void Vossbridge::Combo1_Click()
{
    Timer1.stop();
    if (MSComm1.isOpen())
        MSComm1.close();
    MSComm1.setPortNumber(PortNumberFromEntry(controls_.Combo1->currentText()));
    store_.save(StartUp, QStringLiteral("ComPort"), QString::number(MSComm1.portNumber()));
    Form_Activate();
}

void Vossbridge::PortLost(const QString& reason)
{
    portLost_ = true;
    controls_.Combo1->setToolTip(reason);
    UpdateTitle();
}

void Vossbridge::PortRecovered()
{
    portLost_ = false;
    controls_.Combo1->setToolTip({});
    UpdateTitle();
    // Whatever the line held while it was away is no reply.
    MSComm1.clearReceiveBuffer();
    pollCycle_.reset();
}

void Vossbridge::UpdateTitle()
{
    QStringList trouble;
    if (portLost_)
        trouble << QStringLiteral("port lost");
    if (hostTried_ && !HostLink_.isLinked())
        trouble << QStringLiteral("no host");
    setWindowTitle(trouble.isEmpty()
                       ? QStringLiteral("Vossbridge")
                       : QStringLiteral("Vossbridge - ") + trouble.join(QStringLiteral(", ")));
}
