#pragma once

// The benchmarks' peak memory: the process's high-water mark of resident
// memory (VmHWM), and its reset.

#include <QByteArray>
#include <QFile>

namespace lanting::bench
{

inline qint64 peakKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith("VmHWM:"))
            return l.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

inline void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

} // namespace lanting::bench
