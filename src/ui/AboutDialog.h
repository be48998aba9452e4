#pragma once

#include "Registry.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <functional>

// The About dialog: title, version, description and credits, and a button
// that starts the system's information tool.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    frmAbout(const Registry& registry, QWidget* parent = nullptr);

    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();

    // Starts a program without waiting for it; false when it can't be started.
    std::function<bool(const QString& program)> StartProgram;
    // Shows a message with an OK button and waits for it; tests answer it.
    std::function<void(const QString& text, const QString& title)> ShowMessage;

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

Q_SIGNALS:
    // The dialog has become the active window.
    void activated();

protected:
    void changeEvent(QEvent* event) override;

private:
    void Form_Load();

    const Registry& registry_;
};

// The program's title, as the About dialog and message boxes show it.
inline const QString AppTitle = QStringLiteral("Vossbridge");
