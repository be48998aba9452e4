// SPDX-License-Identifier: GPL-3.0-or-later
#include "RigctlProtocol.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace Rigctl {
namespace {

// The commands the relay passes on, with the value lines rigctld 4.5 prints
// for each in the default form (measured against "rigctld -m 1"). A command
// not listed is refused here rather than sent to a daemon that might wait
// for more input or run its letters as separate commands.
constexpr std::array Commands{
    CommandInfo{'f', "get_freq", 0, 1},
    CommandInfo{'F', "set_freq", 1, 0},
    CommandInfo{'m', "get_mode", 0, 2},
    CommandInfo{'M', "set_mode", 2, 0},
    CommandInfo{'v', "get_vfo", 0, 1},
    CommandInfo{'V', "set_vfo", 1, 0},
    CommandInfo{'j', "get_rit", 0, 1},
    CommandInfo{'J', "set_rit", 1, 0},
    CommandInfo{'z', "get_xit", 0, 1},
    CommandInfo{'Z', "set_xit", 1, 0},
    CommandInfo{'t', "get_ptt", 0, 1},
    CommandInfo{'T', "set_ptt", 1, 0},
    CommandInfo{'s', "get_split_vfo", 0, 2},
    CommandInfo{'S', "set_split_vfo", 2, 0},
    CommandInfo{'i', "get_split_freq", 0, 1},
    CommandInfo{'I', "set_split_freq", 1, 0},
    CommandInfo{'x', "get_split_mode", 0, 2},
    CommandInfo{'X', "set_split_mode", 2, 0},
    CommandInfo{'y', "get_ant", 1, 4},
    CommandInfo{'Y', "set_ant", 2, 0},
    CommandInfo{'r', "get_rptr_shift", 0, 1},
    CommandInfo{'R', "set_rptr_shift", 1, 0},
    CommandInfo{'o', "get_rptr_offs", 0, 1},
    CommandInfo{'O', "set_rptr_offs", 1, 0},
    CommandInfo{'c', "get_ctcss_tone", 0, 1},
    CommandInfo{'C', "set_ctcss_tone", 1, 0},
    CommandInfo{'d', "get_dcs_code", 0, 1},
    CommandInfo{'D', "set_dcs_code", 1, 0},
    CommandInfo{'n', "get_ts", 0, 1},
    CommandInfo{'N', "set_ts", 1, 0},
    CommandInfo{'u', "get_func", 1, 1},
    CommandInfo{'U', "set_func", 2, 0},
    CommandInfo{'l', "get_level", 1, 1},
    CommandInfo{'L', "set_level", 2, 0},
    CommandInfo{'p', "get_parm", 1, 1},
    CommandInfo{'P', "set_parm", 2, 0},
    CommandInfo{'e', "get_mem", 0, 1},
    CommandInfo{'E', "set_mem", 1, 0},
    CommandInfo{'B', "set_bank", 1, 0},
    CommandInfo{'G', "vfo_op", 1, 0},
    CommandInfo{'g', "scan", 2, 0},
    CommandInfo{'a', "get_trn", 0, 1},
    CommandInfo{'A', "set_trn", 1, 0},
    CommandInfo{'_', "get_info", 0, 1},
    CommandInfo{'2', "power2mW", 3, 1},
    CommandInfo{'4', "mW2power", 3, 1},
    CommandInfo{0, "get_powerstat", 0, 1},
    CommandInfo{0, "set_powerstat", 1, 0},
    CommandInfo{0, "get_dcd", 0, 1},
    CommandInfo{0, "get_ctcss_sql", 0, 1},
    CommandInfo{0, "set_ctcss_sql", 1, 0},
    CommandInfo{0, "get_dcs_sql", 0, 1},
    CommandInfo{0, "set_dcs_sql", 1, 0},
    CommandInfo{0, "get_vfo_info", 1, 5},
    CommandInfo{0, "get_lock_mode", 0, 1},
    CommandInfo{0, "set_lock_mode", 1, 0},
    CommandInfo{0, "set_vfo_opt", 1, 0},
    CommandInfo{0, "stop_morse", 0, 0},
    // Answered here; the relay sends them only for itself.
    CommandInfo{0, "chk_vfo", 0, 1},
    CommandInfo{0, "dump_state", 0, -1},
};

const CommandInfo* FindShort(char name)
{
    const auto it = std::find_if(Commands.begin(), Commands.end(),
                                 [name](const CommandInfo& c) { return c.shortName == name; });
    return it == Commands.end() ? nullptr : &*it;
}

const CommandInfo* FindLong(const QByteArray& name)
{
    const auto it = std::find_if(Commands.begin(), Commands.end(),
                                 [&name](const CommandInfo& c) { return name == c.longName; });
    return it == Commands.end() ? nullptr : &*it;
}

bool IsPrefix(char c)
{
    return std::ispunct(static_cast<unsigned char>(c)) && c != '\\' && c != '?' && c != '_';
}

QByteArray Header(const Command& command)
{
    QByteArray header = command.longName() + ':';
    for (const QByteArray& arg : command.args)
        header += ' ' + arg;
    return header + command.separator;
}

QList<QByteArray> CompleteLines(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast(); // the part after the last line end is not a line yet
    return lines;
}

bool AllZero(const QByteArray& line)
{
    const QList<QByteArray> tokens = line.simplified().split(' ');
    return std::all_of(tokens.begin(), tokens.end(), [](const QByteArray& t) {
        bool ok = false;
        return t.toDouble(&ok) == 0 && ok;
    });
}
} // namespace

bool Command::is(const char* name) const
{
    return info && qstrcmp(info->longName, name) == 0;
}

QByteArray Command::wireLine() const
{
    QByteArray line;
    if (prefix)
        line += prefix;
    if (info->shortName)
        line += info->shortName;
    else
        line += '\\' + QByteArray(info->longName);
    for (const QByteArray& arg : args)
        line += ' ' + arg;
    return line + '\n';
}

ParseResult Parse(const QByteArray& rawLine, bool vfoMode, Command& command)
{
    command = Command();
    const QByteArray line = rawLine.trimmed();
    if (line.isEmpty())
        return ParseResult::Empty;
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u >= 0x7f)
            return ParseResult::Malformed;
    }
    qsizetype pos = 0;
    if (IsPrefix(line[0])) {
        command.prefix = line[0];
        command.separator = line[0] == '+' ? '\n' : line[0];
        pos = 1;
    }
    const QList<QByteArray> words = line.mid(pos).simplified().split(' ');
    const QByteArray& name = words.front();
    if (name.isEmpty())
        return ParseResult::Malformed;
    if (name == "q" || name == "Q" || name == "\\quit")
        return ParseResult::Quit;
    if (name.startsWith('\\'))
        command.info = FindLong(name.mid(1));
    else if (name.size() == 1)
        command.info = FindShort(name[0]);
    if (!command.info)
        return ParseResult::Malformed;
    command.args = words.mid(1);
    const auto given = command.args.size();
    const bool fits = given == command.info->inputs ||
                      (vfoMode && command.info->outputs >= 0 && given == command.info->inputs + 1);
    return fits ? ParseResult::Command : ParseResult::Malformed;
}

QByteArray ErrorAnswer(const Command& command, int error)
{
    const QByteArray report = "RPRT " + QByteArray::number(-error) + '\n';
    return command.extended() ? Header(command) + report : report;
}

QByteArray MalformedAnswer(const QByteArray&)
{
    return "RPRT -" + QByteArray::number(InvalidParameter) + '\n';
}

QByteArray ValuesAnswer(const Command& command, const QList<QByteArray>& labels,
                        const QList<QByteArray>& values)
{
    QByteArray answer;
    if (!command.extended()) {
        for (const QByteArray& v : values)
            answer += v + '\n';
        return answer;
    }
    answer = Header(command);
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QByteArray label = labels.value(i);
        answer += (label.isEmpty() ? values[i] : label + ": " + values[i]) + command.separator;
    }
    return answer + "RPRT 0\n";
}

bool AnswerComplete(const Command& command, const QByteArray& answer)
{
    if (!answer.endsWith('\n'))
        return false;
    const QList<QByteArray> lines = CompleteLines(answer);
    if (command.extended()) {
        const QByteArray& last = lines.back();
        return last.startsWith("RPRT ") || last.contains(command.separator + QByteArray("RPRT "));
    }
    if (std::any_of(lines.begin(), lines.end(),
                    [](const QByteArray& l) { return l.startsWith("RPRT "); }))
        return true;
    if (command.info->outputs < 0)
        return lines.back() == "done";
    return command.info->outputs > 0 && lines.size() >= command.info->outputs;
}

MeterReading ReadingOf(const StatusRecord& record)
{
    MeterReading r;
    if (!record.received)
        return r;
    r.swr = record.swr;
    r.watts = record.power;
    if (const std::optional<double> fullScale = FullScaleWatts(record.rangeCode))
        r.fraction = std::clamp(record.power / *fullScale, 0.0, 1.0);
    return r;
}

namespace {
using LevelField = std::optional<double> MeterReading::*;
struct NamedLevel {
    const char* name;
    LevelField field;
};
constexpr std::array<NamedLevel, 3> MeterLevelNames{{
    {"SWR", &MeterReading::swr},
    {"RFPOWER_METER", &MeterReading::fraction},
    {"RFPOWER_METER_WATTS", &MeterReading::watts},
}};

LevelField FieldOf(const QByteArray& name)
{
    for (const NamedLevel& level : MeterLevelNames) {
        if (name == level.name)
            return level.field;
    }
    return nullptr;
}
} // namespace

bool IsMeterLevel(const QByteArray& name)
{
    return FieldOf(name) != nullptr;
}

std::optional<double> MeterLevel(const QByteArray& name, const MeterReading& reading)
{
    const LevelField field = FieldOf(name);
    return field ? reading.*field : std::nullopt;
}

QByteArray MeterOnlyDumpState()
{
    // Protocol 1, model 2 (NET rigctl), region 0; one receive range so that
    // clients which check for one are content; no transmit ranges, steps,
    // filters, offsets, preamps or attenuators; only the three levels.
    return "1\n2\n0\n"
           "150000.000000 1500000000.000000 0x1ff -1 -1 0x3 0x0\n"
           "0 0 0 0 0 0 0\n"
           "0 0 0 0 0 0 0\n"
           "0 0\n"
           "0 0\n"
           "0\n0\n0\n0\n"
           "\n\n"
           "0x0\n0x0\n0x" +
           QByteArray::number(MeterLevels, 16) +
           "\n0x0\n0x0\n0x0\n"
           "vfo_ops=0x0\nptt_type=0x0\ntargetable_vfo=0x0\n"
           "has_set_vfo=0\nhas_get_vfo=0\nhas_set_freq=0\nhas_get_freq=0\n"
           "has_set_conf=0\nhas_get_conf=0\nhas_power2mW=0\nhas_mW2power=0\n"
           "timeout=0\nrig_model=2\n"
           "done\n";
}

std::optional<QByteArray> WithMeterLevels(const QByteArray& dumpState)
{
    QList<QByteArray> lines = dumpState.split('\n');
    qsizetype i = 3; // protocol version, rig model, ITU region
    const auto skipPast = [&lines, &i]() {
        while (i < lines.size() && !AllZero(lines[i]))
            ++i;
        ++i;
    };
    skipPast(); // receive ranges
    skipPast(); // transmit ranges
    skipPast(); // tuning steps
    skipPast(); // filters
    i += 4;     // max RIT, max XIT, max IF shift, announces
    i += 2;     // preamps, attenuators
    i += 2;     // get and set functions
    if (i >= lines.size())
        return std::nullopt;
    bool ok = false;
    const quint64 levels = lines[i].trimmed().toULongLong(&ok, 0);
    if (!ok || !lines[i].trimmed().startsWith("0x"))
        return std::nullopt;
    lines[i] = "0x" + QByteArray::number(levels | MeterLevels, 16);
    return lines.join('\n');
}

QByteArray WithoutSettings(const QByteArray& dumpState)
{
    QByteArray out;
    for (const QByteArray& line : CompleteLines(dumpState)) {
        if (line.contains('=') || line == "done")
            continue;
        out += line + '\n';
    }
    return out;
}

} // namespace Rigctl
