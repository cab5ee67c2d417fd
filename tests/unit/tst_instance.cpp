#include "app/CommandLine.h"
#include "app/InstanceClient.h"
#include "app/InstanceServer.h"
#include "platform/RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

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
        AppRequest exporting = request(Command::ExportSet, QStringLiteral("Greek"));
        exporting.file = QDir::current().absoluteFilePath(QStringLiteral("greek.txt"));
        QTest::newRow("export: a whole path")
            << QStringList{"--export-set", "Greek", "greek.txt"} << asks << exporting;
        AppRequest importing = request(Command::ImportSet);
        importing.file = QStringLiteral("/tmp/greek.txt");
        QTest::newRow("import") << QStringList{"--import-set", "/tmp/greek.txt"} << asks << importing;
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
        AppRequest exporting = request(Command::ExportSet, QStringLiteral("Greek"));
        exporting.file = QStringLiteral("/home/u/greek.txt");
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
        QCOMPARE(line.count('\n'), 1); // one request, one line, whatever the text holds
        QVERIFY(line.endsWith('\n'));
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

    void socketIsPerDisplayAndStaysInItsFolder() {
        QString error;
        const auto socketFor = [&](const char* display) {
            qputenv("DISPLAY", display);
            return InstanceServer::socketPath(&error);
        };
        QCOMPARE(socketFor(":42.1"), m_path); // every screen of a display shares one instance
        QVERIFY(socketFor(":43") != m_path);
        QCOMPARE(QFileInfo(socketFor("../../x:4")).absolutePath(), QFileInfo(m_path).absolutePath());
        qputenv("DISPLAY", ":42");
    }

    void requestsReachTheHandlerAndAnswersComeBack() {
        using Kind = InstanceClient::Outcome::Kind;
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
        QCOMPARE(int(ask(m_path, request(Command::Toggle)).kind), int(Kind::Answered));
        QCOMPARE(ask(m_path, request(Command::Type, QStringLiteral("ą\nb")), -1).reply,
                 (AppReply{1, QStringLiteral("ą\nb")}));
        // An instance that never answers is reported as such, not waited for forever.
        QCOMPARE(int(ask(m_path, request(Command::Hide), 200).kind), int(Kind::NoAnswer));
        QCOMPARE(received.size(), 3);
    }

private:
    QString m_path;
};

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
