// SPDX-License-Identifier: GPL-3.0-or-later
// The program's CPU per 50 ms poll tick with the web page served to five
// headless chromium tabs against the page served to none, as a ratio. Each
// tick polls the meter simulator on its pty as the window does; chromium's
// own CPU is its own, only this process is counted.
#include "FakeSettingsStore.h"
#include "MeterSimProcess.h"
#include "PollCycle.h"
#include "PosixSerialLink.h"
#include "WebLink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <sys/resource.h>

namespace {
constexpr int Ticks = 100;
constexpr int Rounds = 3;
constexpr int PollPeriodMs = 50;
constexpr int Tabs = 5;

double CpuMicroseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return 1e6 * double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

double CpuPerTick(PosixSerialLink& port, WebLink& link)
{
    PollCycle cycle;
    PendingCommands pending;
    StatusRecord record;
    int ticks = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QEventLoop loop;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (++ticks == Ticks)
            loop.quit();
        cycle.tick(port, pending, [&](const QString& reply) {
            DecodeStatusReply(reply, record);
            link.updateReading(record, 2, record.swr >= 2);
        });
    });
    const double start = CpuMicroseconds();
    tick.start(PollPeriodMs);
    loop.exec();
    return (CpuMicroseconds() - start) / ticks;
}

// Tabs of one headless chromium, each showing the page. Headless chromium
// opens one page from its command line; the others come through its
// DevTools endpoint.
class Chromium {
public:
    Chromium(const QString& url, int tabs)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("/usr/bin/chromium"),
                       {QStringLiteral("--headless=new"), QStringLiteral("--no-sandbox"),
                        QStringLiteral("--disable-gpu"),
                        QStringLiteral("--remote-debugging-port=0"),
                        QStringLiteral("--user-data-dir=") + profile_.path(), url});
        QFile portFile(profile_.filePath(QStringLiteral("DevToolsActivePort")));
        if (!QTest::qWaitFor([&] { return portFile.open(QIODevice::ReadOnly); }, 20000))
            return;
        const quint16 port = portFile.readLine().trimmed().toUShort();
        for (int i = 1; i < tabs; ++i) {
            QTcpSocket devtools;
            devtools.connectToHost(QHostAddress::LocalHost, port);
            devtools.waitForConnected(5000);
            devtools.write("PUT /json/new?" + url.toUtf8() +
                           " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
            devtools.waitForReadyRead(5000);
        }
    }
    ~Chromium()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }

private:
    QTemporaryDir profile_;
    QProcess process_;
};

void FiveBrowsersAgainstNone(benchmark::State& state)
{
    FakeSettingsStore store;
    MeterSimProcess sim({QStringLiteral("-e"), QStringLiteral("sweep on")});
    const QString device = sim.devicePath();
    PosixSerialLink port([device](int) { return device; });
    port.setPortNumber(5);
    port.setLineSettings(LineSettings{});
    port.setReadLength(0);
    if (device.isEmpty() || !port.open()) {
        state.SkipWithError("the meter simulator's line did not open");
        return;
    }
    WebLink link;
    // A port that is free now; one taken in between makes the start fail.
    for (int attempt = 0; attempt < 10 && !link.server().isListening(); ++attempt) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 free = probe.serverPort();
        probe.close();
        store.values[QStringLiteral("Web/Enabled")] = QStringLiteral("true");
        store.values[QStringLiteral("Web/Listen")] = QStringLiteral("127.0.0.1:%1").arg(free);
        link.applySettings(store);
    }
    if (!link.server().isListening()) {
        state.SkipWithError("the page found no port");
        return;
    }
    for (auto _ : state) {
        double noneCpu = 0;
        double fiveCpu = 0;
        CpuPerTick(port, link); // warm-up, not counted
        for (int round = 0; round < Rounds; ++round) {
            noneCpu += CpuPerTick(port, link);
            {
                Chromium tabs(link.address(), Tabs);
                if (!QTest::qWaitFor([&] { return link.server().webSocketCount() == Tabs; },
                                     30000)) {
                    state.SkipWithError("chromium's tabs did not all connect");
                    return;
                }
                fiveCpu += CpuPerTick(port, link);
            }
            if (!QTest::qWaitFor([&] { return link.server().clientCount() == 0; }, 10000)) {
                state.SkipWithError("chromium's tabs did not leave");
                return;
            }
        }
        state.counters["none_us_per_tick"] = noneCpu / Rounds;
        state.counters["five_us_per_tick"] = fiveCpu / Rounds;
        state.counters["ratio"] = fiveCpu / noneCpu;
        std::printf("CPU per %d ms tick: no browser %.1f us, %d chromium tabs %.1f us, ratio %.2f "
                    "(goal <= 1.3)\n",
                    PollPeriodMs, noneCpu / Rounds, Tabs, fiveCpu / Rounds, fiveCpu / noneCpu);
    }
}
BENCHMARK(FiveBrowsersAgainstNone)->Iterations(1)->Unit(benchmark::kSecond);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
