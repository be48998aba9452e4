// SPDX-License-Identifier: GPL-3.0-or-later
// The program's CPU per 50 ms poll tick with the web page served to five
// headless chromium tabs against the page served to none, as a ratio. The
// program's run polls the meter simulator on its pty; chromium's own CPU is
// its own, only this process is counted.
#include "RunCpu.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
constexpr int Ticks = 100;
constexpr int Rounds = 3;
constexpr int PollPeriodMs = 50;
constexpr int Tabs = 5;

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
    SimulatedProgram program(store, PollPeriodMs);
    if (!program.parts.run.start()) {
        state.SkipWithError("the meter simulator's line did not open");
        return;
    }
    MeterRun& run = program.parts.run;
    WebLink& link = program.parts.links.web();
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
        CpuPerTick(run, Ticks); // warm-up, not counted
        for (int round = 0; round < Rounds; ++round) {
            noneCpu += CpuPerTick(run, Ticks);
            {
                Chromium tabs(link.address(), Tabs);
                if (!QTest::qWaitFor([&] { return link.server().webSocketCount() == Tabs; },
                                     30000)) {
                    state.SkipWithError("chromium's tabs did not all connect");
                    return;
                }
                fiveCpu += CpuPerTick(run, Ticks);
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
