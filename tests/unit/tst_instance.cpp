#include "DataRows.h"
#include "app/CommandLine.h"
#include "app/InstanceClient.h"
#include "app/InstanceServer.h"
#include "platform/RuntimeFolder.h"
#include "platform/SystemLocale.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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
using Outcome = InstanceClient::Outcome::Kind;
Q_DECLARE_METATYPE(AppRequest)

namespace {
AppRequest request(Command command, const QString& text = {}) {
    return AppRequest{command, text, {}, 0};
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

// Sends what the server takes of `bytes`, running its loop, until it takes nothing more for a
// while; says how much it took.
qint64 feed(int fd, const QByteArray& bytes) {
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
    return sent;
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
    void init() {
        QString error;
        qputenv("DISPLAY", ":42");
        m_path = InstanceServer::socketPath(&error);
        QVERIFY2(!m_path.isEmpty(), qPrintable(error));
        QFile::remove(m_path);
        QFile::remove(m_path + QStringLiteral(".lock"));
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("kind");
        QTest::addColumn<AppRequest>("expected");
        const int asks = int(CommandLine::Kind::Request);
        const int invalid = int(CommandLine::Kind::Invalid);

        QTest::newRow("nothing: show") << QStringList{} << asks << request(Command::Show);
        QTest::newRow("type") << QStringList{"--type", "ą b"} << asks << request(Command::Type, "ą b");
        QTest::newRow("type text that looks like an option")
            << QStringList{"--type", "--help"} << asks << request(Command::Type, "--help");
        QTest::newRow("help wins") << QStringList{"--toggle", "-h"} << int(CommandLine::Kind::Help)
                                   << AppRequest{};
        QTest::newRow("type without text") << QStringList{"--type"} << invalid << AppRequest{};
        QTest::newRow("type: tab and newline are keys")
            << QStringList{"--type=a\tb\n"} << asks << request(Command::Type, "a\tb\n");
        // Each would act as a key in the receiver, or is no character at all.
        for (const char16_t refused : {u'\x01', u'\x1b', u'\r', u'\x7f', u'\x85', u'\xd800', u'\xdc00'})
            QTest::newRow(
                qPrintable(QStringLiteral("type: U+%1 refused").arg(int(refused), 4, 16, QLatin1Char('0'))))
                << QStringList{"--type", QStringLiteral("a") + QChar(refused) + u'b'} << invalid
                << AppRequest{};
        QTest::newRow("export: a whole path")
            << QStringList{"--export-set", "Greek", "greek.txt"} << asks
            << AppRequest{Command::ExportSet, "Greek", QDir::current().absoluteFilePath("greek.txt"), 0};
        QTest::newRow("import") << QStringList{"--import-set", "/tmp/greek.txt"} << asks
                                << AppRequest{Command::ImportSet, {}, "/tmp/greek.txt", 0};
        QTest::newRow("export without a file")
            << QStringList{"--export-set", "Greek"} << invalid << AppRequest{};
        const int find = int(CommandLine::Kind::Find);
        QTest::newRow("find: the words that follow")
            << QStringList{"--find", "lat", "sm", "eng"} << find << AppRequest{};
        QTest::newRow("find without words") << QStringList{"--find", " "} << invalid << AppRequest{};
        QTest::newRow("two actions") << QStringList{"--show", "--quit"} << invalid << AppRequest{};
    }

    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, kind);
        QFETCH(AppRequest, expected);
        const CommandLine parsed = CommandLine::parse(arguments);
        QCOMPARE(int(parsed.kind), kind);
        if (parsed.kind == CommandLine::Kind::Request)
            QVERIFY(parsed.request == expected);
        if (parsed.kind == CommandLine::Kind::Find)
            QVERIFY(!parsed.findWords.isEmpty() && parsed.findWords == parsed.findWords.simplified());
        QCOMPARE(parsed.error.isEmpty(), parsed.kind != CommandLine::Kind::Invalid);
    }

    void linesOnTheWire_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<AppRequest>("expected");
        const AppRequest awkward =
            request(Command::Type, QStringLiteral("line\nbreak \"quoted\" \\ \x1f 𝔸 e\u0301 \t"));
        QTest::newRow("type, every awkward kind of text") << awkward.encode() << true << awkward;
        const AppRequest exporting{Command::ExportSet, "Greek", "/home/u/greek.txt", 0};
        QTest::newRow("export-set") << exporting.encode() << true << exporting;
        QTest::newRow("import-set from a path of the asker's folder")
            << QByteArray("{\"command\":\"import-set\",\"file\":\"greek.txt\"}\n") << false << AppRequest{};
        QTest::newRow("not JSON") << QByteArray("toggle\n") << false << AppRequest{};
        QTest::newRow("unknown command")
            << QByteArray("{\"command\":\"format-disk\"}\n") << false << AppRequest{};
    }

    void linesOnTheWire() {
        QFETCH(QByteArray, line);
        QFETCH(bool, valid);
        QFETCH(AppRequest, expected);
        QCOMPARE(line.indexOf('\n'), line.size() - 1); // one request, one line, whatever the text holds
        const std::optional<AppRequest> decoded = AppRequest::decode(line);
        QCOMPARE(decoded.has_value(), valid);
        QVERIFY(!decoded || *decoded == expected);
    }

    void runtimeFolderIsPrivateAndTheUsersOwn_data() {
        QTest::addColumn<QByteArray>("runtime"); // XDG_RUNTIME_DIR, under the scratch folder when absolute
        QTest::addColumn<QString>("planted");    // what stands where the folder goes
        QTest::addColumn<QString>("expected");   // under the scratch folder; empty: no folder at all
        const QString state = QStringLiteral("state/runeboard/runtime");
        QTest::newRow("XDG_RUNTIME_DIR")
            << QByteArray("/run") << QString() << QStringLiteral("run/runeboard");
        QTest::newRow("no XDG_RUNTIME_DIR: the home's state folder") << QByteArray() << QString() << state;
        QTest::newRow("a symbolic link") << QByteArray("/run") << QStringLiteral("link") << QString();
        // As `sudo -E` leaves it: the user's XDG_RUNTIME_DIR in the environment of another user.
        QTest::newRow("XDG_RUNTIME_DIR of another user: the home's state folder")
            << QByteArray("/run") << QStringLiteral("other user's") << state;
        QTest::newRow("its folder left behind by another user")
            << QByteArray("/run") << QStringLiteral("other user's folder") << QString();
    }

    void runtimeFolderIsPrivateAndTheUsersOwn() {
        QFETCH(QByteArray, runtime);
        QFETCH(QString, planted);
        QFETCH(QString, expected);
        const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", runtimeBefore); });
        QTemporaryDir scratch;
        const QDir dir(scratch.path());
        QVERIFY(dir.mkpath(QStringLiteral("run/elsewhere")));
        qputenv("XDG_RUNTIME_DIR",
                runtime.startsWith('/') ? QFile::encodeName(scratch.path()) + runtime : runtime);
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));
        if (planted == QLatin1String("link"))
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("run/elsewhere")),
                                dir.filePath(QStringLiteral("run/runeboard"))));
        if (planted.startsWith(QLatin1String("other user's"))) {
            if (::geteuid() != 0)
                QSKIP("only root can hand a folder to another user");
            const QString other =
                dir.filePath(planted.endsWith(QLatin1String("folder")) ? QStringLiteral("run/runeboard")
                                                                       : QStringLiteral("run"));
            QVERIFY(dir.mkpath(other) && QFile::setPermissions(other, QFile::Permissions(0x7700)));
            QCOMPARE(::chown(QFile::encodeName(other).constData(), 65534, 65534), 0);
        }

        QString error;
        const QString folder = RuntimeFolder::path(&error);
        QCOMPARE(folder, expected.isEmpty() ? QString() : scratch.filePath(expected));
        if (!folder.isEmpty())
            QCOMPARE(QFileInfo(folder).permissions() & 0x0077, QFile::Permissions());
    }

    // Every screen of a display shares one instance; whatever DISPLAY holds, the socket stays in its folder.
    void socketIsPerDisplayAndStaysInItsFolder_data() {
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("local") << QByteArray(":42") << QStringLiteral("display_42.socket");
        QTest::newRow("a screen of it") << QByteArray(":42.1") << QStringLiteral("display_42.socket");
        QTest::newRow("remote") << QByteArray("host:10.3") << QStringLiteral("displayhost_10.socket");
        QTest::newRow("climbing out") << QByteArray("../../x:4") << QStringLiteral("display______x_4.socket");
        QTest::newRow("two screens, kept whole")
            << QByteArray(":1.2.3") << QStringLiteral("display_1_2_3.socket");
        QTest::newRow("unset") << QByteArray() << QStringLiteral("no-display.socket");
        QTest::newRow("non-ASCII host")
            << QByteArray("h\xC3\xA9\xF0\x9D\x94\xB8:0") << QStringLiteral("displayh___0.socket");
    }

    void socketIsPerDisplayAndStaysInItsFolder() {
        QFETCH(QByteArray, display);
        QFETCH(QString, fileName);
        const auto restore = qScopeGuard([] { qputenv("DISPLAY", ":42"); });
        qputenv("DISPLAY", display);
        QString error;
        const QFileInfo socket(InstanceServer::socketPath(&error));
        QCOMPARE(socket.fileName(), fileName);
        QCOMPARE(socket.absolutePath(), QFileInfo(m_path).absolutePath());
    }

    void languageOfTheLocaleName_data() {
        stringRows({"localeName", "language"}, {{"region and encoding", "de_DE.UTF-8", "de"},
                                                {"encoding only", "ru.KOI8-R", "ru"},
                                                {"modifier", "sr@latin", "sr"},
                                                {"C", "C.UTF-8", "en"},
                                                {"nothing before the region", "_DE", "en"}});
    }

    void languageOfTheLocaleName() {
        QFETCH(QString, localeName);
        QFETCH(QString, language);
        QCOMPARE(SystemLocale::languageCodeOf(localeName), language);
    }

    void requestsReachTheHandlerAndAnswersComeBack() {
        InstanceServer server;
        QVERIFY(listening(server, m_path));
        QList<AppRequest> received;
        server.setHandler([&](const AppRequest& asked, const InstanceServer::Respond& respond) {
            received.append(asked);
            if (asked.command == Command::Toggle)
                respond({});
            else if (asked.command == Command::Type) // typing answers once the text is there
                QTimer::singleShot(300, [respond, asked] { respond({1, asked.text}); });
        });
        QCOMPARE(int(ask(m_path, request(Command::Toggle)).kind), int(Outcome::Answered));
        QCOMPARE(ask(m_path, request(Command::Type, QStringLiteral("ą\nb")), -1).reply,
                 (AppReply{1, QStringLiteral("ą\nb")}));
        // An instance that never answers is reported as such, not waited for forever.
        QCOMPARE(int(ask(m_path, request(Command::Hide), 200).kind), int(Outcome::NoAnswer));
        QCOMPARE(received.size(), 3);
        // A sender that closes right after its request, waiting for no answer, is still heard.
        const int once = connectTo(addressOf(m_path));
        const QByteArray line = request(Command::Toggle).encode();
        QCOMPARE(::send(once, line.constData(), size_t(line.size()), MSG_NOSIGNAL), ssize_t(line.size()));
        ::close(once);
        QTRY_COMPARE(received.size(), 4);
        QTRY_COMPARE(server.openConnections(), 0);
    }

    void idleConnectionsCannotSilenceTheServer() {
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
        const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_NOFILE, &saved); });
        rlimit low = saved;
        low.rlim_cur = QDir(QStringLiteral("/proc/self/fd")).count() + InstanceServer::maximumConnections + 8;
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);

        const InstanceClient::Outcome meanwhile = ask(m_path, request(Command::Toggle));
        ::kill(idler, SIGKILL);
        ::waitpid(idler, nullptr, 0);
        QCOMPARE(int(meanwhile.kind), int(Outcome::Answered));
        QCOMPARE(int(ask(m_path, request(Command::Toggle)).kind), int(Outcome::Answered));
        QTRY_COMPARE(server.openConnections(), 0);
    }

    void whatAConnectionMayBufferIsCapped() {
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
        QVERIFY(feed(typing, request(Command::Type, QStringLiteral("ą")).encode() + junk) < junk.size());
        QCOMPARE(server.openConnections(), 1);
    }

private:
    QString m_path;
};

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
