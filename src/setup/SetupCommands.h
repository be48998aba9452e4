// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineParser>
#include <optional>

// Set-up from a terminal, on a station computer reached over ssh: no file to
// edit by hand, every value checked by its key's own rule.

// Adds --list-devices, --device PATH (with --port N), --set GROUP/KEY=VALUE
// (repeatable, and/or positional arguments after --set) and --show-settings,
// and --by-id-dir for the first two.
void AddSetupOptions(QCommandLineParser& parser);

// When the parser names a set-up command, runs it on the settings file and
// returns its exit status: 0 done, 1 refused (nothing written), 2 a usage
// error. Nothing otherwise: the program then runs as the service.
std::optional<int> RunSetupCommand(const QCommandLineParser& parser, const QString& settingsFile);
