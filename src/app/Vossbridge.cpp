#include "Vossbridge.h"

#include "AppLog.h"
#include "HostLink.h"
#include "HostReport.h"
#include "ReadingsDisplay.h"
#include "SerialLink.h"
#include "SettingsStore.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <cmath>
#include <optional>

namespace {
const QString StartUp = QStringLiteral("StartUp");
const QString LineSettings = QStringLiteral("38400,n,8,1");
constexpr qint16 FirstRunComPort = 5;

// A stored whole number, or nothing when the text is not one.
std::optional<int> StoredInt(SettingsStore& store, const QString& key)
{
    bool ok = false;
    const double value = store.read(StartUp, key).trimmed().toDouble(&ok);
    if (!ok || value < -32768 || value > 32767)
        return std::nullopt;
    return static_cast<int>(std::nearbyint(value));
}
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
    Timer1.stop();
    MSComm1.close();
    QMainWindow::closeEvent(event);
}

void Vossbridge::Form_Activate()
{
    // Poll period: the scroll bar's change handler runs inside this step when
    // the value changes.
    if (const auto pollrate = StoredInt(store_, QStringLiteral("Pollrate"));
        pollrate && *pollrate >= controls_.HScroll1->minimum() &&
        *pollrate <= controls_.HScroll1->maximum()) {
        controls_.HScroll1->setValue(*pollrate);
        Timer1.setInterval(*pollrate);
    }

    const auto comPort = StoredInt(store_, QStringLiteral("ComPort"));
    MSComm1.setPortNumber(static_cast<qint16>(comPort.value_or(FirstRunComPort)));
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
    // activates again with the list already on the right entry.
    const int entry = MSComm1.portNumber() - 1;
    if (entry >= 0 && entry < controls_.Combo1->count() &&
        controls_.Combo1->currentIndex() != entry) {
        controls_.Combo1->setCurrentIndex(entry);
        Combo1_Click();
    }
    MSComm1.clearReceiveBuffer();
    pending_ = {};
    pollCycle_.reset();
    HostLink_.CreateHostLink();
    hostTried_ = true;
    UpdateTitle();
    Timer1.start();
}

void Vossbridge::PortUnavailable()
{
    // The message box comes with the full start-up; until then the reason
    // goes to the log and the port list's tooltip.
    controls_.Combo1->setToolTip(MSComm1.errorText());
    qCWarning(lcApp).noquote() << "Com Port is not available. Check Com Port setting."
                               << MSComm1.errorText();
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
    if (HostLink_.ReportValue(code, index, value, QString()))
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
        hostAnswered = Report(SwrReport, AlarmState, record_.Swr);

    const QLocale locale;
    SetBoxText(controls_.Text2, QString::number(AlarmState));
    SetBoxText(controls_.Text3,
               record_.Received ? GeneralNumberText(record_.AlarmMode, locale) : QString());
    SetBoxText(controls_.Text4,
               record_.Received ? GeneralNumberText(record_.Swr, locale) : QString());

    if (const auto plan = PlanPowerReport(record_.RangeCode, record_.Power)) {
        controls_.LblRange->setText(plan->caption);
        // After a failed call the rest of the tick's calls are skipped.
        if (hostAnswered)
            Report(PowerReport, plan->index, plan->reportedPower);
    }
}

void Vossbridge::Cmd15_Click()
{
    Report(SwrReport, 1, ButtonSwr);
}

void Vossbridge::Cmd20_Click()
{
    Report(SwrReport, 0, ButtonSwr);
}

void Vossbridge::HostAppeared()
{
    HostLink_.CreateHostLink();
    hostTried_ = true;
    UpdateTitle();
}

void Vossbridge::CmdAlarm_Click()
{
    pending_.AlarmFlag = true;
}

void Vossbridge::CmdPower_Click()
{
    pending_.PwrFlag = true;
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
