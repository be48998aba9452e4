// SPDX-License-Identifier: GPL-3.0-or-later
// Deciding on and decoding one meter reply, the work every tick does.
#include "StatusReply.h"

#include <benchmark/benchmark.h>

namespace {
const QString Reply = QStringLiteral(";  100.0, 50.0,-12.5,3,  HF  ,1,1,  20,1.50");

void DecideAndDecode(benchmark::State& state)
{
    StatusRecord record;
    for (auto _ : state) {
        if (IsStatusReply(Reply))
            DecodeStatusReply(Reply, record);
        benchmark::DoNotOptimize(record);
    }
}
BENCHMARK(DecideAndDecode);

void RejectTwoReplies(benchmark::State& state)
{
    const QString twice = Reply + Reply;
    for (auto _ : state)
        benchmark::DoNotOptimize(IsStatusReply(twice));
}
BENCHMARK(RejectTwoReplies);

void LeadingNumberOfField(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(LeadingNumber(u"  1 2.5"));
}
BENCHMARK(LeadingNumberOfField);
} // namespace

BENCHMARK_MAIN();
