#include "localization/LocalizationManager.h"
#include "storage/SettingsStore.h"
#include "updates/UpdateManager.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Serves one canned answer to every request, or keeps every connection open and says nothing.
class FeedServer : public QObject {
public:
    FeedServer() {
        QVERIFY(m_server.listen(QHostAddress::LocalHost, 0));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++connections;
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            }
        });
    }

    QString url(const QString& path = QStringLiteral("/appcast.xml")) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

    int status = 200;
    QByteArray body;
    bool silent = false;
    int connections = 0;

private:
    void answer(QTcpSocket* socket) {
        m_requests[socket] += socket->readAll();
        if (!m_requests[socket].contains("\r\n\r\n") || silent)
            return;
        const QByteArray reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Error";
        socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                      "\r\nContent-Type: application/rss+xml\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

QByteArray appcast(const QByteArray& items) {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel><title>Runeboard</title><link>https://runeboard.example/</link>)" +
           items + "</channel></rss>";
}

QByteArray item(const QByteArray& version, const QByteArray& link = {}) {
    return "<item><title>Runeboard " + version + "</title>" +
           (link.isEmpty() ? QByteArray() : "<link>" + link + "</link>") + "<sparkle:shortVersionString>" +
           version + "</sparkle:shortVersionString><sparkle:version>" +
           QByteArray::number(version.size() * 7) + "</sparkle:version></item>";
}

} // namespace

class UpdateManagerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void nothingIsCheckedByItself();
    void check_data();
    void check();
    void secondClickWhileCheckingIsIgnored();
    void refusedConnectionIsNoConnection();
    void russianInterfaceGetsRussianDialog();
    void compareVersions_data();
    void compareVersions();

private:
    UpdateCheckResult runCheck(UpdateManager& manager);

    struct Env {
        QTemporaryDir dir;
        SettingsStore store{dir.filePath(QStringLiteral("runeboard.conf"))};
        LocalizationManager localization{store, QStringLiteral("en")};
        FeedServer server;
        std::unique_ptr<UpdateManager> manager;
    };
    std::unique_ptr<Env> m;
    QList<UpdateCheckResult> m_presented;
};

void UpdateManagerTest::init() {
    m = std::make_unique<Env>();
    m->store.setString(UpdateManager::feedURLKey, m->server.url());
    m->manager = std::make_unique<UpdateManager>(m->store, m->localization);
    m->manager->setCurrentVersion(QStringLiteral("0.1.0"));
    m->manager->setTimeout(std::chrono::milliseconds(400));
    m_presented.clear();
    m->manager->setPresenter([this](const UpdateCheckResult& result) { m_presented.append(result); });
}

void UpdateManagerTest::cleanup() {
    m.reset();
}

UpdateCheckResult UpdateManagerTest::runCheck(UpdateManager& manager) {
    [&] { QTRY_VERIFY(manager.canCheckForUpdates()); }();
    manager.checkForUpdates();
    [&] { QVERIFY(!manager.canCheckForUpdates()); }();
    [&] { QTRY_COMPARE_WITH_TIMEOUT(m_presented.size(), 1, 5000); }();
    return m_presented.value(0);
}

void UpdateManagerTest::nothingIsCheckedByItself() {
    QVERIFY(!m->manager->canCheckForUpdates());
    QTRY_VERIFY(m->manager->canCheckForUpdates());
    QTest::qWait(200);
    QCOMPARE(m->server.connections, 0);
    QVERIFY(m_presented.isEmpty());
}

void UpdateManagerTest::check_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QUrl>("page");

    using O = UpdateCheckResult::Outcome;
    using F = UpdateCheckResult::Failure;
    const QString unreadable =
        QStringLiteral("The update information from the server could not be read. Please try again later.");

    const auto row = [](const char* name, int status, const QByteArray& body, O outcome, F failure,
                        const QString& message, const char* page = "") {
        QTest::newRow(name) << status << body << false << int(outcome) << int(failure) << message
                            << QUrl(page);
    };
    const QByteArray pages = item("0.0.9") + item("0.12.0", "https://runeboard.example/get") + item("0.2.0");
    row("newer version", 200, appcast(pages), O::UpdateAvailable, F::None,
        "Version 0.12.0 is available. You have version 0.1.0.", "https://runeboard.example/get");
    row("newer version in enclosure attributes", 200,
        appcast(R"(<item><enclosure url="https://runeboard.example/r.tar.gz" sparkle:version="31"
                          sparkle:shortVersionString="1.0"/></item>)"),
        O::UpdateAvailable, F::None, "Version 1.0 is available. You have version 0.1.0.",
        "https://runeboard.example/r.tar.gz");
    row("a page that is no web page is not offered", 200, appcast(item("2.0", "file:///etc/passwd")),
        O::UpdateAvailable, F::None, "Version 2.0 is available. You have version 0.1.0.",
        "https://runeboard.example/");
    const QString newest = QStringLiteral("Version 0.1.0 is the newest version available.");
    row("same version", 200, appcast(item("0.1.0")), O::UpToDate, F::None, newest);
    row("older version", 200, appcast(item("0.0.3")), O::UpToDate, F::None, newest);
    row("malformed feed", 200, "<rss><channel><item><sparkle:version>2", O::Failed, F::UnreadableFeed,
        unreadable);
    row("feed without versions", 200, appcast("<item><title>News</title></item>"), O::Failed,
        F::UnreadableFeed, unreadable);
    row("not found", 404, "no such file", O::Failed, F::HttpError,
        "The update server answered with an error (HTTP 404). Please try again later.");
    row("server error with a feed-looking body", 500, appcast(item("9.0")), O::Failed, F::HttpError,
        "The update server answered with an error (HTTP 500). Please try again later.");
    QTest::newRow("server does not answer")
        << 200 << QByteArray() << true << int(O::Failed) << int(F::TimedOut)
        << QStringLiteral("The update server did not answer in time. Check your internet connection and try "
                          "again.")
        << QUrl();
}

void UpdateManagerTest::check() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, silent);
    QFETCH(int, outcome);
    QFETCH(int, failure);
    QFETCH(QString, message);
    QFETCH(QUrl, page);

    m->server.status = status;
    m->server.body = body;
    m->server.silent = silent;
    QSignalSpy finished(m->manager.get(), &UpdateManager::checkFinished);

    const UpdateCheckResult result = runCheck(*m->manager);
    QCOMPARE(int(result.outcome), outcome);
    QCOMPARE(int(result.failure), failure);
    QCOMPARE(result.message, message);
    QCOMPARE(result.downloadPage, page);
    QCOMPARE(result.openButtonText.isEmpty(), page.isEmpty());
    QVERIFY(!result.title.isEmpty());
    QVERIFY(m->manager->canCheckForUpdates());
    QCOMPARE(finished.size(), 1);
    QCOMPARE(m->server.connections, 1);
}

void UpdateManagerTest::secondClickWhileCheckingIsIgnored() {
    m->server.silent = true;
    QTRY_VERIFY(m->manager->canCheckForUpdates());
    m->manager->checkForUpdates();
    m->manager->checkForUpdates();
    QTRY_COMPARE_WITH_TIMEOUT(m_presented.size(), 1, 5000);
    QTest::qWait(100);
    QCOMPARE(m_presented.size(), 1);
    QCOMPARE(m->server.connections, 1);
}

void UpdateManagerTest::refusedConnectionIsNoConnection() {
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    m->store.setString(UpdateManager::feedURLKey,
                       QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(port));

    const UpdateCheckResult result = runCheck(*m->manager);
    QCOMPARE(result.failure, UpdateCheckResult::Failure::NoConnection);
    QCOMPARE(result.message, QStringLiteral("The update server could not be reached. Check your internet "
                                            "connection and try again."));
    QVERIFY(m->manager->canCheckForUpdates());
}

void UpdateManagerTest::russianInterfaceGetsRussianDialog() {
    m->localization.setAppLanguage(QStringLiteral("ru"));
    m->localization.updateLanguage();
    m->server.body = appcast(item("0.1.0"));
    const UpdateCheckResult result = runCheck(*m->manager);
    QCOMPARE(result.title, QStringLiteral("Установлена последняя версия Runeboard"));
    QCOMPARE(result.message, QStringLiteral("Версия 0.1.0 — самая новая из доступных."));
}

void UpdateManagerTest::compareVersions_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");
    const auto row = [](const char* name, const char* a, const char* b, int expected) {
        QTest::newRow(name) << QString(a) << QString(b) << expected;
    };
    row("numeric, not textual", "1.10", "1.9", 1);
    row("missing parts are zero", "1.2", "1.2.0", 0);
    row("older", "0.9.9", "1.0", -1);
    row("leading v", "v2.0", "1.9.9", 1);
    row("suffix ignored", "1.2.0-beta", "1.2.0", 0);
    row("huge part does not overflow", "1.99999999999999999999999", "1.5", 1);
}

void UpdateManagerTest::compareVersions() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);
    QCOMPARE(UpdateManager::compareVersions(a, b), expected);
    QCOMPARE(UpdateManager::compareVersions(b, a), -expected);
}

QTEST_MAIN(UpdateManagerTest)
#include "tst_updatemanager.moc"
