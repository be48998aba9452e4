// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SystemInfo.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <functional>

// The About dialog: title, version, description and credits, and a button
// that starts the system's information tool.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(SystemInfoFinder findProgram, QWidget* parent = nullptr);

    // Starts the first system-information program found; without one, says so.
    void startSystemInfo();

    // Starts a program without waiting for it; false when it can't be started.
    std::function<bool(const QString& program)> startProgram;
    // Shows a message with an OK button and waits for it; tests answer it.
    std::function<void(const QString& text, const QString& title)> showMessage;

    QLabel* iconLabel = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* descriptionLabel = nullptr;
    QLabel* disclaimerLabel = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* systemInfoButton = nullptr;

Q_SIGNALS:
    // The dialog has become the active window.
    void activated();

protected:
    void changeEvent(QEvent* event) override;

private:
    void showVersion();

    SystemInfoFinder findProgram_;
};

// The program's title, as the About dialog and message boxes show it.
inline const QString AppTitle = QStringLiteral("Vossbridge");
