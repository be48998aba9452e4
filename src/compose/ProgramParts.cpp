// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramParts.h"

ProgramParts::ProgramParts(SettingsStore& settings, SerialLink& serial, HostLink& hostLink)
    : store(settings), port(serial), host(hostLink), run(store, port, host), links(run, store)
{
}
