#include "support/process_status.h"

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>

namespace ringwise::test {

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
