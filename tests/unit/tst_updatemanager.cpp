#include "app/UpdateManager.h"
#include "localization/LocalizationManager.h"
#include "platform/SettingsStore.h"

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
    void feedAddressFollowsTheSettings();
    void check_data();
    void check();
    void secondClickWhileCheckingIsIgnored();
    void refusedConnectionIsNoConnection();
    void russianInterfaceGetsRussianDialog();
    void compareVersions_data();
    void compareVersions();

private:
    UpdateCheckResult runCheck(UpdateManager& manager);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<LocalizationManager> m_localization;
    std::unique_ptr<UpdateManager> m_manager;
    std::unique_ptr<FeedServer> m_server;
    QList<UpdateCheckResult> m_presented;
};

void UpdateManagerTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("runeboard.conf")));
    m_localization = std::make_unique<LocalizationManager>(*m_store, QStringLiteral("en"));
    m_server = std::make_unique<FeedServer>();
    m_store->setString(UpdateManager::feedURLKey, m_server->url());
    m_manager = std::make_unique<UpdateManager>(*m_store, *m_localization);
    m_manager->setCurrentVersion(QStringLiteral("0.1.0"));
    m_manager->setTimeout(std::chrono::milliseconds(400));
    m_presented.clear();
    m_manager->setPresenter([this](const UpdateCheckResult& result) { m_presented.append(result); });
}

void UpdateManagerTest::cleanup() {
    m_manager.reset();
    m_server.reset();
    m_localization.reset();
    m_store.reset();
    m_dir.reset();
}

UpdateCheckResult UpdateManagerTest::runCheck(UpdateManager& manager) {
    [&] { QTRY_VERIFY(manager.canCheckForUpdates()); }();
    manager.checkForUpdates();
    [&] { QVERIFY(!manager.canCheckForUpdates()); }();
    [&] { QTRY_COMPARE_WITH_TIMEOUT(m_presented.size(), 1, 5000); }();
    return m_presented.value(0);
}

void UpdateManagerTest::nothingIsCheckedByItself() {
    QVERIFY(!m_manager->canCheckForUpdates());
    QTRY_VERIFY(m_manager->canCheckForUpdates());
    QTest::qWait(200);
    QCOMPARE(m_server->connections, 0);
    QVERIFY(m_presented.isEmpty());
}

void UpdateManagerTest::feedAddressFollowsTheSettings() {
    QCOMPARE(m_manager->feedURL(), QUrl(m_server->url()));
    m_store->remove(UpdateManager::feedURLKey);
    QCOMPARE(m_manager->feedURL(), QUrl(QStringLiteral("https://runeboard.org/appcast.xml")));
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

    QTest::newRow("newer version") << 200
                                   << appcast(item("0.0.9") +
                                              item("0.12.0", "https://runeboard.example/get") + item("0.2.0"))
                                   << false << int(O::UpdateAvailable) << int(F::None)
                                   << QStringLiteral("Version 0.12.0 is available. You have version 0.1.0.")
                                   << QUrl(QStringLiteral("https://runeboard.example/get"));
    QTest::newRow("newer version in enclosure attributes")
        << 200 << appcast(R"(<item><enclosure url="https://runeboard.example/r.tar.gz" sparkle:version="31"
                          sparkle:shortVersionString="1.0"/></item>)")
        << false << int(O::UpdateAvailable) << int(F::None)
        << QStringLiteral("Version 1.0 is available. You have version 0.1.0.")
        << QUrl(QStringLiteral("https://runeboard.example/r.tar.gz"));
    QTest::newRow("a page that is no web page is not offered")
        << 200 << appcast(item("2.0", "file:///etc/passwd")) << false << int(O::UpdateAvailable)
        << int(F::None) << QStringLiteral("Version 2.0 is available. You have version 0.1.0.")
        << QUrl(QStringLiteral("https://runeboard.example/"));
    QTest::newRow("same version") << 200 << appcast(item("0.1.0")) << false << int(O::UpToDate)
                                  << int(F::None)
                                  << QStringLiteral("Version 0.1.0 is the newest version available.")
                                  << QUrl();
    QTest::newRow("older version") << 200 << appcast(item("0.0.3")) << false << int(O::UpToDate)
                                   << int(F::None)
                                   << QStringLiteral("Version 0.1.0 is the newest version available.")
                                   << QUrl();
    QTest::newRow("malformed feed") << 200 << QByteArray("<rss><channel><item><sparkle:version>2") << false
                                    << int(O::Failed) << int(F::UnreadableFeed) << unreadable << QUrl();
    QTest::newRow("feed without versions")
        << 200 << appcast("<item><title>News</title></item>") << false << int(O::Failed)
        << int(F::UnreadableFeed) << unreadable << QUrl();
    QTest::newRow("not found") << 404 << QByteArray("no such file") << false << int(O::Failed)
                               << int(F::HttpError)
                               << QStringLiteral("The update server answered with an error (HTTP 404). "
                                                 "Please try again later.")
                               << QUrl();
    QTest::newRow("server error with a feed-looking body")
        << 500 << appcast(item("9.0")) << false << int(O::Failed) << int(F::HttpError)
        << QStringLiteral("The update server answered with an "
                          "error (HTTP 500). Please try again "
                          "later.")
        << QUrl();
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

    m_server->status = status;
    m_server->body = body;
    m_server->silent = silent;
    QSignalSpy finished(m_manager.get(), &UpdateManager::checkFinished);

    const UpdateCheckResult result = runCheck(*m_manager);
    QCOMPARE(int(result.outcome), outcome);
    QCOMPARE(int(result.failure), failure);
    QCOMPARE(result.message, message);
    QCOMPARE(result.downloadPage, page);
    QCOMPARE(result.openButtonText.isEmpty(), page.isEmpty());
    QVERIFY(!result.title.isEmpty());
    QVERIFY(m_manager->canCheckForUpdates());
    QCOMPARE(finished.size(), 1);
    QCOMPARE(m_server->connections, 1);
}

void UpdateManagerTest::secondClickWhileCheckingIsIgnored() {
    m_server->silent = true;
    QTRY_VERIFY(m_manager->canCheckForUpdates());
    m_manager->checkForUpdates();
    m_manager->checkForUpdates();
    QTRY_COMPARE_WITH_TIMEOUT(m_presented.size(), 1, 5000);
    QTest::qWait(100);
    QCOMPARE(m_presented.size(), 1);
    QCOMPARE(m_server->connections, 1);
}

void UpdateManagerTest::refusedConnectionIsNoConnection() {
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    m_store->setString(UpdateManager::feedURLKey,
                       QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(port));

    const UpdateCheckResult result = runCheck(*m_manager);
    QCOMPARE(result.failure, UpdateCheckResult::Failure::NoConnection);
    QCOMPARE(result.message, QStringLiteral("The update server could not be reached. Check your internet "
                                            "connection and try again."));
    QVERIFY(m_manager->canCheckForUpdates());
}

void UpdateManagerTest::russianInterfaceGetsRussianDialog() {
    m_localization->setAppLanguage(QStringLiteral("ru"));
    m_localization->updateLanguage();
    m_server->body = appcast(item("0.1.0"));
    const UpdateCheckResult result = runCheck(*m_manager);
    QCOMPARE(result.title, QStringLiteral("Установлена последняя версия Runeboard"));
    QCOMPARE(result.message, QStringLiteral("Версия 0.1.0 — самая новая из доступных."));
}

void UpdateManagerTest::compareVersions_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");
    QTest::newRow("numeric, not textual") << "1.10"
                                          << "1.9" << 1;
    QTest::newRow("missing parts are zero") << "1.2"
                                            << "1.2.0" << 0;
    QTest::newRow("older") << "0.9.9"
                           << "1.0" << -1;
    QTest::newRow("leading v") << "v2.0"
                               << "1.9.9" << 1;
    QTest::newRow("suffix ignored") << "1.2.0-beta"
                                    << "1.2.0" << 0;
    QTest::newRow("huge part does not overflow") << "1.99999999999999999999999"
                                                 << "1.5" << 1;
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
