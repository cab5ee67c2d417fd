#include "BuildInfo.h"
#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/FindCommand.h"
#include "app/InstanceClient.h"
#include "app/InstanceServer.h"
#include "app/PlatformChooser.h"
#include "app/SetFileCommand.h"
#include "app/TypeCommand.h"
#include "app/Wording.h"
#include "platform/Log.h"
#include "platform/StartupTrace.h"
#include "platform/SystemLocale.h"
#include "platform/TerminationSignals.h"
#include "platform/kde/KdePlatform.h"
#include "storage/SettingsStore.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFileInfo>

#include <chrono>
#include <csignal>
#include <optional>
#include <thread>

namespace {
using Command = AppRequest::Command;

// How long a starting Runeboard may take before it answers a request.
constexpr auto startupWait = std::chrono::seconds(5);

// Hands the request to the Runeboard already running on this display.
// Nothing when none runs.
std::optional<int> askRunningInstance(const QString& socketPath, const AppRequest& request) {
    const int timeoutMs = request.command == Command::Type ? -1 : 10000;
    const InstanceClient::Outcome outcome = InstanceClient::send(socketPath, request, timeoutMs);
    switch (outcome.kind) {
    case InstanceClient::Outcome::Kind::NotRunning:
        return std::nullopt;
    case InstanceClient::Outcome::Kind::NoAnswer:
        Log::line(QStringLiteral("runeboard: the running Runeboard did not answer (%1)").arg(socketPath),
                  stderr);
        return 1;
    case InstanceClient::Outcome::Kind::Answered:
        break;
    }
    QString message = outcome.reply.message;
    if (message.endsWith(u'\n'))
        message.chop(1);
    if (!message.isEmpty())
        Log::line(message, outcome.reply.status == 0 ? stdout : stderr);
    return outcome.reply.status;
}

// Another process holds the lock: it is starting, or it is running but its
// socket is gone. Wait for it to answer for a while.
std::optional<int> waitForStartingInstance(const QString& socketPath, const AppRequest& request) {
    const auto deadline = std::chrono::steady_clock::now() + startupWait;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const std::optional<int> status = askRunningInstance(socketPath, request))
            return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
}
} // namespace

int main(int argc, char* argv[]) {
    StartupTrace::mark("main (after loading the libraries)");
    // A reader that went away (the terminal or launcher our output went to, a peer
    // on a socket) must cost a failed write, not the process: nothing that loads
    // at start ignores SIGPIPE for us any more. A handler that does nothing rather
    // than SIG_IGN, because programs started from here inherit an ignored signal
    // but not a handler.
    struct sigaction onBrokenPipe {};
    onBrokenPipe.sa_handler = [](int) {};
    onBrokenPipe.sa_flags = SA_RESTART;
    ::sigaction(SIGPIPE, &onBrokenPipe, nullptr);
    const CommandLine commandLine = CommandLine::parse(argc, argv);
    switch (commandLine.kind) {
    case CommandLine::Kind::Help:
        Log::line(CommandLine::helpText().chopped(1));
        return 0;
    case CommandLine::Kind::Version:
        Log::line(QStringLiteral("runeboard ") + QString::fromUtf8(BuildInfo::version));
        return 0;
    case CommandLine::Kind::Invalid:
        Log::line(
            QStringLiteral("runeboard: %1\nTry 'runeboard --help' for the options.").arg(commandLine.error),
            stderr);
        return 2;
    case CommandLine::Kind::Find:
        return runFindCommand(commandLine.findWords);
    case CommandLine::Kind::InputMethod: {
        const QCoreApplication app(argc, argv);
        return KdePlatform::runInputMethod();
    }
    case CommandLine::Kind::Request:
        break;
    }
    const AppRequest& request = commandLine.request;

    // The running instance answers before this process builds anything.
    QString socketProblem;
    const QString socketPath = InstanceServer::socketPath(&socketProblem);
    if (!socketPath.isEmpty()) {
        if (const std::optional<int> status = askRunningInstance(socketPath, request))
            return *status;
    }

    const bool platformChosen = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    PlatformChooser::prepareQt();
    // An X display that cannot be opened is reported below instead of ending in Qt's abort.
    if (!platformChosen && qgetenv("QT_QPA_PLATFORM") == "xcb")
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");

    const auto unreachableDisplay = [platformChosen] {
        const QByteArray display = qgetenv("DISPLAY");
        return !platformChosen && !display.isEmpty() &&
               QGuiApplication::platformName() == QLatin1String("offscreen");
    };
    const QString cannotOpen =
        QStringLiteral("cannot open the X display %1 (is the X server running, and may "
                       "this user open it?)")
            .arg(qEnvironmentVariable("DISPLAY"));

    if (request.command == Command::Type) {
        if (const UserText stopped = PlatformChooser::unansweredCompositor(); !stopped.isEmpty()) {
            const QCoreApplication wording(argc, argv); // for the settings the language is read from
            Log::line(QStringLiteral("runeboard: cannot type: ") + wordedForThisUser(stopped), stderr);
            return 2;
        }
        QApplication app(argc, argv);
        if (unreachableDisplay()) {
            Log::line(QStringLiteral("runeboard: cannot type: ") + cannotOpen, stderr);
            return 2;
        }
        // Without a runtime folder there is no turn to wait for; typing goes ahead alone.
        return runTypeCommand(request.text, socketPath.isEmpty() ? QString() : QFileInfo(socketPath).path());
    }
    // Sets are files on their own: no keyboard is started for them.
    if (request.command == Command::ExportSet || request.command == Command::ImportSet) {
        const QCoreApplication settings(argc, argv);
        return SetFileCommand::carryOutOnConfiguration(request, SystemLocale::languageCode());
    }
    // Without the socket a second `runeboard` could not find this one and would become another.
    if (socketPath.isEmpty()) {
        Log::line(QStringLiteral("runeboard: cannot start: %1").arg(socketProblem), stderr);
        return 1;
    }
    if (request.command == Command::Quit || request.command == Command::Hide) {
        Log::line(QStringLiteral("Runeboard is not running on this display."), stdout);
        return 0;
    }

    InstanceServer server;
    if (!server.lock(socketPath)) {
        if (const std::optional<int> status = waitForStartingInstance(socketPath, request))
            return *status;
        Log::line(QStringLiteral("runeboard: another Runeboard holds %1.lock but does not answer; if none "
                                 "is running, remove that file.")
                      .arg(socketPath),
                  stderr);
        return 1;
    }

    if (const UserText stopped = PlatformChooser::unansweredCompositor(); !stopped.isEmpty()) {
        const QCoreApplication wording(argc, argv);
        Log::line(QStringLiteral("runeboard: cannot start: ") + wordedForThisUser(stopped), stderr);
        return 1;
    }
    QApplication::setApplicationName(QStringLiteral("Runeboard"));
    QApplication::setApplicationVersion(QString::fromUtf8(BuildInfo::version));
    QApplication::setDesktopFileName(QStringLiteral("runeboard"));
    QApplication app(argc, argv);
    StartupTrace::mark("Qt application and its display connection");
    // The toolkit's screen-reader bridge (AT-SPI) opens the session bus as the event loop starts, and the
    // keyboard waits for it; opened here, beside the rest of the start, it is ready by then.
    const std::jthread sessionBus([] { QDBusConnection::sessionBus(); });

    PlatformServices services = PlatformChooser::choose();
    StartupTrace::mark("platform services");
    // Qt fell back to drawing nowhere: there is no display to show the keyboard on.
    if (unreachableDisplay()) {
        Log::line(QStringLiteral("runeboard: ") + cannotOpen, stderr);
        return 1;
    }
    if (!platformChosen && QGuiApplication::platformName() == QLatin1String("offscreen")) {
        if (!services.typingProblem.isEmpty())
            Log::line(wordedForThisUser(services.typingProblem));
        // Runeboard's windows go through Xwayland there, which comes with the compositor.
        Log::line(
            PlatformChooser::isUnreachableCompositor(services.typingProblem)
                ? QStringLiteral("runeboard: there is no display to show the keyboard on; start it once "
                                 "the Wayland compositor runs.")
                : QStringLiteral("runeboard: there is no display to show the keyboard on; start it from "
                                 "an X11 session (DISPLAY is not set)."),
            stderr);
        return 1;
    }
    // Programs started from here (a browser from Help & About) choose their own platform.
    if (!platformChosen)
        qunsetenv("QT_QPA_PLATFORM");
    // Requests wait in the socket until the event loop runs, and the handler is set by then.
    if (QString error; !server.listen(&error)) {
        Log::line(QStringLiteral("runeboard: cannot start: cannot listen on %1: %2").arg(socketPath, error),
                  stderr);
        return 1;
    }
    StartupTrace::mark("instance socket");
    AppState appState(std::move(services), SettingsStore::defaultFilePath(), SystemLocale::languageCode());
    server.setHandler([&appState](const AppRequest& forwarded, const InstanceServer::Respond& respond) {
        appState.handleRequest(forwarded, respond);
    });
    // What this process itself was started for, once the keyboard is up
    // (showing it, or toggling it on, is what the start does anyway).
    if (request.command == Command::Settings || request.command == Command::About ||
        request.command == Command::Set) {
        QMetaObject::invokeMethod(
            &appState, [&appState, request] { appState.handleRequest(request, [](const AppReply&) {}); },
            Qt::QueuedConnection);
    }

    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &appState, &AppState::quit);

    // Independent of the managers, as on every start: say once what typing lacks here.
    QMetaObject::invokeMethod(
        &app, [&appState] { appState.writeLaunchCheck(); }, Qt::QueuedConnection);

    if (StartupTrace::enabled())
        QMetaObject::invokeMethod(
            &app, [] { StartupTrace::mark("event loop running"); }, Qt::QueuedConnection);
    const int status = QApplication::exec();
    server.close(); // while the event loop's machinery still exists
    return status;
}
