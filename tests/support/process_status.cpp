// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/process_status.h"

#include <unistd.h>

#include <QFile>

namespace ringwise::test {

double cpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // After the name in parentheses: state is field 3, utime and stime fields 14 and 15.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ::sysconf(_SC_CLK_TCK);
}

}  // namespace ringwise::test
