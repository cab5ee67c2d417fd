// Start-up cost of Runeboard on a private X display with a window manager and
// a private session bus, as a desktop session has them: the time from
// starting the program (with a fresh configuration) until its panel is
// viewable on screen, the resident memory 3 s after the start, and
// the CPU time used while idling 10 s with the panel shown and 10 s hidden.
// The same start-up figures for xvkbd (the peer the targets are set against)
// and Onboard are measured in the same run, their starts taking turns with
// Runeboard's; a second Runeboard binary named by RUNEBOARD_BEFORE_BINARY takes
// its turns too, for a before/after in one run, and so does Runeboard started
// without a session bus. One start of Runeboard's is traced by phase.
#include "SessionBus.h"
#include "XSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <xcb/xcb.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace {
constexpr int runs = 11;
// At most this many times xvkbd's median start in the same run, and this much resident memory.
constexpr double targetMapRatio = 1.3;
constexpr double targetRssMb = 28;

QString runeboardPath() {
    const QString fromEnvironment = qEnvironmentVariable("RUNEBOARD_BINARY");
    return fromEnvironment.isEmpty() ? QStringLiteral(RUNEBOARD_BINARY_PATH) : fromEnvironment;
}

// Other work on the machine slows every start; the figures are read with it.
QByteArray loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return "unknown";
    return file.readAll().split(' ').mid(0, 3).join(' ');
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

std::optional<qint64> residentKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return std::nullopt;
}

// User plus system CPU time of a process, in milliseconds.
std::optional<double> cpuMs(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which may itself hold blanks, start after the last ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return std::nullopt;
    const double ticks = fields.at(11).toDouble() + fields.at(12).toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// Watches the display for windows becoming viewable.
class MapWatcher {
public:
    explicit MapWatcher(const QString& display) {
        m_connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
    }
    ~MapWatcher() { xcb_disconnect(m_connection); }

    bool isOpen() const { return m_root != 0; }

    void drain() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    // Milliseconds from `clock`'s start until a window that `matches` is
    // viewable, or nothing at the time-out.
    std::optional<double> waitForViewable(const QElapsedTimer& clock,
                                          const std::function<bool(xcb_window_t)>& matches, int timeoutMs) {
        pollfd readable{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        while (clock.elapsed() < timeoutMs) {
            xcb_generic_event_t* event = xcb_poll_for_event(m_connection);
            if (!event) {
                ::poll(&readable, 1, 5);
                continue;
            }
            const double at = double(clock.nsecsElapsed()) / 1e6;
            const int type = event->response_type & 0x7f;
            std::optional<xcb_window_t> mapped;
            if (type == XCB_MAP_NOTIFY)
                mapped = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
            std::free(event);
            if (!mapped)
                continue;
            // The window manager maps its frame around the client; the client may be inside it.
            for (xcb_window_t window : subtree(*mapped)) {
                if (!matches(window))
                    continue;
                if (isViewable(window))
                    return at;
                const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &mask);
                xcb_flush(m_connection);
            }
        }
        return std::nullopt;
    }

    QByteArray name(xcb_window_t window) const {
        xcb_get_property_reply_t* reply =
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, false, window, XCB_ATOM_WM_NAME,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                                   nullptr);
        QByteArray text;
        if (reply)
            text = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                              xcb_get_property_value_length(reply));
        std::free(reply);
        return text;
    }

private:
    QList<xcb_window_t> subtree(xcb_window_t top) const {
        QList<xcb_window_t> windows{top};
        for (qsizetype i = 0; i < windows.size() && i < 64; ++i) {
            xcb_query_tree_reply_t* tree =
                xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, windows.at(i)), nullptr);
            if (!tree)
                continue;
            const xcb_window_t* children = xcb_query_tree_children(tree);
            for (int c = 0; c < xcb_query_tree_children_length(tree); ++c)
                windows.append(children[c]);
            std::free(tree);
        }
        return windows;
    }

    bool isViewable(xcb_window_t window) const {
        xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
            m_connection, xcb_get_window_attributes(m_connection, window), nullptr);
        const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        return viewable;
    }

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
};

struct StartFigures {
    QList<double> mapMs;
    std::optional<qint64> rssKb;
};

void freshConfiguration(XSession& session) {
    QDir(session.configHome()).removeRecursively();
    QDir().mkpath(session.configHome());
    QDir(session.runtimeDir() + QStringLiteral("/runeboard")).removeRecursively();
}

// One program measured: how it is started, how its window is told apart, how it is ended.
struct Contender {
    const char* name;
    QString program;
    QProcessEnvironment environment;
    std::function<bool(xcb_window_t)> matches;
    std::function<void(QProcess&)> stop;
    bool traced = false;
    StartFigures figures{};
    QByteArray trace{};
    bool failed = false;
};

// One start of the contender; the last one is also read for its resident memory 3 s after the
// start, and for its phases when it is traced.
void measureStart(XSession& session, MapWatcher& watcher, Contender& contender, bool last) {
    freshConfiguration(session);
    watcher.drain();
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    QProcessEnvironment environment = contender.environment;
    // The phases are counted from this clock's start.
    if (contender.traced && last)
        environment.insert(QStringLiteral("RUNEBOARD_TRACE_STARTUP"),
                           QString::number(monotonicMs() - double(clock.nsecsElapsed()) / 1e6, 'f', 3));
    process.setProcessEnvironment(environment);
    process.start(contender.program, {});
    const std::optional<double> mapped = watcher.waitForViewable(clock, contender.matches, 15000);
    if (!mapped) {
        std::printf("  %s: no window appeared within 15 s\n", contender.name);
        contender.stop(process);
        contender.failed = true;
        return;
    }
    contender.figures.mapMs.append(*mapped);
    if (last) {
        QThread::msleep(static_cast<unsigned long>(std::max<qint64>(0, 3000 - clock.elapsed())));
        contender.figures.rssKb = residentKb(process.processId());
    }
    contender.stop(process);
    if (contender.traced && last)
        contender.trace = process.readAllStandardError();
}

void printStart(const char* name, const StartFigures& figures) {
    if (figures.mapMs.isEmpty()) {
        std::printf("%-10s did not show a window\n", name);
        return;
    }
    std::printf(
        "%-10s start to mapped window: median %6.1f ms (min %.1f, max %.1f, %d runs); resident after 3 s: ",
        name, median(figures.mapMs), *std::min_element(figures.mapMs.begin(), figures.mapMs.end()),
        *std::max_element(figures.mapMs.begin(), figures.mapMs.end()), int(figures.mapMs.size()));
    if (figures.rssKb)
        std::printf("%.1f MB\n", double(*figures.rssKb) / 1024.0);
    else
        std::printf("unknown\n");
}

void endProcess(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(2000);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString runeboard = runeboardPath();
    if (!QFileInfo(runeboard).isExecutable()) {
        std::fprintf(stderr, "bench_startup: %s is not built\n", qPrintable(runeboard));
        return 1;
    }
    XSession session;
    QString error;
    if (!session.start(&error)) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(error));
        return 1;
    }
    MapWatcher watcher(session.display());
    if (!watcher.isOpen()) {
        std::fprintf(stderr, "bench_startup: cannot watch display %s\n", qPrintable(session.display()));
        return 1;
    }
    SessionBus bus;
    QProcessEnvironment desktop = session.environment();
    if (!bus.start(desktop, &error)) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(error));
        return 1;
    }
    bus.addTo(desktop);
    QProcessEnvironment busless = session.environment();
    busless.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    std::printf(
        "Xvfb 1280x800 with openbox, a fresh configuration for every start, every program on a private "
        "session bus (%s); targets: at most %.1fx xvkbd's median start in this run, at most %.0f MB "
        "resident 3 s after the start, no CPU time while idle.\n",
        qPrintable(bus.description()), targetMapRatio, targetRssMb);

    const auto quitWith = [&](const QString& program) {
        return [&session, &desktop, program](QProcess& process) {
            session.run(program, {QStringLiteral("--quit")}, 30000, desktop);
            if (!process.waitForFinished(5000))
                endProcess(process);
        };
    };
    const auto quitRuneboard = quitWith(runeboard);
    const auto isPanel = [&](xcb_window_t window) { return watcher.name(window) == "Runeboard Keyboard"; };
    const auto anyWindow = [](xcb_window_t) { return true; };
    // The starts take turns, so that other work on the machine weighs on each program alike.
    std::vector<Contender> contenders{{"Runeboard", runeboard, desktop, isPanel, quitRuneboard, true}};
    // Before/after in one run: the other binary quits the same way.
    const QString before = qEnvironmentVariable("RUNEBOARD_BEFORE_BINARY");
    if (QFileInfo(before).isExecutable())
        contenders.push_back({"before", before, desktop, isPanel, quitWith(before)});
    // Where no session bus runs (a bare X server), the toolkit looks for one on every start.
    contenders.push_back({"no bus", runeboard, busless, isPanel, quitRuneboard});
    // The same start-up figures for other on-screen keyboards, where installed.
    QStringList missing;
    for (const auto& [name, program] : {std::pair{"xvkbd", "xvkbd"}, std::pair{"Onboard", "onboard"}}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(program));
        if (path.isEmpty())
            missing.append(QString::fromLatin1(name));
        else
            contenders.push_back({name, path, desktop, anyWindow, endProcess});
    }
    for (int run = 0; run < runs; ++run) {
        for (Contender& contender : contenders) {
            if (!contender.failed)
                measureStart(session, watcher, contender, run == runs - 1);
        }
    }
    for (const Contender& contender : contenders)
        printStart(contender.name, contender.figures);
    for (const QString& name : missing)
        std::printf("%-10s not installed (scripts/install-deps bench), no comparison\n", qPrintable(name));
    std::printf("           (load average of the machine after these starts: %s; %d cores)\n",
                loadAverage().constData(), QThread::idealThreadCount());
    const StartFigures& ours = contenders.front().figures;
    const QByteArray& trace = contenders.front().trace;
    StartFigures xvkbd;
    for (const Contender& contender : contenders) {
        if (QLatin1String(contender.name) == QLatin1String("xvkbd"))
            xvkbd = contender.figures;
    }

    // Idle: the panel shown for 10 s, then hidden for 10 s, without anything happening.
    freshConfiguration(session);
    QProcess idle;
    idle.setProcessEnvironment(desktop);
    QElapsedTimer clock;
    clock.start();
    idle.start(runeboard, {});
    watcher.drain();
    const bool shown =
        watcher
            .waitForViewable(
                clock, [&](xcb_window_t window) { return watcher.name(window) == "Runeboard Keyboard"; },
                15000)
            .has_value();
    std::optional<double> idleShown;
    std::optional<double> idleHidden;
    if (shown) {
        QThread::msleep(1000); // the start itself settles
        const std::optional<double> before = cpuMs(idle.processId());
        QThread::msleep(10000);
        const std::optional<double> afterShown = cpuMs(idle.processId());
        session.run(runeboard, {QStringLiteral("--hide")}, 30000, desktop);
        QThread::msleep(1000);
        const std::optional<double> beforeHidden = cpuMs(idle.processId());
        QThread::msleep(10000);
        const std::optional<double> afterHidden = cpuMs(idle.processId());
        if (before && afterShown)
            idleShown = *afterShown - *before;
        if (beforeHidden && afterHidden)
            idleHidden = *afterHidden - *beforeHidden;
    }
    quitRuneboard(idle);
    const double tick = 1000.0 / double(sysconf(_SC_CLK_TCK));
    std::printf(
        "Runeboard  CPU time over 10 s idle: panel shown %s ms, panel hidden %s ms (clock tick %.0f ms)\n",
        idleShown ? qPrintable(QString::number(*idleShown, 'f', 0)) : "?",
        idleHidden ? qPrintable(QString::number(*idleHidden, 'f', 0)) : "?", tick);

    std::printf("\nPhases of Runeboard's last start (ms from the start, resident memory then):\n");
    for (const QByteArray& line : trace.split('\n')) {
        if (line.startsWith("[Start]"))
            std::printf("  %s\n", line.mid(8).constData());
    }

    const std::optional<double> limitMs =
        xvkbd.mapMs.isEmpty() ? std::nullopt : std::optional<double>(median(xvkbd.mapMs) * targetMapRatio);
    const bool fast = !ours.mapMs.isEmpty() && limitMs && median(ours.mapMs) <= *limitMs;
    const bool small = ours.rssKb && double(*ours.rssKb) / 1024.0 <= targetRssMb;
    const bool quiet = idleShown && idleHidden && *idleShown <= tick && *idleHidden <= tick;
    std::printf("\nstart to mapped panel: %.1f ms, target <= %s (%.1fx xvkbd's %.1f ms): %s\n",
                ours.mapMs.isEmpty() ? 0.0 : median(ours.mapMs),
                limitMs ? qPrintable(QStringLiteral("%1 ms").arg(*limitMs, 0, 'f', 1)) : "? ms",
                targetMapRatio, xvkbd.mapMs.isEmpty() ? 0.0 : median(xvkbd.mapMs), fast ? "met" : "MISSED");
    std::printf("resident after 3 s:    %.1f MB, target <= %.0f MB (xvkbd %.1f MB): %s\n",
                ours.rssKb ? double(*ours.rssKb) / 1024.0 : 0.0, targetRssMb,
                xvkbd.rssKb ? double(*xvkbd.rssKb) / 1024.0 : 0.0, small ? "met" : "MISSED");
    std::printf("idle CPU:              %s\n", quiet ? "met" : "MISSED");
    return fast && small && quiet ? 0 : 1;
}
