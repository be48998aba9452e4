// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingHistory.h"

#include "MeterViewLog.h"

#include <algorithm>
#include <cmath>

void ReadingHistory::addReading(qint64 timeMs, const StatusRecord& record)
{
    if (const std::optional<double> fullScale = FullScaleWatts(record.rangeCode))
        fullScale_ = *fullScale;
    else
        qCDebug(lcMeterView) << "range code" << record.rangeCode << "kept at" << fullScale_ << "W";
    add(timeMs, record.power, fullScale_, record.swr);
}

void ReadingHistory::add(qint64 timeMs, double power, double fullScale, double swr)
{
    HistorySample s;
    s.timeMs = samples_.empty() ? timeMs : std::max(timeMs, samples_.back().timeMs);
    s.fullScale = static_cast<float>(fullScale);
    if (!std::isfinite(power) || power < 0) {
        s.power = 0;
        s.marks |= HistorySample::PowerClamped;
    } else if (power > fullScale) {
        s.power = static_cast<float>(fullScale);
        s.marks |= HistorySample::PowerClamped;
    } else {
        s.power = static_cast<float>(power);
    }
    if (std::isnan(swr) || swr > SwrTop) {
        s.swr = static_cast<float>(SwrTop);
        s.marks |= HistorySample::SwrClamped;
    } else if (swr < 1) {
        s.swr = 1;
        s.marks |= HistorySample::SwrUnset;
    } else {
        s.swr = static_cast<float>(swr);
    }

    while (!samples_.empty() && (samples_.front().timeMs < s.timeMs - KeptMs || size() >= Capacity))
        samples_.pop_front();
    samples_.push_back(s);
}

void ReadingHistory::clear()
{
    samples_.clear();
}

qsizetype ReadingHistory::firstAtOrAfter(qint64 timeMs) const
{
    qsizetype low = 0;
    qsizetype high = size();
    while (low < high) {
        const qsizetype mid = low + (high - low) / 2;
        if (at(mid).timeMs < timeMs)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

ReadingHistory::Curves ReadingHistory::curves(qint64 fromMs, qint64 toMs, int buckets) const
{
    Curves out;
    if (toMs <= fromMs || buckets < 1)
        return out;
    const qsizetype first = firstAtOrAfter(fromMs);
    const qint64 span = toMs - fromMs;

    struct Extremes {
        qsizetype low = -1;
        qsizetype high = -1;
    };
    Extremes power;
    Extremes swr;
    qsizetype powerMark = -1;
    qsizetype swrMark = -1;
    qint64 bucket = -1;

    const auto pointOf = [this](qsizetype i, bool ofPower) {
        const HistorySample& s = at(i);
        return QPointF(static_cast<double>(s.timeMs), ofPower ? s.power : s.swr);
    };
    const auto emitExtremes = [&](const Extremes& e, QList<QPointF>& line, bool ofPower) {
        if (e.low < 0)
            return;
        line << pointOf(std::min(e.low, e.high), ofPower);
        if (e.low != e.high)
            line << pointOf(std::max(e.low, e.high), ofPower);
    };
    const auto emitBucket = [&] {
        emitExtremes(power, out.power, true);
        emitExtremes(swr, out.swr, false);
        if (powerMark >= 0)
            out.powerMarks << pointOf(powerMark, true);
        if (swrMark >= 0)
            out.swrMarks << pointOf(swrMark, false);
        power = {};
        swr = {};
        powerMark = swrMark = -1;
    };

    for (qsizetype i = first; i < size(); ++i) {
        const HistorySample& s = at(i);
        if (s.timeMs > toMs)
            break;
        const qint64 b = (s.timeMs - fromMs) * buckets / span;
        if (b != bucket) {
            emitBucket();
            bucket = b;
        }
        if (power.low < 0 || s.power < at(power.low).power)
            power.low = i;
        if (power.high < 0 || s.power > at(power.high).power)
            power.high = i;
        if (swr.low < 0 || s.swr < at(swr.low).swr)
            swr.low = i;
        if (swr.high < 0 || s.swr > at(swr.high).swr)
            swr.high = i;
        if (powerMark < 0 && (s.marks & HistorySample::PowerClamped))
            powerMark = i;
        if (swrMark < 0 && (s.marks & (HistorySample::SwrClamped | HistorySample::SwrUnset)))
            swrMark = i;
        out.highestPower = std::max(out.highestPower, static_cast<double>(s.power));
        out.highestSwr = std::max(out.highestSwr, static_cast<double>(s.swr));
        out.highestFullScale = std::max(out.highestFullScale, static_cast<double>(s.fullScale));
    }
    emitBucket();
    return out;
}
