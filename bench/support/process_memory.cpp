// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/process_memory.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

namespace ringwise::bench {

ResidentMemory residentMemory(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    ResidentMemory kib;
    if (!status.open(QIODevice::ReadOnly))
        return kib;
    const auto value = [](const QByteArray &line) {
        return line.mid(line.indexOf(':') + 1).simplified().split(' ').value(0).toDouble();
    };
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            kib.all = value(line);
        else if (line.startsWith("RssAnon:"))
            kib.anonymous = value(line);
    }
    return kib;
}

int openDescriptors(qint64 pid) {
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                   .entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

}  // namespace ringwise::bench
