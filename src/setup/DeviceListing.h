// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class SerialDeviceList;

// The serial devices present, with the Serial Device dialog's columns (by-id
// name, kernel name, maker, serial number, USB ID) and whether this user may
// open each, and where not, why and the fix: aligned columns that fit in
// `width` characters, else one block a device.
QString DeviceListing(const SerialDeviceList& list, int width);
