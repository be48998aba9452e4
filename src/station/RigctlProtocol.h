// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatusReply.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The rigctld network protocol as Hamlib 4.5's rigctld speaks it: one command
// a line, short ("f") or long ("\get_freq") name, arguments after blanks, and
// an optional punctuation prefix ("+", ";", "|", ",") asking for the extended
// answer form. Plain functions, so the server and the relay share them and
// tests can read them as tables.
namespace Rigctl {

// Hamlib's error codes (rig_errcode_e), sent negated as "RPRT -n".
enum Error {
    Ok = 0,
    InvalidParameter = 1, // RIG_EINVAL
    TimedOut = 5,         // RIG_ETIMEOUT
    IoError = 6,          // RIG_EIO
    ProtocolError = 8,    // RIG_EPROTO
    Rejected = 9,         // RIG_ERJCTED
    NotAvailable = 11,    // RIG_ENAVAIL
};

// Level bits of rig.h's RIG_LEVEL_* (4.5): the three this meter answers.
inline constexpr quint64 LevelSwr = 1ull << 28;
inline constexpr quint64 LevelRfPowerMeter = 1ull << 32;
inline constexpr quint64 LevelRfPowerMeterWatts = 1ull << 39;
inline constexpr quint64 MeterLevels = LevelSwr | LevelRfPowerMeter | LevelRfPowerMeterWatts;

// Longest command line a client may send; rigctld's own buffers are smaller.
inline constexpr qsizetype MaxLineLength = 1024;

struct CommandInfo {
    char shortName; // 0 where the command has only a long name
    const char* longName;
    int inputs;  // arguments the command takes
    int outputs; // value lines a successful default-form answer has
};

// One parsed client line.
struct Command {
    // The extended-form separator ('\n' for "+"), or 0 for the default form.
    char separator = 0;
    char prefix = 0;
    const CommandInfo* info = nullptr;
    QList<QByteArray> args;

    bool extended() const { return separator != 0; }
    QByteArray longName() const { return info ? QByteArray(info->longName) : QByteArray(); }
    bool is(const char* longName) const;
    // The line as the relay sends it upstream: prefix, name and arguments
    // separated by single blanks.
    QByteArray wireLine() const;
};

enum class ParseResult { Command, Quit, Empty, Malformed };

// Parses one line without its line end. `vfoMode`: the rig's daemon takes a
// VFO name as an extra first argument (its \chk_vfo says 1).
ParseResult Parse(const QByteArray& line, bool vfoMode, Command& command);

// "RPRT -n" in the command's form (the bare error line for the default form).
QByteArray ErrorAnswer(const Command& command, int error);
// An error for a line that did not parse, in the form its prefix asked for.
QByteArray MalformedAnswer(const QByteArray& line);
// A successful answer carrying `values`, in the command's form.
QByteArray ValuesAnswer(const Command& command, const QList<QByteArray>& labelled,
                        const QList<QByteArray>& values);

// True once `answer` holds the rig daemon's whole answer to `command`:
// the "RPRT n" record, or every value line of a successful default-form get.
bool AnswerComplete(const Command& command, const QByteArray& answer);

// The meter's readings as Hamlib levels; none known before the first reading.
struct MeterReading {
    std::optional<double> swr;
    std::optional<double> watts;
    // Power as a fraction of the range's full scale, 0..1; unknown, like the
    // full scale, while the meter sends a range code that names no range.
    std::optional<double> fraction;
};
MeterReading ReadingOf(const StatusRecord& record);
// Whether the meter answers this Hamlib level itself (SWR, RFPOWER_METER,
// RFPOWER_METER_WATTS) rather than the rig.
bool IsMeterLevel(const QByteArray& name);
// The value of a meter level by its Hamlib name; nothing for another level
// or for one not known now.
std::optional<double> MeterLevel(const QByteArray& name, const MeterReading& reading);

// A \dump_state for a rig that can only read the meter's three levels,
// ending in the key=value lines and "done" (as after \chk_vfo).
QByteArray MeterOnlyDumpState();
// The rig's \dump_state with the meter's levels added to its readable
// levels; nothing where the text does not have the 4.5 layout.
std::optional<QByteArray> WithMeterLevels(const QByteArray& dumpState);
// A \dump_state without the key=value lines and "done", as rigctld sends it
// to a client that has not sent \chk_vfo.
QByteArray WithoutSettings(const QByteArray& dumpState);

} // namespace Rigctl
