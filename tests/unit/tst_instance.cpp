#include "app/CommandLine.h"
#include "app/InstanceClient.h"
#include "app/InstanceServer.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>
#include <sys/un.h>
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
    void socketIsPerDisplayInAPrivateFolder();
    void requestReachesTheHandlerAndTheAnswerComesBack();
    void answerMayComeLater();
    void secondInstanceCannotTakeTheLock();
    void crashLeftoversDoNotPreventAStart();

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

void TestInstance::socketIsPerDisplayInAPrivateFolder() {
    QString error;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QVERIFY(m_path.startsWith(runtime + QStringLiteral("/runeboard/")));
    QCOMPARE(QFileInfo(QFileInfo(m_path).path()).permissions() &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                  QFile::WriteOther | QFile::ExeOther),
             QFile::Permissions());

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

void TestInstance::secondInstanceCannotTakeTheLock() {
    InstanceServer first;
    QVERIFY(first.lock(m_path));
    InstanceServer second;
    QVERIFY(!second.lock(m_path));
    QString error;
    QVERIFY(!second.listen(&error));
}

void TestInstance::crashLeftoversDoNotPreventAStart() {
    QCOMPARE(int(InstanceClient::send(m_path, request(Command::Show), 1000).kind),
             int(InstanceClient::Outcome::Kind::NotRunning));
    // A socket file nobody listens on, as a killed process leaves it.
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(m_path);
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
    }
    QVERIFY(QFileInfo::exists(m_path));
    // And a lock whose owner is gone: written by a live lock, then handed to a dead process.
    {
        QLockFile lock(m_path + QStringLiteral(".lock"));
        QVERIFY(lock.tryLock(0));
        QFile file(m_path + QStringLiteral(".lock"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray content = file.readAll();
        file.close();
        lock.unlock();
        QProcess dead;
        dead.start(QStringLiteral("true"));
        QVERIFY(dead.waitForStarted());
        const qint64 deadPid = dead.processId();
        QVERIFY(dead.waitForFinished());
        content = QByteArray::number(deadPid) + content.mid(content.indexOf('\n'));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QCOMPARE(int(InstanceClient::send(m_path, request(Command::Show), 1000).kind),
             int(InstanceClient::Outcome::Kind::NotRunning));

    InstanceServer server;
    QVERIFY(listening(server, m_path));
    server.setHandler([](const AppRequest&, const InstanceServer::Respond& respond) { respond({}); });
    QCOMPARE(int(ask(m_path, request(Command::Show)).kind), int(InstanceClient::Outcome::Kind::Answered));
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
