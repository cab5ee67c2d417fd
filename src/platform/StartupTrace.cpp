#include "platform/StartupTrace.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {
double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The kernel's start time of this process, on the monotonic clock (boot time minus suspends aside).
double processStartMs() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return monotonicMs();
    const QByteArray text = stat.readAll();
    // After the command name, which may hold blanks: field 22 (starttime) is the 20th.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return monotonicMs();
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const double sinceBootMs = double(boot.tv_sec) * 1e3 + double(boot.tv_nsec) / 1e6;
    const double startedMs = fields.at(19).toDouble() * 1000.0 / double(sysconf(_SC_CLK_TCK));
    return monotonicMs() - (sinceBootMs - startedMs);
}

double residentMb() {
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> pages = status.readAll().split(' ');
    return pages.size() < 2 ? 0 : pages.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct Origin {
    bool on = false;
    double startMs = 0;
};

const Origin& origin() {
    static const Origin value = [] {
        Origin o;
        const QByteArray setting = qgetenv("RUNEBOARD_TRACE_STARTUP");
        o.on = !setting.isEmpty();
        if (!o.on)
            return o;
        bool numeric = false;
        o.startMs = setting.toDouble(&numeric);
        if (!numeric || o.startMs <= 1)
            o.startMs = processStartMs();
        return o;
    }();
    return value;
}
} // namespace

namespace StartupTrace {

bool enabled() {
    return origin().on;
}

void mark(const char* phase) {
    if (!origin().on)
        return;
    std::fprintf(stderr, "[Start] %8.1f ms %6.1f MB  %s\n", monotonicMs() - origin().startMs, residentMb(),
                 phase);
    std::fflush(stderr);
}

} // namespace StartupTrace
