// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DBusHostLink.h"
#include "Links.h"
#include "MeterRun.h"
#include "QtSerialLink.h"

class SettingsStore;

// The program's parts on the real meter line and the real host link: one
// metering run and everything that follows it, composed one way for the
// program with a window, the run without one and the tests.
struct ProgramParts {
    explicit ProgramParts(SettingsStore& settings);

    SettingsStore& store;
    QtSerialLink port;
    DBusHostLink host;
    MeterRun run;
    Links links;
};
