// SPDX-License-Identifier: GPL-3.0-or-later
// CPU per tick of the built programs beside the floor (bench_tickfloor: the
// same tick's work on termios and libdbus, no Qt), at 50 and at 80 ms: the
// window, --headless and vossbridged, with another build's vossbridged
// beside them when given, all side by side, each against its own meter
// simulator that answers every poll at the line's pace with a new power
// value, all reporting to the reference host. Also the time from each
// program's exec to its first poll, its peak resident memory, with no link
// of Tools on, and what vossbridged's resident memory is, mapping by mapping.
// The programs start one after another, so that the time to the first poll
// and the CPU a start takes are each program's own.
// Usage: bench_tickcost [ticks] [bin-folder]   (default 400 ticks at each
// period; `bin-folder`: another build's, whose vossbridged runs as "before")
#include "ProgramProbe.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace ProgramProbe;

namespace {
// Ticks left out at the start, while the programs settle.
constexpr qint64 WarmUpTicks = 40;
// A mapping below this is summed into "the rest" in the breakdown.
constexpr qint64 ListedKb = 100;

// One program measured, with its goals against the floor of the same run;
// a goal of 0 is none.
struct Subject {
    const char* name;
    QString program;
    QStringList arguments;
    Program::Settings settings = Program::Settings::Found;
    double tickGoal = 0;
    double goalMb = 0;
    // Whether its memory is broken down by mapping.
    bool breakDown = false;
};

struct Run {
    std::unique_ptr<Meter> meter;
    qint64 pid = 0;
    qint64 firstPoll = -1;
    qint64 firstCpu = 0;
    qint64 lastPoll = -1;
    qint64 lastCpu = 0;
    qint64 peakKb = 0;
    QMap<QString, qint64> residentKb;
    // CPU from exec to a look just after the first poll.
    qint64 startCpu = 0;

    // Notes the start and the end of the counted ticks; true once ended.
    bool look(qint64 ticks)
    {
        if (lastPoll >= 0)
            return true;
        const qint64 polls = meter->polls();
        if (firstPoll < 0 && polls >= WarmUpTicks) {
            firstCpu = CpuNs(pid);
            firstPoll = polls;
        } else if (firstPoll >= 0 && polls >= firstPoll + ticks) {
            lastCpu = CpuNs(pid);
            lastPoll = polls;
            peakKb = PeakRssKb(pid);
            residentKb = ResidentByMapping(pid);
        }
        return lastPoll >= 0;
    }
    double usPerTick() const
    {
        return static_cast<double>(lastCpu - firstCpu) / 1e3 /
               static_cast<double>(lastPoll - firstPoll);
    }
};

struct Result {
    double usPerTick = 0;
    qint64 firstPollMs = 0;
    double startCpuMs = 0;
    qint64 peakKb = 0;
    QMap<QString, qint64> residentKb;
};

// The subjects' results, then the floor's.
bool Measure(const QString& bin, const std::vector<Subject>& subjects, int periodMs, qint64 ticks,
             std::vector<Result>& results)
{
    std::vector<Run> runs(subjects.size() + 1);
    for (Run& run : runs) {
        run.meter = std::make_unique<Meter>(bin, QStringList{"ramp on"});
        if (run.meter->device().isEmpty()) {
            std::fprintf(stderr, "the meter simulator did not start\n");
            return false;
        }
    }
    // One at a time, each after the last one's first poll, so that no start
    // waits on another's: the CPU a start takes is its own.
    const auto started = [&runs](size_t i) {
        const bool polled = WaitUntil([&] { return runs[i].meter->polls() > 0; }, 20000);
        runs[i].startCpu = CpuNs(runs[i].pid);
        return polled;
    };
    std::vector<std::unique_ptr<Program>> programs;
    for (size_t i = 0; i < subjects.size(); ++i) {
        const Subject& s = subjects[i];
        programs.push_back(std::make_unique<Program>(bin, runs[i].meter->device(), periodMs,
                                                     s.program, s.arguments, s.settings));
        runs[i].pid = programs.back()->pid();
        if (!started(i)) {
            std::fprintf(stderr, "%s did not poll\n", s.name);
            return false;
        }
    }
    Run& floor = runs.back();
    QProcess floorProcess;
    floorProcess.setProcessChannelMode(QProcess::ForwardedChannels);
    const QDateTime floorStartedAt = QDateTime::currentDateTime();
    floorProcess.start(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_tickfloor"),
                       {floor.meter->device(), QString::number(periodMs)});
    floorProcess.waitForStarted();
    floor.pid = floorProcess.processId();
    started(runs.size() - 1);

    const bool done = WaitUntil(
        [&] {
            bool all = true;
            for (Run& run : runs)
                all = run.look(ticks) && all;
            return all;
        },
        ticks * periodMs * 4 + 60000);
    floorProcess.kill();
    floorProcess.waitForFinished(5000);
    if (!done) {
        std::fprintf(stderr, "the ticks did not come (polls:");
        for (size_t i = 0; i < runs.size(); ++i)
            std::fprintf(stderr, " %s %lld", i < subjects.size() ? subjects[i].name : "floor",
                         static_cast<long long>(runs[i].meter->polls()));
        std::fprintf(stderr, ")\n");
        return false;
    }
    results.assign(runs.size(), {});
    for (size_t i = 0; i < runs.size(); ++i) {
        const QDateTime startedAt = i < subjects.size() ? programs[i]->startedAt() : floorStartedAt;
        results[i] = {runs[i].usPerTick(), startedAt.msecsTo(runs[i].meter->firstPollAt()),
                      static_cast<double>(runs[i].startCpu) / 1e6, runs[i].peakKb,
                      runs[i].residentKb};
    }
    return true;
}

const char* Verdict(bool met)
{
    return met ? "met" : "NOT met";
}

// The mappings largest first, those under ListedKb summed as one line.
void PrintBreakdown(const char* name, const QMap<QString, qint64>& kb)
{
    std::vector<std::pair<qint64, QString>> sorted;
    qint64 total = 0;
    qint64 rest = 0;
    for (auto it = kb.begin(); it != kb.end(); ++it) {
        total += it.value();
        if (it.value() >= ListedKb)
            sorted.emplace_back(it.value(), it.key());
        else
            rest += it.value();
    }
    std::sort(sorted.rbegin(), sorted.rend());
    std::printf("        %s resident by mapping, %.1f MB in all:\n", name,
                static_cast<double>(total) / 1024.0);
    for (const auto& [size, mapping] : sorted)
        std::printf("          %7.2f MB  %s\n", static_cast<double>(size) / 1024.0,
                    qPrintable(mapping));
    std::printf("          %7.2f MB  the rest\n", static_cast<double>(rest) / 1024.0);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 ticks = argc > 1 ? std::max(100, std::atoi(argv[1])) : 400;
    const QString before = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const QString bin = QStringLiteral(VOSSBRIDGE_BIN_DIR);

    std::vector<Subject> subjects{
        {"window", {}, {}, Program::Settings::Found, 3.0, 30},
        {"headless", {}, {QStringLiteral("--headless")}, Program::Settings::Found, 1.4, 16},
        {"vossbridged",
         bin + QStringLiteral("/vossbridged"),
         {},
         Program::Settings::Named,
         1.3,
         19,
         true},
    };
    if (!before.isEmpty())
        subjects.push_back({"before",
                            before + QStringLiteral("/vossbridged"),
                            {},
                            Program::Settings::Named,
                            0,
                            0,
                            true});

    Host host(bin);
    if (!host.waitUntilOnBus()) {
        std::fprintf(stderr, "the reference host did not come up (is there a session bus?)\n");
        return 1;
    }
    std::printf("%lld ticks at each period, side by side:", static_cast<long long>(ticks));
    for (const Subject& s : subjects) {
        std::printf(" %s", s.name);
        if (!s.program.isEmpty())
            std::printf(" (%s)", qPrintable(s.program));
    }
    std::printf(" and the floor\n");
    std::fflush(stdout);
    bool met = true;
    for (const int period : {50, 80}) {
        std::vector<Result> r;
        if (!Measure(bin, subjects, period, ticks, r))
            return 1;
        const Result& floor = r.back();
        std::printf("%3d ms  floor %.0f us/tick, exec to first poll %lld ms (CPU %.1f ms), peak "
                    "resident memory %.1f MB\n",
                    period, floor.usPerTick, static_cast<long long>(floor.firstPollMs),
                    floor.startCpuMs, static_cast<double>(floor.peakKb) / 1024.0);
        for (size_t i = 0; i < subjects.size(); ++i) {
            const Subject& s = subjects[i];
            const double ratio = r[i].usPerTick / floor.usPerTick;
            const double mb = static_cast<double>(r[i].peakKb) / 1024.0;
            // Exec to first poll: a period and a margin (80 ms at 50 ms).
            const qint64 pollGoal = period + 30;
            const bool pollMet = r[i].firstPollMs <= pollGoal;
            std::printf("        %-11s %5.0f us/tick, %.2f x floor", s.name, r[i].usPerTick, ratio);
            if (s.tickGoal > 0)
                std::printf(" (goal %.1f: %s)", s.tickGoal, Verdict(ratio <= s.tickGoal));
            std::printf("; exec to first poll %lld ms (CPU %.1f ms)",
                        static_cast<long long>(r[i].firstPollMs), r[i].startCpuMs);
            if (s.tickGoal > 0)
                std::printf(" (goal %lld: %s)", static_cast<long long>(pollGoal), Verdict(pollMet));
            std::printf("; peak resident %.1f MB", mb);
            if (s.goalMb > 0)
                std::printf(" (goal %.0f: %s)", s.goalMb, Verdict(mb <= s.goalMb));
            std::printf("\n");
            if (s.tickGoal > 0)
                met = met && ratio <= s.tickGoal && pollMet && mb <= s.goalMb;
        }
        if (period == 50) {
            for (size_t i = 0; i < subjects.size(); ++i) {
                if (subjects[i].breakDown)
                    PrintBreakdown(subjects[i].name, r[i].residentKb);
            }
        }
        std::fflush(stdout);
    }
    std::printf("all goals %s\n", Verdict(met));
    return 0;
}
