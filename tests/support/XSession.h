#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

// A private X display for one end-to-end test: Xvfb on a free display number,
// openbox as the window manager, a private configuration and runtime folder,
// and the programs the test starts in it. Everything is ended when the session
// goes away, so a failing test leaves nothing running. SwaySession builds on it.
class XSession {
public:
    struct Result {
        int exitCode = -1;
        bool finished = false;
        QString out;
        QString err;
    };

    XSession();
    virtual ~XSession();

    // The window manager start() runs instead of openbox (its program and arguments).
    void useWindowManager(const QString& program, const QStringList& arguments) {
        m_windowManagerCommand = QStringList{program} + arguments;
    }
    // Starts Xvfb (and the window manager unless windowManager is false). False with a reason on failure.
    bool start(QString* error, bool windowManager = true,
               const QString& screen = QStringLiteral("1280x800x24"));

    QString display() const { return m_display; }
    QString configHome() const { return m_dir.filePath(QStringLiteral("config")); }
    QString runtimeDir() const { return m_dir.filePath(QStringLiteral("runtime")); }
    // A scratch folder for receivers' output files and the like.
    QString scratchPath(const QString& name) const { return m_dir.filePath(name); }
    // DISPLAY, XDG folders, a UTF-8 locale and QT_QPA_PLATFORM=xcb for programs in this session.
    virtual QProcessEnvironment environment() const;

    // A program that keeps running; ended with the session. Output is kept in the process.
    QProcess* launch(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& env = {});
    // Runs a program to its end (or the time-out) and returns what it printed.
    Result run(const QString& program, const QStringList& arguments, int timeoutMs = 30000,
               const QProcessEnvironment& env = {});
    // Ends the programs started so far (the display and its window manager stay).
    void endPrograms();

    // xdotool in this display; returns its trimmed standard output. The words of a command
    // line are its arguments.
    QString xdotool(const QStringList& arguments, int timeoutMs = 10000) {
        return run(QStringLiteral("xdotool"), arguments, timeoutMs).out.trimmed();
    }
    QString xdotool(const QString& commandLine) { return xdotool(commandLine.split(u' ')); }
    // A click at a point of the screen coming from its corner, as a hand would come: a window
    // mapped under a resting pointer has seen no pointer motion yet.
    void clickFromCorner(int x, int y) {
        xdotool(QStringLiteral("mousemove --sync 5 5"));
        xdotool(QStringLiteral("mousemove --sync %1 %2 click 1").arg(x).arg(y));
    }
    bool isViewable(const QString& windowId) {
        return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId}).out.contains(u"IsViewable");
    }
    // One property of a window (or of the root window when windowId is empty), as xprop prints it.
    QString xprop(const QString& windowId, const QString& property);
    // xmodmap -pke: the whole keymap as text.
    QString keymap() { return run(QStringLiteral("xmodmap"), {QStringLiteral("-pke")}).out; }
    QString activeWindow() { return xdotool(QStringLiteral("getactivewindow")); }
    // The first visible window whose title matches exactly, or empty; waitForWindow waits for one.
    QString findWindowByName(const QString& title);
    QString waitForWindow(const QString& title, int timeoutMs = 15000);
    // Waits until that window has this size; its geometry goes to `geometry`.
    bool waitForWindowSize(const QString& title, const QSizeF& size, QList<int>& geometry) {
        return waitFor([&] {
            geometry = windowGeometry(findWindowByName(title));
            return geometry[2] == qRound(size.width()) && geometry[3] == qRound(size.height());
        });
    }
    // Geometry of a window in root coordinates as (x, y, width, height); all -1 when unknown.
    QList<int> windowGeometry(const QString& windowId);

    // An xterm running `cat > file` with echo and line buffering off, focused.
    // Returns its window id, or empty on failure.
    QString startXtermReceiver(const QString& outputFile);
    // A Qt line edit that writes its whole text to the file at every change, focused.
    QString startLineEditReceiver(const QString& outputFile);
    // A GTK 3 entry (zenity --entry), focused; its window id goes to windowId. When Return accepts
    // the entry, it prints the text on standard output and ends. Null on failure.
    QProcess* startGtkEntryReceiver(QString* windowId);
    // Gives a window the keyboard focus and waits until it has it.
    virtual bool focusWindow(const QString& windowId);

    // Saves the whole screen (or one window) as PNG.
    bool screenshot(const QString& pngPath, const QString& windowId = {});

    // Polls the condition (while processing events) until it holds or the time is up.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);
    // The file's content as UTF-8 once it equals the expected text, or what it held at the time-out.
    static QString waitForFileText(const QString& path, const QString& expected, int timeoutMs = 10000);
    static QString readFile(const QString& path);
    // Writes the whole file, making its folder first; false when any of it fails.
    static bool writeFile(const QString& path, const QByteArray& bytes);
    // The words of a command line, for arguments that hold no blanks.
    static QStringList words(const QString& line) { return line.split(u' '); }
    // `count` scalars from `from` on, for texts of symbols that no key carries.
    static QString symbolsFrom(char32_t from, int count) {
        QString symbols;
        for (char32_t scalar = from; scalar < from + char32_t(count); ++scalar)
            symbols += QString::fromUcs4(&scalar, 1);
        return symbols;
    }

    // Paths of the tools built with the tests (set by CTest in the environment).
    static QString runeboardBinary() { return qEnvironmentVariable("RUNEBOARD_BINARY"); }
    static QString toolPath(const QString& name) {
        return qEnvironmentVariable("RUNEBOARD_E2E_TOOLS") + u'/' + name;
    }

protected:
    // Runs `cat > "$0"` in a terminal with echo and line buffering off (canonical mode would hold
    // the text back until a line feed; echo would only add noise).
    static inline const QString catInto = QStringLiteral("stty -icanon -echo; exec cat > \"$0\"");
    // The command line that starts a program in this session.
    virtual QStringList commandLine(const QString& program, const QStringList& arguments) const;
    void startIn(QProcess& process, const QString& program, const QStringList& arguments,
                 const QProcessEnvironment& env) const;
    static void endProcess(QProcess& process);

    QTemporaryDir m_dir;
    QString m_display;
    std::unique_ptr<QProcess> m_server, m_windowManager;
    std::vector<std::unique_ptr<QProcess>> m_processes;

private:
    // Waits for the receiver's window (and its output file), then focuses it.
    QString focusedReceiver(const QString& title, const QString& outputFile);
    QString nextReceiverTitle() { return QStringLiteral("receiver-%1").arg(++m_receivers); }

    int m_receivers = 0;
    QStringList m_windowManagerCommand{QStringLiteral("openbox"), QStringLiteral("--sm-disable")};
};
