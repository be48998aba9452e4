// SPDX-License-Identifier: GPL-3.0-or-later
#include "AboutDialog.h"

#include <QMap>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");

struct Dialog {
    QMap<QString, QString> onPath; // program -> full path
    AboutDialog* about = nullptr;
    QStringList started;
    QStringList messages;
    bool startSucceeds = true;

    void create()
    {
        about = new AboutDialog([this](const QString& program) { return onPath.value(program); });
        about->startProgram = [this](const QString& program) {
            started << program;
            return startSucceeds;
        };
        about->showMessage = [this](const QString& text, const QString& title) {
            messages << title + u'|' + text;
        };
    }
    ~Dialog() { delete about; }
};

QString NotOnPath(const QString&)
{
    return {};
}
} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loadSetsCaptionVersionAndTitle()
    {
        Dialog d;
        d.create();
        QCOMPARE(d.about->windowTitle(), QStringLiteral("About Vossbridge"));
        QCOMPARE(d.about->versionLabel->text(), QStringLiteral("Version 0.10.0"));
        QCOMPARE(d.about->titleLabel->text(), QStringLiteral("Vossbridge"));
        QCOMPARE(d.about->size(), QSize(382, 237));
        QCOMPARE(d.about->okButton->geometry(), QRect(283, 175, 84, 23));
        QCOMPARE(d.about->systemInfoButton->text(), QStringLiteral("&System Info..."));
        QVERIFY(d.about->okButton->isDefault());
        QVERIFY(!d.about->disclaimerLabel->text().isEmpty());
        QCOMPARE(d.about->iconLabel->pixmap().size(), QSize(32, 32));
    }

    void okAndEscapeUnload()
    {
        for (bool escape : {false, true}) {
            QPointer<AboutDialog> about = new AboutDialog(NotOnPath);
            about->show();
            QVERIFY(QTest::qWaitForWindowExposed(about));
            QCOMPARE(QApplication::focusWidget(), about->okButton);
            if (escape)
                QTest::keyClick(about, Qt::Key_Escape);
            else
                QTest::mouseClick(about->okButton, Qt::LeftButton);
            QTRY_VERIFY(about.isNull());
        }
    }

    void startsFirstProgramOnPath_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<bool>("startSucceeds");
        QTest::addColumn<QString>("started");
        QTest::addColumn<bool>("message");
        const QStringList all{"hardinfo2", "hardinfo", "kinfocenter"};
        QTest::newRow("all three: the first") << all << true << "/usr/bin/hardinfo2" << false;
        QTest::newRow("only the last")
            << QStringList{"kinfocenter"} << true << "/usr/bin/kinfocenter" << false;
        QTest::newRow("second and third")
            << QStringList{"hardinfo", "kinfocenter"} << true << "/usr/bin/hardinfo" << false;
        QTest::newRow("start fails: message") << all << false << "/usr/bin/hardinfo2" << true;
        QTest::newRow("none: message") << QStringList{} << true << "" << true;
        QTest::newRow("unknown programs don't count")
            << QStringList{"msinfo32"} << true << "" << true;
    }
    void startsFirstProgramOnPath()
    {
        QFETCH(QStringList, installed);
        QFETCH(bool, startSucceeds);
        QFETCH(QString, started);
        QFETCH(bool, message);
        Dialog d;
        for (const QString& program : installed)
            d.onPath[program] = u"/usr/bin/"_s + program;
        d.create();
        d.startSucceeds = startSucceeds;
        QTest::mouseClick(d.about->systemInfoButton, Qt::LeftButton);
        QCOMPARE(d.started, started.isEmpty() ? QStringList{} : QStringList{started});
        QCOMPARE(d.messages, message ? QStringList{u"Vossbridge|"_s + Unavailable} : QStringList{});
    }

    // The real process start, on a path with nothing to start.
    void failedRealStartShowsMessage()
    {
        AboutDialog about([](const QString&) { return u"/nonexistent/sysinfo"_s; });
        QStringList messages;
        about.showMessage = [&](const QString& text, const QString&) { messages << text; };
        about.startSystemInfo();
        QCOMPARE(messages, QStringList{Unavailable});
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
