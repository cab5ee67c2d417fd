// Typing symbols that are not on the keymap, on a private X display with a
// window manager: `runeboard --type` against `xdotool type` (its default 12 ms
// between keys) and `xdotool type --delay 0`, into xterm and into a Qt line
// edit. For each: the symbols that arrived right (of the total), the time the
// command took, the time until everything had arrived, and how many keycodes
// the keymap has changed afterwards. Then the cost per symbol once the
// symbols are bound, measured as the difference between a long and a short
// text of the same symbols. Then, on a headless sway: `runeboard --type`
// against `wtype` (plain, and with its delays) into foot and a Qt Wayland line
// edit. Then, on a headless GNOME Shell: `runeboard --type` into a GTK 4 entry
// against what symbol pickers do there, the clipboard and Ctrl+V per symbol;
// last, the same on a headless KWin into a Qt line edit on Wayland.
#include "GnomeSession.h"
#include "KwinBench.h"
#include "SwaySession.h"
#include "XSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <unistd.h>

namespace {
constexpr int runs = 2;

QString runeboardPath() {
    const QString fromEnvironment = qEnvironmentVariable("RUNEBOARD_BINARY");
    return fromEnvironment.isEmpty() ? QStringLiteral(RUNEBOARD_BINARY_PATH) : fromEnvironment;
}

QString fromScalars(char32_t first, char32_t last) {
    QString text;
    for (char32_t scalar = first; scalar <= last; ++scalar)
        text += QString::fromUcs4(&scalar, 1);
    return text;
}

int changedKeycodes(const QString& before, const QString& after) {
    const QStringList a = before.split(u'\n');
    const QStringList b = after.split(u'\n');
    int changed = int(std::abs(a.size() - b.size()));
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
        changed += a.at(i) != b.at(i);
    return changed;
}

struct Result {
    int right = 0;
    int total = 0;
    double commandMs = 0;
    double arrivedMs = -1; // -1: never arrived complete
    int keycodesChanged = 0;
    double windowManagerMs = 0; // CPU time the window manager spent catching up afterwards
};

// Waits until the receiver's file holds the text, or has not changed for a
// second; fills in when it arrived complete and how much of it is right.
void receive(const QString& out, const QString& text, const QElapsedTimer& clock, Result& result) {
    QString received;
    QElapsedTimer quiet;
    quiet.start();
    XSession::waitFor(
        [&] {
            const QString now = XSession::readFile(out);
            if (now != received) {
                received = now;
                quiet.restart();
            }
            if (received == text && result.arrivedMs < 0)
                result.arrivedMs = double(clock.nsecsElapsed()) / 1e6;
            return received == text || quiet.elapsed() > 1000;
        },
        30000);
    result.right = symbolsRight(text.toUcs4(), received.toUcs4());
}

// CPU time (user + system) of a process, in milliseconds.
double cpuMs(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    // After the command name: state is field 3, utime 14 and stime 15 (1-based, counting pid and comm).
    if (fields.size() < 13)
        return 0;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) * 1000.0 /
           double(sysconf(_SC_CLK_TCK));
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

class Bench {
public:
    bool start() {
        QString error;
        if (!m_session.start(&error)) {
            std::fprintf(stderr, "bench_typing: %s\n", qPrintable(error));
            return false;
        }
        m_windowManager = findWindowManager();
        return true;
    }

    // Every keymap change makes the window manager re-grab its keys; the next
    // run starts only once it has caught up, and what that cost is counted.
    double waitForWindowManager() {
        if (!m_windowManager)
            return 0;
        const double before = cpuMs(m_windowManager);
        double last = before;
        QElapsedTimer steady;
        steady.start();
        XSession::waitFor(
            [&] {
                const double now = cpuMs(m_windowManager);
                if (now != last) {
                    last = now;
                    steady.restart();
                }
                return steady.elapsed() > 300;
            },
            120000);
        return last - before;
    }

    Result once(bool lineEdit, const QString& program, const QStringList& arguments, const QString& text) {
        const QString out = m_session.scratchPath(QStringLiteral("received-%1.txt").arg(++m_serial));
        const QString window =
            lineEdit ? m_session.startLineEditReceiver(out) : m_session.startXtermReceiver(out);
        Result result;
        result.total = int(text.toUcs4().size());
        if (window.isEmpty())
            return result;
        const QString keymapBefore = m_session.keymap();
        waitForWindowManager();
        const double cpuBefore = cpuMs(m_windowManager);

        QElapsedTimer clock;
        clock.start();
        m_session.run(program, arguments + QStringList{text}, 120000);
        result.commandMs = double(clock.nsecsElapsed()) / 1e6;
        receive(out, text, clock, result);
        result.keycodesChanged = changedKeycodes(keymapBefore, m_session.keymap());
        waitForWindowManager();
        result.windowManagerMs = cpuMs(m_windowManager) - cpuBefore;
        m_session.xdotool({QStringLiteral("windowkill"), window});
        return result;
    }

    // Worst symbol count and keycode count, median times, over several runs.
    Result repeated(bool lineEdit, const QString& program, const QStringList& arguments,
                    const QString& text) {
        Result worst;
        QList<double> command;
        QList<double> arrived;
        QList<double> windowManager;
        for (int run = 0; run < runs; ++run) {
            const Result result = once(lineEdit, program, arguments, text);
            worst.total = result.total;
            worst.right = run == 0 ? result.right : std::min(worst.right, result.right);
            worst.keycodesChanged = std::max(worst.keycodesChanged, result.keycodesChanged);
            windowManager.append(result.windowManagerMs);
            command.append(result.commandMs);
            arrived.append(result.arrivedMs < 0 ? 1e9 : result.arrivedMs);
        }
        worst.commandMs = median(command);
        worst.windowManagerMs = median(windowManager);
        const double arrivedMedian = median(arrived);
        worst.arrivedMs = arrivedMedian >= 1e9 ? -1 : arrivedMedian;
        return worst;
    }

    XSession& session() { return m_session; }

private:
    qint64 findWindowManager() const {
        const QByteArray display = "DISPLAY=" + m_session.display().toLatin1();
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool numeric = false;
            const qint64 pid = entry.toLongLong(&numeric);
            if (!numeric ||
                XSession::readFile(QStringLiteral("/proc/%1/comm").arg(pid)).trimmed() != u"openbox")
                continue;
            QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
            if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(display))
                return pid;
        }
        return 0;
    }

    XSession m_session;
    qint64 m_windowManager = 0;
    int m_serial = 0;
};

void printRow(const char* receiver, const char* method, const Result& result) {
    const QString arrived = result.arrivedMs < 0 ? QStringLiteral("never complete")
                                                 : QStringLiteral("%1 ms").arg(result.arrivedMs, 0, 'f', 0);
    std::printf("  %-10s %-24s %4d of %-4d %7.0f ms   %-15s %4d %9.0f ms\n", receiver, method, result.right,
                result.total, result.commandMs, qPrintable(arrived), result.keycodesChanged,
                result.windowManagerMs);
}

void compare(Bench& bench, const char* title, const QString& text) {
    std::printf("\n%s (%lld symbols)\n", title, qlonglong(text.toUcs4().size()));
    std::printf("  %-10s %-24s %-12s %10s   %-15s %4s %12s\n", "receiver", "method", "right", "command",
                "all arrived", "keys", "WM CPU");
    for (bool lineEdit : {false, true}) {
        const char* receiver = lineEdit ? "line edit" : "xterm";
        const Result runeboard = bench.repeated(lineEdit, runeboardPath(), {QStringLiteral("--type")}, text);
        const Result xdotool =
            bench.repeated(lineEdit, QStringLiteral("xdotool"), {QStringLiteral("type")}, text);
        printRow(receiver, "runeboard --type", runeboard);
        printRow(receiver, "xdotool type", xdotool);
        std::printf("  %-10s runeboard in %.2f x xdotool's time (target <= 0.6, every symbol right)\n",
                    receiver, runeboard.commandMs / xdotool.commandMs);
        printRow(receiver, "xdotool type --delay 0",
                 bench.repeated(lineEdit, QStringLiteral("xdotool"),
                                {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("0")},
                                text));
    }
}

// The headline figure alone, for comparing two builds of the typing engine quickly: the text into
// xterm, runeboard (and the binary named by RUNEBOARD_BEFORE_BINARY) against xdotool's default.
void compareInXterm(Bench& bench, const QString& text) {
    std::printf("\n%lld symbols into xterm (load average: %s)\n", qlonglong(text.toUcs4().size()),
                qPrintable(XSession::readFile(QStringLiteral("/proc/loadavg")).section(u' ', 0, 2)));
    const Result xdotool = bench.repeated(false, QStringLiteral("xdotool"), {QStringLiteral("type")}, text);
    printRow("xterm", "xdotool type", xdotool);
    QList<std::pair<const char*, QString>> builds{{"runeboard --type", runeboardPath()}};
    if (const QString before = qEnvironmentVariable("RUNEBOARD_BEFORE_BINARY"); !before.isEmpty())
        builds.append({"before: runeboard --type", before});
    for (const auto& [name, binary] : builds) {
        const Result result = bench.repeated(false, binary, {QStringLiteral("--type")}, text);
        printRow("xterm", name, result);
        std::printf("  %.2f x xdotool's time (target <= 0.6, every symbol right)\n",
                    result.commandMs / xdotool.commandMs);
    }
}

// The same text on a wlroots compositor, where both type through a virtual keyboard.
void compareOnWayland(const QString& text) {
    const QList<uint> scalars = text.toUcs4();
    std::printf("\nOn a headless sway, %lld symbols (%lld distinct); one run each\n",
                qlonglong(scalars.size()), qlonglong(QSet<uint>(scalars.cbegin(), scalars.cend()).size()));
    SwaySession sway;
    QString error;
    if (!sway.start(&error)) {
        std::printf("  not measured: %s\n", qPrintable(error));
        return;
    }
    std::printf("  %-10s %-24s %-12s %10s   %-15s\n", "receiver", "method", "right", "command",
                "all arrived");
    const QList<std::pair<const char*, QStringList>> methods = {
        {"runeboard --type", {runeboardPath(), QStringLiteral("--type")}},
        {"wtype", {QStringLiteral("wtype")}},
        {"wtype -d 12", {QStringLiteral("wtype"), QStringLiteral("-d"), QStringLiteral("12")}},
        {"wtype -s 300 -d 12",
         {QStringLiteral("wtype"), QStringLiteral("-s"), QStringLiteral("300"), QStringLiteral("-d"),
          QStringLiteral("12")}},
    };
    int serial = 0;
    for (bool lineEdit : {false, true}) {
        for (const auto& [name, command] : methods) {
            const QString out = sway.scratchPath(QStringLiteral("wayland-%1.txt").arg(++serial));
            if (!(lineEdit ? sway.startLineEdit(out, false) : sway.startFoot(out)))
                continue;
            Result result;
            result.total = int(text.toUcs4().size());
            QElapsedTimer clock;
            clock.start();
            sway.run(command.first(), command.mid(1) + QStringList{text}, 120000);
            result.commandMs = double(clock.nsecsElapsed()) / 1e6;
            receive(out, text, clock, result);
            const QString arrived = result.arrivedMs < 0
                                        ? QStringLiteral("never complete")
                                        : QStringLiteral("%1 ms").arg(result.arrivedMs, 0, 'f', 0);
            std::printf("  %-10s %-24s %4d of %-4d %7.0f ms   %-15s\n", lineEdit ? "Qt Wayland" : "foot",
                        name, result.right, result.total, result.commandMs, qPrintable(arrived));
            sway.endPrograms();
        }
    }
}

// On GNOME, where no program may type: Runeboard's extension against copying each symbol and
// pressing Ctrl+V, back to back and with a pause that gives the receiver time to read.
void compareOnGnome(const QString& text) {
    const QList<uint> scalars = text.toUcs4();
    std::printf(
        "\nOn a headless GNOME Shell, %lld symbols (%lld distinct) into a GTK 4 entry; one run each\n",
        qlonglong(scalars.size()), qlonglong(QSet<uint>(scalars.cbegin(), scalars.cend()).size()));
    GnomeSession gnome;
    QString error;
    if (!gnome.start(&error)) {
        std::printf("  not measured: %s\n", qPrintable(error));
        return;
    }
    std::printf("  %-40s %-12s %10s   %-15s\n", "method", "right", "command", "all arrived");
    const auto measure = [&](const char* name, const std::function<void()>& send) {
        static int serial = 0;
        const QString out = gnome.scratchPath(QStringLiteral("gnome-%1.txt").arg(++serial));
        if (!gnome.startGtkEntry(4, out)) {
            std::printf("  %-40s the entry did not get the focus\n", name);
            return;
        }
        Result result;
        result.total = int(scalars.size());
        QElapsedTimer clock;
        clock.start();
        send();
        result.commandMs = double(clock.nsecsElapsed()) / 1e6;
        receive(out, text, clock, result);
        const QString arrived = result.arrivedMs < 0
                                    ? QStringLiteral("never complete")
                                    : QStringLiteral("%1 ms").arg(result.arrivedMs, 0, 'f', 0);
        std::printf("  %-40s %4d of %-4d %7.0f ms   %-15s\n", name, result.right, result.total,
                    result.commandMs, qPrintable(arrived));
        gnome.endPrograms();
    };
    measure("runeboard --type", [&] {
        gnome.run(runeboardPath(), {QStringLiteral("--type"), text}, 120000);
    });
    // Each copy is a new clipboard owner on the X11 side (xclip), each Ctrl+V a key press of the shell's.
    const auto pickerPastes = [&](int pauseMs) {
        for (const uint scalar : scalars) {
            const char32_t symbol = scalar;
            gnome.run(QStringLiteral("sh"),
                      {QStringLiteral("-c"),
                       QStringLiteral("printf %s \"$0\" | xclip -selection clipboard -i"),
                       QString::fromUcs4(&symbol, 1)});
            gnome.keys({29, 47}, {47, 29});
            if (pauseMs)
                QThread::msleep(pauseMs);
        }
    };
    measure("copy + Ctrl+V per symbol", [&] { pickerPastes(0); });
    measure("copy + Ctrl+V per symbol, 100 ms apart", [&] { pickerPastes(100); });
}
} // namespace

int symbolsRight(const QList<uint>& expected, const QList<uint>& received) {
    QList<int> previous(received.size() + 1, 0);
    QList<int> current(received.size() + 1, 0);
    for (uint symbol : expected) {
        for (qsizetype j = 1; j <= received.size(); ++j)
            current[j] =
                symbol == received.at(j - 1) ? previous[j - 1] + 1 : std::max(previous[j], current[j - 1]);
        std::swap(previous, current);
    }
    return previous.last();
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // The sessions name the binary too (KWin lends its fake input to the one a desktop entry names).
    if (!qEnvironmentVariableIsSet("RUNEBOARD_BINARY"))
        qputenv("RUNEBOARD_BINARY", RUNEBOARD_BINARY_PATH);
    if (!qEnvironmentVariableIsSet("RUNEBOARD_E2E_TOOLS"))
        qputenv("RUNEBOARD_E2E_TOOLS", RUNEBOARD_TOOLS_PATH);
    if (!qEnvironmentVariableIsSet("RUNEBOARD_GNOME_EXTENSION"))
        qputenv("RUNEBOARD_GNOME_EXTENSION", RUNEBOARD_GNOME_EXTENSION_PATH);
    if (!qEnvironmentVariableIsSet("RUNEBOARD_GNOME_TEST_EXTENSION"))
        qputenv("RUNEBOARD_GNOME_TEST_EXTENSION", RUNEBOARD_GNOME_TEST_EXTENSION_PATH);
    // The text of the measurements in the notes: 36 symbols that are on no key, three times.
    const QString note = QStringLiteral("ąćęłńóśźżĄĆĘŁŃÓŚŹŻəɛɔʃʒθðŋ∑∫√∞≈≠€£¥₸αβ");
    const QString gnomeText = note + note + note;
    if (app.arguments().contains(QStringLiteral("--wayland-only"))) {
        compareOnWayland(note + note + note);
        return 0;
    }
    if (app.arguments().contains(QStringLiteral("--kde-only"))) {
        compareOnKwin(gnomeText, runeboardPath());
        return 0;
    }
    if (app.arguments().contains(QStringLiteral("--gnome-only"))) {
        compareOnGnome(gnomeText);
        return 0;
    }
    Bench bench;
    if (!bench.start())
        return 1;
    if (app.arguments().contains(QStringLiteral("--xterm-only"))) {
        compareInXterm(bench, note + note + note);
        return 0;
    }
    const QString keymap = bench.session().keymap();
    std::printf(
        "Typing symbols that are not on the keymap: Xvfb + openbox, %lld spare keycodes.\n"
        "Median of %d runs; symbols right and keys changed: the worst run. \"keys\": lines of xmodmap -pke\n"
        "that differ afterwards. \"WM CPU\": what the window manager spent on it, mostly re-grabbing its\n"
        "keys after each keymap change.\n",
        qlonglong(keymap.count(QRegularExpression(QStringLiteral("= *(\n|$)")))), runs);

    compare(bench, "36 distinct symbols, three times: more than there are spare keycodes",
            note + note + note);
    compare(bench, "128 distinct symbols (Latin Extended-A), once", fromScalars(0x100, 0x17f));

    // Once bound, a symbol costs two XTEST events: a long text minus a short one of the same symbols.
    const QString twelve = QStringLiteral("ąćęłńóśźż€əθ");
    constexpr int repeats = 400;
    QString longText;
    for (int i = 0; i < repeats; ++i)
        longText += twelve;
    const int extra = (repeats - 1) * 12;
    std::printf("\nCost per symbol once bound: runeboard --type of %d against 12 symbols (12 distinct)\n",
                repeats * 12);
    for (bool lineEdit : {false, true}) {
        const Result shortRun = bench.repeated(lineEdit, runeboardPath(), {QStringLiteral("--type")}, twelve);
        const Result longRun =
            bench.repeated(lineEdit, runeboardPath(), {QStringLiteral("--type")}, longText);
        std::printf(
            "  %-10s %.3f ms per symbol until the command returned, %.3f ms until received; %d of %d right\n",
            lineEdit ? "line edit" : "xterm", (longRun.commandMs - shortRun.commandMs) / extra,
            (longRun.arrivedMs - shortRun.arrivedMs) / extra, longRun.right, longRun.total);
    }
    // The X11 figures alone, for comparing two builds of the typing engine quickly.
    if (!app.arguments().contains(QStringLiteral("--x11-only"))) {
        compareOnWayland(note + note + note);
        compareOnGnome(gnomeText);
        compareOnKwin(gnomeText, runeboardPath());
    }
    std::printf(
        "\nTargets: every symbol right in every receiver; well under 1 ms per symbol once bound; with more\n"
        "distinct symbols than spare keycodes still every symbol right and faster than xdotool's default;\n"
        "0 keys changed. (The line edit writes its whole text to a file at every change, so it receives\n"
        "more slowly than anything can send. runeboard returns once the receiver has confirmed that it\n"
        "has read every key, or, for xterm, which cannot confirm, once the last key is 100 ms old.)\n");
    return 0;
}
