// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCommandLineParser;
class QTextStream;

namespace ringwise {

class SettingsStore;

// `--settings` prints the stored settings; `--set KEY=VALUE` changes one, by the rules of
// the settings dialog. This is how a user without a desktop edits what the dialog edits.
void addSettingsOptions(QCommandLineParser &parser);
bool isSettingsCommand(const QCommandLineParser &parser);

// Runs the command of a parsed command line and gives the exit status: 0 done,
// 1 the store refused a write, 2 the request was refused and nothing was written.
int runSettingsCommand(SettingsStore &store, const QCommandLineParser &parser, QTextStream &out,
                       QTextStream &err);

}  // namespace ringwise
