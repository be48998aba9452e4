// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Links.h"
#include "MeterRun.h"

class HostLink;
class SerialLink;
class SettingsStore;

// The program's parts on the links it is given: one metering run and
// everything that follows it, composed one way for the program with a
// window, the run without one, the tools, the benchmarks and the tests.
struct ProgramParts {
    ProgramParts(SettingsStore& settings, SerialLink& serial, HostLink& hostLink);

    SettingsStore& store;
    SerialLink& port;
    HostLink& host;
    MeterRun run;
    Links links;
};
