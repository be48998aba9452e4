// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever a read from the line holds, the reply check and the decoder give
// finite numbers and six characters of meter text, and nothing undefined.
#include "StatusReply.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The serial link hands on the bytes read as Latin-1.
    const QString reply =
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!IsStatusReply(reply))
        return 0;
    if (reply.size() != StatusReplyLength || reply.front() != u';')
        std::abort();
    StatusRecord r;
    DecodeStatusReply(reply, r);
    for (double v : {r.power, r.impedance, r.phase, r.alarmSetting, r.rangeCode, r.peakFlag,
                     r.vectorGate, r.swr}) {
        if (!std::isfinite(v))
            std::abort();
    }
    if (!r.received || r.meterText.size() != 6)
        std::abort();
    return 0;
}
