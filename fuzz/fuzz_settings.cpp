// SPDX-License-Identifier: GPL-3.0-or-later
// Any stored text through every key of the StartUp table: the value read is
// the key's default or a finite value in the key's sensible range, and its
// own text reads back as the same value.
#include "StartUpSettings.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

namespace {
template <typename T> void Check(const SettingKey<T>& key, const QString& text)
{
    const T value = key.valueOf(text);
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value))
            std::abort();
    }
    if (!(value == key.defaultValue) && key.sensible && !key.sensible(value))
        std::abort();
    // What the program stores for a value must read back as that value.
    if (!(key.valueOf(key.toText(value)) == value))
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Stored texts come from a UTF-8 file that a person may have edited.
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    using namespace StartUpSettings;
    Check(PositionLeft, text);
    Check(PositionTop, text);
    Check(PowerMode, text);
    Check(Range, text);
    Check(Scale, text);
    Check(Alarm, text);
    Check(Height, text);
    Check(SetupStyle, text);
    Check(SmallStyle, text);
    Check(VectorStyle, text);
    Check(PortNumber, text);
    Check(PollPeriod, text);
    return 0;
}
