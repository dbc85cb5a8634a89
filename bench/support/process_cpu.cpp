// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/process_cpu.h"

#include <QDir>
#include <QFile>

namespace ringwise::bench {

qint64 cpuTimeNs(qint64 pid) {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    qint64 ns = 0;
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        // "time on CPU, time waiting to run, time slices", all of the thread's life.
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly))
            ns += schedstat.readAll().split(' ').value(0).toLongLong();
    }
    return ns;
}

}  // namespace ringwise::bench
