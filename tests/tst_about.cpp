#include "AboutDialog.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString MsInfo = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString Location = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");

struct Dialog {
    Registry registry;
    frmAbout* about = nullptr;
    QStringList started;
    QStringList messages;
    bool startSucceeds = true;

    void create()
    {
        about = new frmAbout(registry);
        about->StartProgram = [this](const QString& program) {
            started << program;
            return startSucceeds;
        };
        about->ShowMessage = [this](const QString& text, const QString& title) {
            messages << title + u'|' + text;
        };
    }
    ~Dialog() { delete about; }
};
} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loadSetsCaptionVersionAndTitle()
    {
        Dialog d;
        d.create();
        QCOMPARE(d.about->windowTitle(), QStringLiteral("About Vossbridge"));
        QCOMPARE(d.about->lblVersion->text(), QStringLiteral("Version 0.9.9"));
        QCOMPARE(d.about->lblTitle->text(), QStringLiteral("Vossbridge"));
        QCOMPARE(d.about->size(), QSize(382, 237));
        QCOMPARE(d.about->cmdOK->geometry(), QRect(283, 175, 84, 23));
        QCOMPARE(d.about->cmdSysInfo->text(), QStringLiteral("&System Info..."));
        QVERIFY(d.about->cmdOK->isDefault());
        QVERIFY(!d.about->lblDisclaimer->text().isEmpty());
        QCOMPARE(d.about->picIcon->pixmap().size(), QSize(32, 32));
    }

    void okAndEscapeUnload()
    {
        for (bool escape : {false, true}) {
            Registry registry;
            QPointer<frmAbout> about = new frmAbout(registry);
            about->show();
            QVERIFY(QTest::qWaitForWindowExposed(about));
            QCOMPARE(QApplication::focusWidget(), about->cmdOK);
            if (escape)
                QTest::keyClick(about, Qt::Key_Escape);
            else
                QTest::mouseClick(about->cmdOK, Qt::LeftButton);
            QTRY_VERIFY(about.isNull());
        }
    }

    void getKeyValue_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("text");
        QTest::newRow("string with terminating zero")
            << 1 << QByteArray("/usr/bin/hardinfo\0", 18) << true << "/usr/bin/hardinfo";
        QTest::newRow("string without terminator")
            << 1 << QByteArray("/usr/bin/hardinfo") << true << "/usr/bin/hardinfo";
        QTest::newRow("1024 bytes fit")
            << 1 << QByteArray(1024, 'a') << true << QString(1024, u'a');
        QTest::newRow("1025 bytes are not found") << 1 << QByteArray(1025, 'a') << false << "";
        QTest::newRow("number, last character first")
            << 4 << QByteArray("\x01\x02", 2) << true << QString::number(0x21);
        QTest::newRow("other type leaves the text") << 3 << QByteArray("abc") << true << "before";
    }
    void getKeyValue()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, found);
        QFETCH(QString, text);
        Registry registry;
        registry.set(Registry::LocalMachine, MsInfo, u"PATH"_qs,
                     {static_cast<quint32>(type), bytes});
        QString keyVal = QStringLiteral("before");
        QCOMPARE(GetKeyValue(registry, Registry::LocalMachine, MsInfo, u"PATH"_qs, keyVal), found);
        QCOMPARE(keyVal, text);
    }

    void getKeyValueMissing()
    {
        Registry registry;
        registry.setString(Registry::LocalMachine, MsInfo, u"OTHER"_qs, u"x"_qs);
        QString keyVal = QStringLiteral("before");
        QVERIFY(!GetKeyValue(registry, Registry::LocalMachine, MsInfo, u"PATH"_qs, keyVal));
        QVERIFY(keyVal.isEmpty());
        keyVal = QStringLiteral("before");
        QVERIFY(!GetKeyValue(registry, Registry::LocalMachine, Location, u"MSINFO"_qs, keyVal));
        QVERIFY(keyVal.isEmpty());
        // The same key under another root is another key.
        QVERIFY(!GetKeyValue(registry, 0x80000001, MsInfo, u"OTHER"_qs, keyVal));
    }

    void emptyValueRaises()
    {
        Registry registry;
        registry.set(Registry::LocalMachine, MsInfo, u"PATH"_qs, {Registry::StringType, {}});
        QString keyVal;
        QVERIFY_THROWS_EXCEPTION(RegistryError, GetKeyValue(registry, Registry::LocalMachine,
                                                            MsInfo, u"PATH"_qs, keyVal));
    }

    void startSysInfoFromFirstKey_data()
    {
        QTest::addColumn<bool>("startSucceeds");
        QTest::addColumn<bool>("message");
        QTest::newRow("started") << true << false;
        QTest::newRow("start fails") << false << true;
    }
    void startSysInfoFromFirstKey()
    {
        QFETCH(bool, startSucceeds);
        QFETCH(bool, message);
        Dialog d;
        // Started as stored, whether or not a file is there.
        d.registry.setString(Registry::LocalMachine, MsInfo, u"PATH"_qs, u"/nowhere/hardinfo"_qs);
        d.create();
        d.startSucceeds = startSucceeds;
        QTest::mouseClick(d.about->cmdSysInfo, Qt::LeftButton);
        QCOMPARE(d.started, QStringList{"/nowhere/hardinfo"});
        QCOMPARE(d.messages.size(), message ? 1 : 0);
    }

    void startSysInfoFromSecondKey_data()
    {
        QTest::addColumn<bool>("fileThere");
        QTest::newRow("MSINFO32.EXE in the directory") << true;
        QTest::newRow("no such file") << false;
    }
    void startSysInfoFromSecondKey()
    {
        QFETCH(bool, fileThere);
        QTemporaryDir dir;
        if (fileThere) {
            QFile file(dir.filePath(QStringLiteral("MSINFO32.EXE")));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        Dialog d;
        d.registry.setString(Registry::LocalMachine, Location, u"MSINFO"_qs, dir.path());
        d.create();
        d.about->StartSysInfo();
        if (fileThere) {
            QCOMPARE(d.started, QStringList{dir.filePath(QStringLiteral("MSINFO32.EXE"))});
            QVERIFY(d.messages.isEmpty());
        } else {
            QVERIFY(d.started.isEmpty());
            QCOMPARE(d.messages, QStringList{u"Vossbridge|"_qs + Unavailable});
        }
    }

    void startSysInfoWithoutTool_data()
    {
        QTest::addColumn<bool>("emptyValue");
        QTest::newRow("nothing registered") << false;
        QTest::newRow("value of length 0") << true;
    }
    void startSysInfoWithoutTool()
    {
        QFETCH(bool, emptyValue);
        Dialog d;
        if (emptyValue)
            d.registry.set(Registry::LocalMachine, MsInfo, u"PATH"_qs, {Registry::StringType, {}});
        d.create();
        d.about->StartSysInfo();
        QVERIFY(d.started.isEmpty());
        QCOMPARE(d.messages, QStringList{u"Vossbridge|"_qs + Unavailable});
    }

    // The real process start, on a path with nothing to start.
    void failedRealStartShowsMessage()
    {
        Registry registry;
        registry.setString(Registry::LocalMachine, MsInfo, u"PATH"_qs, u"/nonexistent/sysinfo"_qs);
        frmAbout about(registry);
        QStringList messages;
        about.ShowMessage = [&](const QString& text, const QString&) { messages << text; };
        about.StartSysInfo();
        QCOMPARE(messages, QStringList{Unavailable});
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
