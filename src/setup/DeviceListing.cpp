// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceListing.h"

#include "OpenFailureReason.h"
#include "SerialDeviceList.h"

#include <algorithm>
#include <array>

namespace {
constexpr int ColumnCount = 6;
using Row = std::array<QString, ColumnCount>;
const Row Headings{QStringLiteral("DEVICE"), QStringLiteral("KERNEL"),
                   QStringLiteral("MAKER"),  QStringLiteral("SERIAL NUMBER"),
                   QStringLiteral("USB ID"), QStringLiteral("MAY OPEN")};
const Row BlockLabels{QString(),
                      QStringLiteral("kernel name"),
                      QStringLiteral("maker"),
                      QStringLiteral("serial number"),
                      QStringLiteral("USB ID"),
                      QStringLiteral("may open")};

QString Line(const Row& row, const std::array<qsizetype, ColumnCount>& widths)
{
    QString line;
    for (int c = 0; c < ColumnCount; ++c)
        line += c + 1 < ColumnCount ? row[c].leftJustified(widths[c] + 2) : row[c];
    return line + u'\n';
}
} // namespace

QString DeviceListing(const SerialDeviceList& list, int width)
{
    const SerialDevices devices = list.devices();
    if (devices.isEmpty())
        return QStringLiteral("no serial devices found (looked at the system's serial ports and "
                              "in %1)\n")
            .arg(list.byIdDir());
    QList<Row> rows;
    QStringList reasons;
    std::array<qsizetype, ColumnCount> widths{};
    for (const SerialDevice& d : devices) {
        // The picker's check: a device someone else holds counts as closed too.
        const PathCheck check = CheckDevicePath(d.path, list);
        const bool ready = check.verdict == PathCheck::Verdict::Ready;
        rows.append({d.byIdPaths.isEmpty() ? d.path : d.byIdPaths.first().section(u'/', -1),
                     d.kernelName(), d.manufacturer, d.serialNumber, d.vendorProduct(),
                     ready ? QStringLiteral("yes") : QStringLiteral("no")});
        reasons << (ready ? QString() : check.reason);
        for (int c = 0; c < ColumnCount; ++c)
            widths[c] = std::max({widths[c], Headings[c].size(), rows.last()[c].size()});
    }
    qsizetype total = 0;
    for (const qsizetype w : widths)
        total += w + 2;
    QString text;
    if (total <= width) {
        text += Line(Headings, widths);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            text += Line(rows[i], widths);
            if (!reasons[i].isEmpty())
                text += QStringLiteral("    ") + reasons[i] + u'\n';
        }
    } else {
        for (qsizetype i = 0; i < rows.size(); ++i) {
            text += rows[i][0] + u'\n';
            for (int c = 1; c < ColumnCount; ++c)
                if (!rows[i][c].isEmpty())
                    text += QStringLiteral("  %1: %2\n").arg(BlockLabels[c], rows[i][c]);
            if (!reasons[i].isEmpty())
                text += QStringLiteral("  why not: ") + reasons[i] + u'\n';
        }
    }
    // A by-id name follows its adapter to whatever kernel name it gets next.
    return text + QStringLiteral("\nChoose one with --device PATH, as in --device %1\n")
                      .arg(devices.first().preferredPath());
}
