#include "StatusReply.h"

#include <cmath>
#include <limits>

double LeadingNumber(QStringView text)
{
    QString compact;
    compact.reserve(text.size());
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            compact.append(c);
    }

    // Take the longest prefix of the shape [+-]digits[.digits] and convert
    // that alone, so the meter's "." never depends on the user's locale.
    qsizetype end = 0;
    if (end < compact.size() && (compact[end] == u'+' || compact[end] == u'-'))
        ++end;
    bool seenPoint = false;
    bool seenDigit = false;
    for (; end < compact.size(); ++end) {
        const QChar c = compact[end];
        if (c >= u'0' && c <= u'9') {
            seenDigit = true;
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!seenDigit)
        return 0;
    bool ok = false;
    const double value = QStringView(compact).left(end).toDouble(&ok);
    return ok ? value : 0;
}

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
    record.Received = true;
    record.Power = LeadingNumber(Field(reply, 2, 7));
    record.Impedance = LeadingNumber(Field(reply, 10, 5));
    record.Phase = LeadingNumber(Field(reply, 16, 5));
    record.AlarmMode = LeadingNumber(Field(reply, 22, 1));
    record.Label6Text = Field(reply, 24, 6).toString();
    record.RangeCode = LeadingNumber(Field(reply, 31, 1));
    record.PeakFlag = LeadingNumber(Field(reply, 33, 1));
    record.VectorGate = LeadingNumber(Field(reply, 35, 4));
    record.Swr = LeadingNumber(Field(reply, 40, 4));
}

qint16 PortNumberFromEntry(QStringView entryText)
{
    // nearbyint rounds halves to the even neighbour in the default mode.
    const double n = std::nearbyint(LeadingNumber(entryText.right(2)));
    constexpr double lo = std::numeric_limits<qint16>::min();
    constexpr double hi = std::numeric_limits<qint16>::max();
    return static_cast<qint16>(n < lo ? lo : (n > hi ? hi : n));
}
