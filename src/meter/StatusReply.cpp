// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusReply.h"

#include <array>

bool IsStatusReply(QStringView reply)
{
    return reply.size() == StatusReplyLength && reply.front() == u';';
}

namespace {
// Field at 1-based position `first`, `length` characters long.
QStringView Field(QStringView reply, qsizetype first, qsizetype length)
{
    return reply.mid(first - 1, length);
}
} // namespace

void DecodeStatusReply(QStringView reply, StatusRecord& record)
{
    record.received = true;
    record.power = LeadingNumber(Field(reply, 2, 7));
    record.impedance = LeadingNumber(Field(reply, 10, 5));
    record.phase = LeadingNumber(Field(reply, 16, 5));
    record.alarmSetting = LeadingNumber(Field(reply, 22, 1));
    record.meterText = Field(reply, 24, 6).toString();
    record.rangeCode = LeadingNumber(Field(reply, 31, 1));
    record.peakFlag = LeadingNumber(Field(reply, 33, 1));
    record.vectorGate = LeadingNumber(Field(reply, 35, 4));
    record.swr = LeadingNumber(Field(reply, 40, 4));
}

namespace {
// By range code.
constexpr std::array<PowerRange, PowerRangeCount> PowerRanges{{
    {2500, "2500", 3},
    {250, " 250", 2},
    {25, "  25", 1},
}};
} // namespace

const PowerRange* PowerRangeFor(double rangeCode)
{
    for (std::size_t code = 0; code < PowerRanges.size(); ++code) {
        if (rangeCode == static_cast<double>(code))
            return &PowerRanges[code];
    }
    return nullptr;
}

std::optional<double> FullScaleWatts(double rangeCode)
{
    const PowerRange* range = PowerRangeFor(rangeCode);
    return range ? std::optional<double>(range->fullScaleWatts) : std::nullopt;
}
