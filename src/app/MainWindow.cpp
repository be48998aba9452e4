// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"

#include "AppIcon.h"
#include "AppLog.h"
#include "HostReport.h"
#include "PortMap.h"
#include "ReadingsDisplay.h"
#include "SettingsStore.h"
#include "StartUpSettings.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <algorithm>
#include <cmath>

namespace Keys = StartUpSettings;

namespace {
// The heights of the three window styles, in twips.
constexpr float SmallHeight = 1800;
constexpr float VectorHeight = 2550;
constexpr float SetupHeight = 3480;

// Title bar, menu bar and frame of the desktop the stored heights were made
// for, in twips. A stored height less this is the client area, which keeps
// each window style showing its own rows whatever the window manager draws.
constexpr float DecorationTwips = 750;
} // namespace

MainWindow::MainWindow(SettingsStore& store, MeterRun& run, QWidget* parent)
    : QMainWindow(parent), store_(store), run_(run)
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

    // The window ticks from its creation, as its timer was enabled at design
    // time; the first activation sets the period.
    run_.resumePolling();
    connect(&run_, &MeterRun::readingAccepted, this, &MainWindow::showReading);
    connect(&run_, &MeterRun::tickFinished, this, [this](TickOutcome outcome) {
        showReports();
        Q_EMIT tickFinished(outcome);
    });
    connect(&run_, &MeterRun::troublesChanged, this, &MainWindow::showTroubles);

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
    run_.releasePort();
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
    run_.shutDown({Keys::PositionLeft.text(leftTwips()), Keys::PositionTop.text(topTwips())});
    Q_EMIT unloaded();
}

void MainWindow::activate()
{
    // Only "Position-Left" marks a first run; its absence resets every key,
    // in one save so that a kill leaves all of them or none.
    if (store_.read(Keys::PositionLeft.group, Keys::PositionLeft.name).isEmpty())
        store_.save(Keys::FirstRunTexts(leftTwips(), topTwips()));

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
    controls_.pollPeriodBar->setValue(run_.storedPollPeriod());

    if (!run_.start([this] { selectPortEntry(); }))
        reportPortUnavailable();
}

void MainWindow::selectPortEntry()
{
    // Selecting the entry runs the port selection inside the run's start,
    // which activates again with the list already on the right entry. A
    // port number without an entry leaves the selection as it was.
    const int entry = run_.portNumber() - 1;
    if (entry >= 0 && entry < controls_.portList->count() &&
        controls_.portList->currentIndex() != entry) {
        controls_.portList->setCurrentIndex(entry);
        choosePort();
    }
}

void MainWindow::reportPortUnavailable()
{
    // The message keeps its words; the system's reason goes to the log and
    // the port list's tooltip.
    controls_.portList->setToolTip(run_.portError());
    qCWarning(lcApp).noquote() << "can't open port" << run_.portNumber() << ":" << run_.portError();
    showMessage(MeterRun::PortUnavailableText, QStringLiteral("Vossbridge"));
}

void MainWindow::showReading()
{
    SetBoxText(controls_.replyBox, run_.lastReply());
    ShowReadings(controls_, run_.record(), {run_.alarmSetting(), run_.alarmShown()}, QLocale());
}

void MainWindow::showReports()
{
    const StatusRecord& record = run_.record();
    const QLocale locale;
    SetBoxText(controls_.reportedAlarmBox, QString::number(run_.alarmSetting()));
    SetBoxText(controls_.reportedMeterAlarmBox,
               record.received ? GeneralNumberText(record.alarmSetting, locale) : QString());
    SetBoxText(controls_.reportedSwrBox,
               record.received ? GeneralNumberText(record.swr, locale) : QString());
    if (const auto plan = PlanPowerReport(record.rangeCode, record.power))
        controls_.rangeLabel->setText(plan->caption);
}

void MainWindow::reportTestSwrAtAlarm15()
{
    run_.reportSwr(1, TestButtonSwr);
}

void MainWindow::reportTestSwrAtAlarmOff()
{
    run_.reportSwr(0, TestButtonSwr);
}

void MainWindow::stepAlarm()
{
    run_.stepAlarm();
}

void MainWindow::togglePeak()
{
    run_.togglePeak();
}

void MainWindow::applyPollPeriod()
{
    const auto period = static_cast<qint16>(controls_.pollPeriodBar->value());
    controls_.pollPeriodBox->setText(QString::number(period));
    run_.setPollPeriod(period);
}

void MainWindow::choosePort()
{
    run_.choosePort(PortNumberFromEntry(controls_.portList->currentText()));
    activate();
}

void MainWindow::showTroubles()
{
    // A failed open's reason stays until the port opens or is lost.
    if (run_.isPortLost())
        controls_.portList->setToolTip(run_.lostReason());
    else if (run_.isMeterAvailable())
        controls_.portList->setToolTip({});
    const QStringList trouble = run_.troubles();
    setWindowTitle(trouble.isEmpty()
                       ? QStringLiteral("Vossbridge")
                       : QStringLiteral("Vossbridge - ") + trouble.join(QStringLiteral(", ")));
}
