#pragma once

#include <QString>
#include <QStringView>

// The meter's commands: three characters each, sent with no terminator.
inline constexpr QStringView PollCommand = u";P?";
inline constexpr QStringView AlarmCommand = u";A?";
inline constexpr QStringView PeakCommand = u";F?";

// Length of the one status reply the meter sends.
inline constexpr qsizetype StatusReplyLength = 43;

// The decoded fields of the last accepted status reply. Before the first
// accepted reply every number is 0 and the text is empty.
struct StatusRecord {
    // False until the first accepted reply: the fields are unset then, and
    // show as empty text.
    bool Received = false;
    double Power = 0;
    double Impedance = 0;
    double Phase = 0;
    double AlarmMode = 0;
    QString Label6Text;
    double RangeCode = 0;
    double PeakFlag = 0;
    double VectorGate = 0;
    double Swr = 0;
    // Derived from Impedance and Phase right after each decoding.
    double Resistance = 0;
    double Reactance = 0;
};

// Lenient text-to-number conversion of reply fields: blanks, tabs and line
// feeds are dropped wherever they stand, then the longest leading number with
// an optional sign and "." as decimal point is read; 0 when there is none.
double LeadingNumber(QStringView text);

// True exactly when the whole read is one status reply: 43 characters that
// begin with ";". Nothing is trimmed, searched or split first.
bool IsStatusReply(QStringView reply);

// Overwrites every field of the record from an accepted reply, in position
// order. No further validation: a field of garbage decodes to its leading
// number or 0. The derived fields are left to the readings display.
void DecodeStatusReply(QStringView reply, StatusRecord& record);

// Port number of a port-list entry: the leading number of its last two
// characters, rounded to the nearest 16-bit integer ("Com09 " gives 9).
qint16 PortNumberFromEntry(QStringView entryText);
