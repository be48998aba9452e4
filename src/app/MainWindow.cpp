// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"

#include "AppIcon.h"
#include "AppLog.h"
#include "HostLink.h"
#include "HostReport.h"
#include "PortMap.h"
#include "ReadingsDisplay.h"
#include "SerialLink.h"
#include "SettingsStore.h"
#include "StartUpSettings.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QScopeGuard>
#include <QStatusBar>
#include <algorithm>
#include <cmath>

namespace Keys = StartUpSettings;

namespace {
const QString PortMessage = QStringLiteral("Com Port is not available. Check Com Port setting.");

// The heights of the three window styles, in twips.
constexpr float SmallHeight = 1800;
constexpr float VectorHeight = 2550;
constexpr float SetupHeight = 3480;

// Title bar, menu bar and frame of the desktop the stored heights were made
// for, in twips. A stored height less this is the client area, which keeps
// each window style showing its own rows whatever the window manager draws.
constexpr float DecorationTwips = 750;
} // namespace

MainWindow::MainWindow(SettingsStore& store, SerialLink& port, HostLink& host, QWidget* parent)
    : QMainWindow(parent), store_(store), port_(port), host_(host)
{
    setObjectName(QStringLiteral("Vossbridge"));
    setWindowTitle(QStringLiteral("Vossbridge"));

    auto* client = new QWidget(this);
    setCentralWidget(client);
    controls_ = BuildMainControls(client);
    menu_ = BuildMainMenu(menuBar());
    const QSize clientSize(ScaledPixels(ClientSizeTwips.width(), controls_.scale),
                           ScaledPixels(ClientSizeTwips.height(), controls_.scale));
    resize(clientSize.width(), clientSize.height() + menuBar()->sizeHint().height());

    showPortDevices();

    connect(&port_, &SerialLink::lost, this, &MainWindow::portLost);
    connect(&port_, &SerialLink::recovered, this, &MainWindow::portRecovered);
    connect(&host_, &HostLink::failed, this, &MainWindow::hostFailed);
    connect(&host_, &HostLink::hostAppeared, this, &MainWindow::linkHostAgain);

    pollTimer_.setObjectName(QStringLiteral("Timer1"));
    pollTimer_.setTimerType(Qt::PreciseTimer);
    pollTimer_.setInterval(200);
    connect(&pollTimer_, &QTimer::timeout, this, &MainWindow::pollTick);
    pollTimer_.start();

    connect(controls_.alarmButton, &QPushButton::clicked, this, &MainWindow::stepAlarm);
    connect(controls_.peakButton, &QPushButton::clicked, this, &MainWindow::togglePeak);
    connect(controls_.testSwr15Button, &QPushButton::clicked, this,
            &MainWindow::reportTestSwrAtAlarm15);
    connect(controls_.testSwr20Button, &QPushButton::clicked, this,
            &MainWindow::reportTestSwrAtAlarmOff);
    connect(controls_.pollPeriodBar, &QScrollBar::valueChanged, this, &MainWindow::applyPollPeriod);
    // A pick of the entry already selected reopens the port too, so this
    // follows every pick, not only changes of the selection.
    connect(controls_.portList, &QComboBox::activated, this, &MainWindow::choosePort);

    connect(menu_.setupAction, &QAction::triggered, this, &MainWindow::showSetupStyle);
    connect(menu_.smallAction, &QAction::triggered, this, &MainWindow::showSmallStyle);
    connect(menu_.vectorAction, &QAction::triggered, this, &MainWindow::showVectorStyle);
    connect(menu_.indexAction, &QAction::triggered, this, &MainWindow::showHelpIndex);
    connect(menu_.aboutAction, &QAction::triggered, this, &MainWindow::showAbout);
    // An Exit that did nothing would be plainly wrong: it closes the window
    // as its close box does, so the settings are stored.
    connect(menu_.exitAction, &QAction::triggered, this, &QWidget::close);
    setWindowIcon(AppIcon());

    showMessage = [this](const QString& text, const QString& title) {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
        box.exec();
    };
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        // After the show has finished, so the window is on screen while the
        // port opens.
        QMetaObject::invokeMethod(this, &MainWindow::activate, Qt::QueuedConnection);
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing can't be refused.
    shutDown();
    event->accept();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && activateOnReturn_) {
        activateOnReturn_ = false;
        activate();
    }
}

void MainWindow::activateOnReturn()
{
    activateOnReturn_ = true;
}

// The client area's position, not the frame's: a window manager's frame is
// unknown when the window is placed, so storing the frame's position and
// restoring it as the client's would move the window by the title bar's
// height at every start.
float MainWindow::leftTwips() const
{
    return static_cast<float>(geometry().x() * TwipsPerPixel);
}

float MainWindow::topTwips() const
{
    return static_cast<float>(geometry().y() * TwipsPerPixel);
}

float MainWindow::outerHeightTwips() const
{
    const int client = centralWidget()->height();
    // A scaled grid's pixels can't hold every twip: while the window has the
    // height last set, that height is the answer.
    if (heightTwips_ > 0 &&
        client == std::max(0, ScaledPixels(heightTwips_ - DecorationTwips, controls_.scale)))
        return heightTwips_;
    return static_cast<float>(std::round(client * TwipsPerPixel / controls_.scale)) +
           DecorationTwips;
}

void MainWindow::setOuterHeightTwips(float twips)
{
    heightTwips_ = twips;
    const int client = std::max(0, ScaledPixels(twips - DecorationTwips, controls_.scale));
    // The panel's lines wrap, so its height depends on the window's width.
    const int status =
        statusPanel_ && statusBar()->isVisible()
            ? std::max(statusBar()->sizeHint().height(), statusPanel_->heightForWidth(width()) + 6)
            : 0;
    resize(width(), client + menuBar()->sizeHint().height() + status);
}

StatusPanel* MainWindow::statusPanel()
{
    if (statusPanel_)
        return statusPanel_;
    // Below the rows, and hidden while it has nothing to say, so the window
    // styles show the same rows with or without it.
    statusPanel_ = new StatusPanel(this);
    statusBar()->addWidget(statusPanel_, 1);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));
    statusBar()->hide();
    connect(statusPanel_, &StatusPanel::contentsChanged, this, [this] {
        statusBar()->setVisible(!statusPanel_->isEmpty());
        // Once the status bar's layout has taken the new lines.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (heightTwips_ > 0)
                    setOuterHeightTwips(heightTwips_);
            },
            Qt::QueuedConnection);
    });
    return statusPanel_;
}

void MainWindow::showPortDevices()
{
    for (int i = 0; i < controls_.portList->count(); ++i)
        controls_.portList->setItemData(i, DeviceForPort(store_, i + 1), Qt::ToolTipRole);
}

bool MainWindow::alarmShown() const
{
    return controls_.alarmButton->faceColour() == AlarmRed;
}

void MainWindow::setMeterAvailable(bool available)
{
    if (available == meterAvailable_)
        return;
    meterAvailable_ = available;
    Q_EMIT meterAvailable(available);
}

void MainWindow::writeFirstRunDefaults()
{
    // One save, so that a kill leaves all of them or none.
    store_.save({Keys::PositionLeft.text(leftTwips()), Keys::PositionTop.text(topTwips()),
                 Keys::PowerMode.text(Keys::PowerMode.defaultValue),
                 Keys::Height.text(Keys::Height.defaultValue),
                 Keys::SetupStyle.text(Keys::SetupStyle.defaultValue),
                 Keys::SmallStyle.text(Keys::SmallStyle.defaultValue),
                 Keys::VectorStyle.text(Keys::VectorStyle.defaultValue),
                 Keys::PortNumber.text(Keys::PortNumber.defaultValue),
                 Keys::PollPeriod.text(Keys::PollPeriod.defaultValue),
                 Keys::Range.text(Keys::Range.defaultValue)});
}

qint16 MainWindow::storedPollPeriod()
{
    const qint16 stored = Keys::PollPeriod.read(store_);
    if (stored < controls_.pollPeriodBar->minimum() || stored > controls_.pollPeriodBar->maximum())
        return Keys::PollPeriod.defaultValue;
    return stored;
}

void MainWindow::setStyle(float heightTwips, const QAction* chosen)
{
    setOuterHeightTwips(heightTwips);
    menu_.smallAction->setChecked(chosen == menu_.smallAction);
    menu_.setupAction->setChecked(chosen == menu_.setupAction);
    menu_.vectorAction->setChecked(chosen == menu_.vectorAction);
    store_.save({Keys::Height.text(heightTwips), Keys::SetupStyle.text(chosen == menu_.setupAction),
                 Keys::SmallStyle.text(chosen == menu_.smallAction),
                 Keys::VectorStyle.text(chosen == menu_.vectorAction)});
}

void MainWindow::showSetupStyle()
{
    setStyle(SetupHeight, menu_.setupAction);
}

void MainWindow::showSmallStyle()
{
    setStyle(SmallHeight, menu_.smallAction);
}

void MainWindow::showVectorStyle()
{
    setStyle(VectorHeight, menu_.vectorAction);
}

void MainWindow::showHelpIndex()
{
    if (!help_)
        help_ = new HelpWindow(this);
    help_->showHelpFile(QCoreApplication::applicationDirPath() + QStringLiteral("/TRX.hlp"));
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void MainWindow::showAbout()
{
    // Whatever state the port is in, lost included: a lost port's retry
    // would otherwise reopen it behind the dialog.
    port_.close();
    setMeterAvailable(false);
    if (!about_) {
        about_ = new AboutDialog(findSystemInfo, this);
        // Any time the dialog is the active window, coming back here is an
        // activation.
        connect(about_, &AboutDialog::activated, this, &MainWindow::activateOnReturn);
        // Closing the dialog returns here even where no window manager hands
        // the focus back.
        connect(about_, &QDialog::finished, this, [this] { activateWindow(); });
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void MainWindow::shutDown()
{
    pollTimer_.stop();
    store_.save({Keys::PositionLeft.text(leftTwips()), Keys::PositionTop.text(topTwips()),
                 Keys::PortNumber.text(port_.portNumber()), Keys::Alarm.text(alarmState_),
                 Keys::Scale.text(Keys::Scale.defaultValue)});
    port_.close();
    Q_EMIT unloaded();
}

void MainWindow::activate()
{
    // Choosing the port's list entry activates again inside this one; only
    // the outermost activation tells the log what came of it.
    ++activationDepth_;
    const auto leave = qScopeGuard([this] { --activationDepth_; });

    // Only "Position-Left" marks a first run; its absence resets every key.
    if (store_.read(Keys::PositionLeft.group, Keys::PositionLeft.name).isEmpty())
        writeFirstRunDefaults();

    // Texts that don't convert, possible only when the file was edited by
    // hand, read as the key's first-run default; the position's is where the
    // window stands.
    const float left = Keys::PositionLeft.read(store_, leftTwips());
    const float top = Keys::PositionTop.read(store_, topTwips());
    setGeometry(QRect(QPoint(qRound(left / TwipsPerPixel), qRound(top / TwipsPerPixel)), size()));
    setOuterHeightTwips(Keys::Height.read(store_));

    menu_.setupAction->setChecked(Keys::SetupStyle.read(store_));
    menu_.smallAction->setChecked(Keys::SmallStyle.read(store_));
    menu_.vectorAction->setChecked(Keys::VectorStyle.read(store_));

    // The scroll bar's change handler runs inside this step when the value
    // changes.
    controls_.pollPeriodBar->setValue(storedPollPeriod());
    pollTimer_.setInterval(storedPollPeriod());

    // Setting these on a port that is open changes nothing until its next open.
    port_.setPortNumber(Keys::PortNumber.read(store_));
    port_.setLineSettings(LineSettings{});
    port_.setReadLength(0);

    if (!port_.open()) {
        setMeterAvailable(false);
        reportPortUnavailable();
        return;
    }
    setMeterAvailable(true);
    portLost_ = false;
    controls_.portList->setToolTip({});
    updateTitle();

    // Selecting the entry runs the port selection inside this step, which
    // activates again with the list already on the right entry. A port
    // number without an entry leaves the selection as it was.
    const int entry = port_.portNumber() - 1;
    if (entry >= 0 && entry < controls_.portList->count() &&
        controls_.portList->currentIndex() != entry) {
        controls_.portList->setCurrentIndex(entry);
        choosePort();
    }
    port_.clearReceiveBuffer();
    pending_ = {};
    pollCycle_.reset();
    host_.createLink();
    hostTried_ = true;
    updateTitle();
    pollTimer_.start();
    if (activationDepth_ == 1)
        qCInfo(lcApp).noquote() << "polling port" << port_.portNumber() << "every"
                                << pollTimer_.interval() << "ms";
}

void MainWindow::reportPortUnavailable()
{
    // The message keeps its words; the system's reason goes to the log and
    // the port list's tooltip.
    controls_.portList->setToolTip(port_.errorText());
    qCWarning(lcApp).noquote() << "can't open port" << port_.portNumber() << ":"
                               << port_.errorText();
    showMessage(PortMessage, QStringLiteral("Vossbridge"));
}

void MainWindow::pollTick()
{
    const TickOutcome outcome = pollCycle_.tick(port_, pending_, [this](const QString& reply) {
        showReply(reply);
        DecodeStatusReply(reply, record_);
        refreshReadings();
        Q_EMIT readingAccepted(record_, alarmState_, alarmShown());
    });
    reportToHost();
    Q_EMIT tickFinished(outcome);
}

void MainWindow::showReply(const QString& reply)
{
    SetBoxText(controls_.replyBox, reply);
}

void MainWindow::refreshReadings()
{
    RefreshReadings(controls_, record_, alarmState_, QLocale());
}

bool MainWindow::report(int code, int index, double value)
{
    // No call without a link: there is no host to answer it.
    if (!host_.isLinked())
        return false;
    // A failure the link finds while sending empties it at once; one
    // found later comes as failed().
    host_.reportValue(code, index, value, QString());
    return host_.isLinked();
}

void MainWindow::hostFailed()
{
    // A host that failed or did not answer in time is dropped until it
    // appears again or the next activation links anew.
    hostTried_ = true;
    updateTitle();
}

void MainWindow::reportToHost()
{
    bool hostAnswered = true;
    if (alarmState_ >= 0 && alarmState_ <= 4)
        hostAnswered = report(SwrReport, alarmState_, record_.swr);

    const QLocale locale;
    SetBoxText(controls_.reportedAlarmBox, QString::number(alarmState_));
    SetBoxText(controls_.reportedMeterAlarmBox,
               record_.received ? GeneralNumberText(record_.alarmSetting, locale) : QString());
    SetBoxText(controls_.reportedSwrBox,
               record_.received ? GeneralNumberText(record_.swr, locale) : QString());

    if (const auto plan = PlanPowerReport(record_.rangeCode, record_.power)) {
        controls_.rangeLabel->setText(plan->caption);
        // After a failed call the rest of the tick's calls are skipped.
        if (hostAnswered)
            report(PowerReport, plan->index, plan->reportedPower);
    }
}

void MainWindow::reportTestSwrAtAlarm15()
{
    report(SwrReport, 1, TestButtonSwr);
}

void MainWindow::reportTestSwrAtAlarmOff()
{
    report(SwrReport, 0, TestButtonSwr);
}

void MainWindow::linkHostAgain()
{
    host_.createLink();
    hostTried_ = true;
    updateTitle();
}

void MainWindow::stepAlarm()
{
    pending_.stepAlarm = true;
}

void MainWindow::togglePeak()
{
    pending_.togglePeak = true;
}

void MainWindow::applyPollPeriod()
{
    pollTimer_.stop();
    pollPeriod_ = static_cast<qint16>(controls_.pollPeriodBar->value());
    pollTimer_.setInterval(pollPeriod_);
    controls_.pollPeriodBox->setText(QString::number(pollPeriod_));
    Keys::PollPeriod.save(store_, pollPeriod_);
    pollTimer_.start();
}

void MainWindow::choosePort()
{
    pollTimer_.stop();
    if (port_.isOpen())
        port_.close();
    port_.setPortNumber(PortNumberFromEntry(controls_.portList->currentText()));
    Keys::PortNumber.save(store_, port_.portNumber());
    activate();
}

void MainWindow::portLost(const QString& reason)
{
    portLost_ = true;
    setMeterAvailable(false);
    const QString waiting = port_.waitingFor();
    controls_.portList->setToolTip(waiting.isEmpty() ? reason : reason + u'\n' + waiting);
    updateTitle();
}

void MainWindow::portRecovered()
{
    portLost_ = false;
    setMeterAvailable(true);
    controls_.portList->setToolTip({});
    updateTitle();
    // Whatever the line held while it was away is no reply.
    port_.clearReceiveBuffer();
    pollCycle_.reset();
    // Whatever stopped the timer while the port was away (a failed pick of
    // another port, say), the port is open again and polls.
    pollTimer_.start();
}

void MainWindow::updateTitle()
{
    QStringList trouble;
    if (portLost_)
        trouble << QStringLiteral("port lost");
    if (portLost_ && !port_.waitingFor().isEmpty())
        trouble << port_.waitingFor();
    if (hostTried_ && !host_.isLinked())
        trouble << QStringLiteral("no host");
    setWindowTitle(trouble.isEmpty()
                       ? QStringLiteral("Vossbridge")
                       : QStringLiteral("Vossbridge - ") + trouble.join(QStringLiteral(", ")));
}
