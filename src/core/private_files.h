// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

// The call log and the settings are personal data: what this program creates for them is
// readable by its owner only. What exists already keeps the mode its owner gave it.

// Creates the folder and every missing folder above it with mode 0700. False when the
// folder does not exist afterwards.
bool makePrivateFolder(const QString &folder);

// Creates the file empty with mode 0600 when it does not exist yet, so that whatever is
// written into it later (and SQLite's -wal and -shm files, which copy its mode) is never
// readable by others. False when it had to be created and could not be.
bool createPrivateFile(const QString &path);

}  // namespace ringwise
