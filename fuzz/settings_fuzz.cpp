// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file's bytes through the store and the start-up loader. The loaded port and
// serial port are always usable, every setting reads, and a second load finds what the
// first one left: the defaults it writes are not written again, and a file a rewrite would
// change is left as it is.

#include <QByteArray>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/load_settings.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "fuzz/fuzz_support.h"

using namespace ringwise;

namespace {

QString g_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    static QCoreApplication application(*argc, *argv);
    // Memory-backed when the system has it: one file is written for every input.
    static QTemporaryDir folder(QFile::exists(QStringLiteral("/dev/shm"))
                                    ? QStringLiteral("/dev/shm/ringwise-fuzz-XXXXXX")
                                    : QString());
    fuzz::check(folder.isValid(), "a temporary folder");
    qputenv("XDG_DATA_HOME", folder.filePath(QStringLiteral("data")).toLocal8Bit());
    g_path = folder.filePath(QStringLiteral("Ringwise.conf"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString &path = g_path;
    {
        QFile file(path);
        fuzz::check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the settings file");
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    int messages = 0;
    const MessageSink sink = [&messages](MessageIcon, const QString &, const QString &) {
        ++messages;
    };

    ServerSettings first;
    {
        SettingsStore store(path);
        first = LoadSettings(store, sink);
        fuzz::check(first.serverPort >= 1, "a port of 0");
        fuzz::check(isSerialPortName(first.serialPort), "a serial port that is none");
        for (const Setting &setting : settingsTable())
            storedOrDefault(store, setting.key);
    }
    // Read afresh, as the next start would.
    SettingsStore again(path);
    const ServerSettings second = LoadSettings(again, sink);
    const bool same = second.serverPort == first.serverPort && second.dbPath == first.dbPath &&
                      second.serialPort == first.serialPort;
    if (!same)
        qWarning() << "first" << first.serverPort << first.dbPath << first.serialPort << "second"
                   << second.serverPort << second.dbPath << second.serialPort;
    fuzz::check(same, "a second load differs from the first");
    return 0;
}
