// Start to the first frame on a headless sway: Runeboard (its panel is an
// Xwayland window, so the first start also starts Xwayland) against wvkbd, a
// layer-shell keyboard drawn by the compositor's own protocol, in the same run.
// Runeboard's time is its own trace's "panel painted"; wvkbd's is when
// WAYLAND_DEBUG shows it committing its first buffer. Both count from the
// moment the program was started, on a private session bus as a desktop
// session has one. A second Runeboard binary with the same trace, named by
// RUNEBOARD_BEFORE_BINARY, is measured in turn with them.
#include "SessionBus.h"
#include "SessionUser.h"
#include "SwaySession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>

namespace {
constexpr int runs = 7;
constexpr double targetMs = 300;
constexpr double targetRatio = 1.5;
// A keyboard that goes makes the compositor hand Xwayland a keymap again; the next start waits
// until Xwayland has compiled it, as a start on a quiet desktop would find it.
constexpr unsigned long settleMs = 1500;

QString runeboardPath() {
    const QString fromEnvironment = qEnvironmentVariable("RUNEBOARD_BINARY");
    return fromEnvironment.isEmpty() ? QStringLiteral(RUNEBOARD_BINARY_PATH) : fromEnvironment;
}

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

class Sway : public SwaySession {
public:
    using XSession::startIn;
};

// Reads the program's standard error line by line as it comes; `done` says,
// for each line, whether the frame is there. Milliseconds from the start, or
// nothing after 15 s.
std::optional<double> timeToFrame(QProcess& process, const QElapsedTimer& clock,
                                  const std::function<bool(const QByteArray&)>& done) {
    while (clock.elapsed() < 15000) {
        if (!process.canReadLine() && !process.waitForReadyRead(50)) {
            if (process.state() == QProcess::NotRunning)
                return std::nullopt;
            continue;
        }
        while (process.canReadLine()) {
            if (done(process.readLine()))
                return double(clock.nsecsElapsed()) / 1e6;
        }
    }
    return std::nullopt;
}

void printRow(const char* name, const QList<double>& times, const std::optional<double>& first) {
    if (times.isEmpty() && !first) {
        std::printf("  %-10s showed nothing\n", name);
        return;
    }
    std::printf(
        "  %-10s first start %7.1f ms; later starts median %7.1f ms (min %.1f, max %.1f, %lld runs)\n", name,
        first.value_or(-1), median(times),
        times.isEmpty() ? 0 : *std::min_element(times.begin(), times.end()),
        times.isEmpty() ? 0 : *std::max_element(times.begin(), times.end()), qlonglong(times.size()));
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("RUNEBOARD_E2E_TOOLS"))
        qputenv("RUNEBOARD_E2E_TOOLS", RUNEBOARD_TOOLS_PATH);
    Sway sway;
    QString error;
    if (!sway.start(&error)) {
        std::printf("bench_startup_sway: not measured: %s\n", qPrintable(error));
        return 1;
    }
    SessionBus bus(SessionUser::commandLine);
    QProcessEnvironment desktop = sway.environment();
    if (!bus.start(desktop, &error)) {
        std::printf("bench_startup_sway: not measured: %s\n", qPrintable(error));
        return 1;
    }
    bus.addTo(desktop);
    const QString wvkbd = QStandardPaths::findExecutable(QStringLiteral("wvkbd-mobintl"));
    std::printf(
        "Headless sway (pixman), 1280x800, every program on a private session bus (%s); %d starts "
        "each, alternating. Targets: Runeboard's median <= %.0f ms and <= %.1fx wvkbd's in this run.\n",
        qPrintable(bus.description()), runs, targetMs, targetRatio);

    // Runeboard's starts; the panel's first paint is in its own trace.
    struct Starts {
        Sway& sway;
        const QProcessEnvironment& desktop;
        QList<double> later;
        std::optional<double> first;
        QByteArray trace;

        void measure(int run, const QString& program) {
            QDir(sway.configHome() + QStringLiteral("/runeboard")).removeRecursively();
            QDir(sway.runtimeDir() + QStringLiteral("/runeboard")).removeRecursively();
            QProcess process;
            QElapsedTimer clock;
            clock.start();
            QProcessEnvironment env = desktop;
            env.insert(QStringLiteral("RUNEBOARD_TRACE_STARTUP"),
                       QString::number(monotonicMs() - double(clock.nsecsElapsed()) / 1e6, 'f', 3));
            process.setProcessChannelMode(QProcess::MergedChannels);
            sway.startIn(process, program, {}, env);
            QByteArray lines;
            const std::optional<double> shown = timeToFrame(process, clock, [&](const QByteArray& line) {
                lines += line;
                return line.contains("panel painted");
            });
            if (run == 0)
                first = shown;
            else if (shown)
                later.append(*shown);
            if (run == 1)
                trace = lines;
            sway.run(program, {QStringLiteral("--quit")}, 10000, desktop);
            if (!process.waitForFinished(5000))
                process.kill();
            process.waitForFinished(2000);
            QThread::msleep(settleMs);
        }
    };
    const QString before = qEnvironmentVariable("RUNEBOARD_BEFORE_BINARY");
    Starts ours{sway, desktop, {}, {}, {}};
    Starts previous{sway, desktop, {}, {}, {}};
    QList<double> theirs;
    std::optional<double> theirsFirst;
    for (int run = 0; run < runs; ++run) {
        ours.measure(run, runeboardPath());
        if (!before.isEmpty())
            previous.measure(run, before);
        if (!wvkbd.isEmpty()) {
            QProcess process;
            QElapsedTimer clock;
            clock.start();
            QProcessEnvironment env = desktop;
            env.insert(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("1"));
            process.setProcessChannelMode(QProcess::MergedChannels);
            sway.startIn(process, wvkbd, {}, env);
            bool attached = false;
            const std::optional<double> shown = timeToFrame(process, clock, [&](const QByteArray& line) {
                if (line.contains("-> wl_surface@") && line.contains(".attach(wl_buffer@"))
                    attached = true;
                return attached && line.contains("-> wl_surface@") && line.contains(".commit()");
            });
            if (run == 0)
                theirsFirst = shown;
            else if (shown)
                theirs.append(*shown);
            process.terminate();
            if (!process.waitForFinished(5000))
                process.kill();
            process.waitForFinished(2000);
            QThread::msleep(settleMs);
        }
    }
    printRow("Runeboard", ours.later, ours.first);
    if (!before.isEmpty())
        printRow("before", previous.later, previous.first);
    if (wvkbd.isEmpty())
        std::printf("  wvkbd      not installed (scripts/install-deps bench), no comparison\n");
    else
        printRow("wvkbd", theirs, theirsFirst);
    std::printf("\nPhases of Runeboard's second start (ms from the start, resident memory then):\n");
    for (const QByteArray& line : ours.trace.split('\n')) {
        if (line.startsWith("[Start]"))
            std::printf("  %s\n", line.mid(8).constData());
    }
    const double limit = theirs.isEmpty() ? targetMs : std::min(targetMs, median(theirs) * targetRatio);
    const bool met = !ours.later.isEmpty() && median(ours.later) <= limit;
    std::printf(
        "\nstart to painted panel on sway: %.1f ms, target <= %.1f ms (300 ms and %.1fx wvkbd's %.1f ms): "
        "%s\n",
        median(ours.later), limit, targetRatio, median(theirs), met ? "met" : "MISSED");
    return met ? 0 : 1;
}
