#include "app/CommandLine.h"
#include "app/InstanceClient.h"
#include "app/InstanceServer.h"
#include "platform/RuntimeFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <future>

using Command = AppRequest::Command;
Q_DECLARE_METATYPE(AppRequest)

namespace {
AppRequest request(Command command, const QString& text = {}) {
    AppRequest made;
    made.command = command;
    made.text = text;
    return made;
}

// Sends from another thread, so this one can run the server's event loop.
InstanceClient::Outcome ask(const QString& path, const AppRequest& what, int timeoutMs = 5000) {
    auto pending =
        std::async(std::launch::async, [&] { return InstanceClient::send(path, what, timeoutMs); });
    while (pending.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        QCoreApplication::processEvents();
    return pending.get();
}

bool listening(InstanceServer& server, const QString& path) {
    QString error;
    return server.lock(path) && server.listen(&error);
}

// A connection as any program of this user can make one, which need not speak the protocol.
int connectTo(const sockaddr_un& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return fd;
}

sockaddr_un addressOf(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return address;
}

// Sends what the server takes of `bytes`, running its loop, until it takes nothing more for a while.
void feed(int fd, const QByteArray& bytes) {
    qint64 sent = 0;
    QElapsedTimer stalled;
    stalled.start();
    while (sent < bytes.size() && stalled.elapsed() < 300) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            stalled.restart();
        }
        QCoreApplication::processEvents();
    }
}

QByteArray received(int fd) {
    char buffer[512];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}
} // namespace

class TestInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void commandLine_data();
    void commandLine();
    void requestsSurviveTheWire_data();
    void requestsSurviveTheWire();
    void malformedLinesAreRefused_data();
    void malformedLinesAreRefused();
    void runtimeFolderIsPrivateAndTheUsersOwn_data();
    void runtimeFolderIsPrivateAndTheUsersOwn();
    void socketIsPerDisplay();
    void requestReachesTheHandlerAndTheAnswerComesBack();
    void answerMayComeLater();
    void idleConnectionsCannotSilenceTheServer();
    void whatAConnectionMayBufferIsCapped();

private:
    QString m_path;
};

void TestInstance::init() {
    QString error;
    qputenv("DISPLAY", ":42");
    m_path = InstanceServer::socketPath(&error);
    QVERIFY2(!m_path.isEmpty(), qPrintable(error));
    QFile::remove(m_path);
    QFile::remove(m_path + QStringLiteral(".lock"));
}

void TestInstance::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("kind");
    QTest::addColumn<AppRequest>("expected");
    const int asks = int(CommandLine::Kind::Request);
    const int invalid = int(CommandLine::Kind::Invalid);

    QTest::newRow("nothing: show") << QStringList{} << asks << request(Command::Show);
    for (const auto& [option, command] : {std::pair{"--toggle", Command::Toggle},
                                          {"--hide", Command::Hide},
                                          {"--settings", Command::Settings},
                                          {"--about", Command::About},
                                          {"--quit", Command::Quit}})
        QTest::newRow(option) << QStringList{option} << asks << request(command);
    QTest::newRow("type") << QStringList{"--type", "ą b"} << asks << request(Command::Type, "ą b");
    QTest::newRow("type with =") << QStringList{"--type=x=y"} << asks << request(Command::Type, "x=y");
    QTest::newRow("type text that looks like an option")
        << QStringList{"--type", "--help"} << asks << request(Command::Type, "--help");
    QTest::newRow("type empty text") << QStringList{"--type", ""} << asks << request(Command::Type, "");
    QTest::newRow("help wins") << QStringList{"--toggle", "-h"} << int(CommandLine::Kind::Help)
                               << AppRequest{};
    QTest::newRow("version") << QStringList{"--version"} << int(CommandLine::Kind::Version) << AppRequest{};
    QTest::newRow("type without text") << QStringList{"--type"} << invalid << AppRequest{};
    QTest::newRow("two actions") << QStringList{"--show", "--quit"} << invalid << AppRequest{};
    QTest::newRow("action and type") << QStringList{"--type", "a", "--hide"} << invalid << AppRequest{};
    QTest::newRow("unknown") << QStringList{"--frobnicate"} << invalid << AppRequest{};
    QTest::newRow("stray word") << QStringList{"hello"} << invalid << AppRequest{};
}

void TestInstance::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, kind);
    QFETCH(AppRequest, expected);
    const CommandLine parsed = CommandLine::parse(arguments);
    QCOMPARE(int(parsed.kind), kind);
    if (parsed.kind == CommandLine::Kind::Request)
        QVERIFY(parsed.request == expected);
    QCOMPARE(parsed.error.isEmpty(), parsed.kind != CommandLine::Kind::Invalid);
}

void TestInstance::requestsSurviveTheWire_data() {
    QTest::addColumn<AppRequest>("sent");
    QTest::newRow("toggle") << request(Command::Toggle);
    QTest::newRow("type, every awkward kind of text")
        << request(Command::Type, QStringLiteral("line\nbreak \"quoted\" \\ \x1f 𝔸 e\u0301 \t"));
}

void TestInstance::requestsSurviveTheWire() {
    QFETCH(AppRequest, sent);
    const QByteArray line = sent.encode();
    QVERIFY(line.endsWith('\n'));
    QCOMPARE(line.count('\n'), 1); // one request, one line, whatever the text holds
    const std::optional<AppRequest> received = AppRequest::decode(line);
    QVERIFY(received);
    QVERIFY(*received == sent);

    const AppReply reply{1, QStringLiteral("3 of the text's symbols\ncould not be typed")};
    QCOMPARE(AppReply::decode(reply.encode()), std::optional<AppReply>(reply));
}

void TestInstance::malformedLinesAreRefused_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("not JSON") << QByteArray("toggle\n");
    QTest::newRow("unknown command") << QByteArray("{\"command\":\"format-disk\"}\n");
    QTest::newRow("type without text") << QByteArray("{\"command\":\"type\"}\n");
    QTest::newRow("text of another kind") << QByteArray("{\"command\":\"type\",\"text\":5}\n");
    QTest::newRow("array") << QByteArray("[\"toggle\"]\n");
}

void TestInstance::malformedLinesAreRefused() {
    QFETCH(QByteArray, line);
    QVERIFY(!AppRequest::decode(line));
}

void TestInstance::runtimeFolderIsPrivateAndTheUsersOwn_data() {
    QTest::addColumn<QString>("runtime");  // XDG_RUNTIME_DIR, under the scratch folder when relative
    QTest::addColumn<QString>("planted");  // what stands where the folder goes
    QTest::addColumn<QString>("expected"); // under the scratch folder; empty: no folder at all
    QTest::newRow("XDG_RUNTIME_DIR") << "/run"
                                     << ""
                                     << "run/runeboard";
    QTest::newRow("no XDG_RUNTIME_DIR: the home's state folder") << ""
                                                                 << ""
                                                                 << "state/runeboard/runtime";
    QTest::newRow("a relative XDG_RUNTIME_DIR is not taken") << "run"
                                                             << ""
                                                             << "state/runeboard/runtime";
    QTest::newRow("a folder others may open") << "/run"
                                              << "loose"
                                              << "";
    QTest::newRow("a symbolic link") << "/run"
                                     << "link"
                                     << "";
}

void TestInstance::runtimeFolderIsPrivateAndTheUsersOwn() {
    QFETCH(QString, runtime);
    QFETCH(QString, planted);
    QFETCH(QString, expected);
    const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray tmpBefore = qgetenv("TMPDIR");
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_RUNTIME_DIR", runtimeBefore);
        qputenv("TMPDIR", tmpBefore);
    });
    QTemporaryDir scratch;
    QVERIFY(QDir(scratch.path()).mkpath(QStringLiteral("run/elsewhere")));
    qputenv("XDG_RUNTIME_DIR", (runtime.startsWith(u'/') ? scratch.path() + runtime : runtime).toLocal8Bit());
    qputenv("XDG_STATE_HOME", scratch.filePath(QStringLiteral("state")).toLocal8Bit());
    // What squatters left where shared folders would have been used.
    qputenv("TMPDIR", scratch.path().toLocal8Bit());
    QDir(scratch.path()).mkpath(QStringLiteral("runeboard-%1").arg(::getuid()));
    if (planted == QLatin1String("loose"))
        QVERIFY(QDir(scratch.path()).mkpath(QStringLiteral("run/runeboard")));
    else if (planted == QLatin1String("link"))
        QVERIFY(QFile::link(scratch.filePath(QStringLiteral("run/elsewhere")),
                            scratch.filePath(QStringLiteral("run/runeboard"))));

    QString error;
    const QString folder = RuntimeFolder::path(&error);
    QCOMPARE(folder, expected.isEmpty() ? QString() : scratch.filePath(expected));
    QCOMPARE(error.isEmpty(), !expected.isEmpty());
    if (!folder.isEmpty())
        QCOMPARE(QFileInfo(folder).permissions() & 0x0077, QFile::Permissions());
}

void TestInstance::socketIsPerDisplay() {
    QString error;
    qputenv("DISPLAY", ":42.1");
    QCOMPARE(InstanceServer::socketPath(&error), m_path); // another screen, the same display
    qputenv("DISPLAY", ":43");
    QVERIFY(InstanceServer::socketPath(&error) != m_path);
    qputenv("DISPLAY", "../../etc:0");
    QCOMPARE(QFileInfo(InstanceServer::socketPath(&error)).path(), QFileInfo(m_path).path());
    qputenv("DISPLAY", ":42");
}

void TestInstance::requestReachesTheHandlerAndTheAnswerComesBack() {
    InstanceServer server;
    QVERIFY(listening(server, m_path));
    QList<AppRequest> received;
    server.setHandler([&](const AppRequest& asked, const InstanceServer::Respond& respond) {
        received.append(asked);
        respond({asked.command == Command::Type ? 1 : 0, asked.text});
    });

    const InstanceClient::Outcome toggled = ask(m_path, request(Command::Toggle));
    QCOMPARE(int(toggled.kind), int(InstanceClient::Outcome::Kind::Answered));
    QCOMPARE(toggled.reply.status, 0);
    const InstanceClient::Outcome typed = ask(m_path, request(Command::Type, QStringLiteral("ą\nb")));
    QCOMPARE(typed.reply.status, 1);
    QCOMPARE(typed.reply.message, QStringLiteral("ą\nb"));
    QCOMPARE(received.size(), 2);
}

void TestInstance::answerMayComeLater() {
    InstanceServer server;
    QVERIFY(listening(server, m_path));
    server.setHandler([](const AppRequest&, const InstanceServer::Respond& respond) {
        QTimer::singleShot(300, [respond] { respond({0, QStringLiteral("typed")}); });
    });
    const InstanceClient::Outcome typed = ask(m_path, request(Command::Type, QStringLiteral("abc")), -1);
    QCOMPARE(typed.reply.message, QStringLiteral("typed"));

    // An instance that never answers is reported as such, not waited for forever.
    server.setHandler([](const AppRequest&, const InstanceServer::Respond&) {});
    const InstanceClient::Outcome silent = ask(m_path, request(Command::Toggle), 200);
    QCOMPARE(int(silent.kind), int(InstanceClient::Outcome::Kind::NoAnswer));
}

void TestInstance::idleConnectionsCannotSilenceTheServer() {
    InstanceServer server;
    QVERIFY(listening(server, m_path));
    server.setHandler([](const AppRequest&, const InstanceServer::Respond& respond) { respond({}); });
    // Another process fills the server's queue with connections that never say anything.
    const sockaddr_un address = addressOf(m_path);
    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const pid_t idler = ::fork();
    if (idler == 0) {
        for (int i = 0; i < 200; ++i)
            connectTo(address);
        (void)!::write(ready[1], "r", 1);
        ::pause();
        ::_exit(0);
    }
    char byte;
    QCOMPARE(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    // Fewer descriptors left than connections queued, but more than the server keeps open.
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    const auto restore = qScopeGuard([&] {
        ::setrlimit(RLIMIT_NOFILE, &saved);
        ::kill(idler, SIGKILL);
        ::waitpid(idler, nullptr, 0);
    });
    rlimit low = saved;
    low.rlim_cur =
        rlim_t(QDir(QStringLiteral("/proc/self/fd")).count() + InstanceServer::maximumConnections + 8);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);

    QCOMPARE(int(ask(m_path, request(Command::Toggle)).kind), int(InstanceClient::Outcome::Kind::Answered));
    ::kill(idler, SIGKILL);
    ::waitpid(idler, nullptr, 0);
    QCOMPARE(int(ask(m_path, request(Command::Toggle)).kind), int(InstanceClient::Outcome::Kind::Answered));
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestInstance::whatAConnectionMayBufferIsCapped() {
    InstanceServer server;
    QVERIFY(listening(server, m_path));
    server.setHandler([](const AppRequest&, const InstanceServer::Respond&) {}); // typing that takes long
    const QByteArray junk(8 * 1024 * 1024, 'x');
    const sockaddr_un address = addressOf(m_path);

    // A line longer than any `runeboard` sends is answered with an error.
    const int tooLong = connectTo(address);
    feed(tooLong, junk);
    QByteArray answer;
    QTRY_VERIFY((answer += received(tooLong)).contains('\n'));
    QCOMPARE(AppReply::decode(answer).value_or(AppReply{}).status, 2);

    // After its request a connection stays open, but what follows is not taken in.
    const int typing = connectTo(address);
    feed(typing, request(Command::Type, QStringLiteral("ą")).encode() + junk);
    QTRY_COMPARE(server.findChildren<QLocalSocket*>().size(), 1);
    QVERIFY(server.findChildren<QLocalSocket*>().first()->bytesAvailable() <= AppRequest::maximumLineBytes);
    ::close(tooLong);
    ::close(typing);
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
