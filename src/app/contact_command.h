// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCommandLineParser;
class QTextStream;

namespace ringwise {

class SettingsStore;

// `--import FILE [--replace] [--dry-run]` brings a vCard or CSV file into the contact book;
// `--export FILE.vcf|FILE.csv` writes the book out. Both work on the database file beside a
// running server: SQLite lets the two share it.
void addContactOptions(QCommandLineParser &parser);
bool isContactCommand(const QCommandLineParser &parser);

// Runs the command and gives the exit status: 0 done (an import may still have refused
// some contacts: the summary says which and why), 1 nothing imported or written,
// 2 the options do not go together.
int runContactCommand(const SettingsStore &store, const QCommandLineParser &parser,
                      QTextStream &out, QTextStream &err);

}  // namespace ringwise
