// SPDX-License-Identifier: GPL-3.0-or-later
// One tick's two reports to the reference host on the session bus: sent
// without waiting, the previous tick's answers taken with them.
#include "DBusHostLink.h"
#include "HostProcess.h"
#include "HostReport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <benchmark/benchmark.h>

namespace {
void TickReports(benchmark::State& state)
{
    HostProcess host({}, HostProcess::Output::Discarded);
    if (!host.waitUntilOnBus()) {
        state.SkipWithError("the reference host did not come up (is there a session bus?)");
        return;
    }
    DBusHostLink link;
    QEventLoop linking;
    QObject::connect(&link, &HostLink::linkTried, &linking, &QEventLoop::quit);
    link.createLink();
    linking.exec();
    if (!link.isLinked()) {
        state.SkipWithError("no link to the reference host");
        return;
    }
    for (auto _ : state) {
        link.reportValue(SwrReport, 2, 1.2, QString());
        link.reportValue(PowerReport, 3, ReportedPower(100.0), QString());
        if (!link.isLinked()) {
            state.SkipWithError("a report failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(TickReports)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
