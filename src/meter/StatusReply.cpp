// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusReply.h"

#include <cmath>
#include <limits>

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

std::optional<double> FullScaleWatts(double rangeCode)
{
    if (rangeCode == 0)
        return 2500;
    if (rangeCode == 1)
        return 250;
    if (rangeCode == 2)
        return 25;
    return std::nullopt;
}
