#include "UpdateFixture.h"
#include "updates/AppcastFeed.h"
#include "updates/UpdateDialog.h"
#include "updates/VersionNumber.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

QByteArray appcast(const QByteArray& items, const QByteArray& channelLink = "https://runeboard.example/") {
    return "<rss version='2.0' xmlns:sparkle='http://www.andymatuschak.org/xml-namespaces/sparkle'>"
           "<channel><title>Runeboard</title><link>" +
           channelLink + "</link>" + items + "</channel></rss>";
}

QByteArray item(const QByteArray& shortVersion, const QByteArray& link = {}, const QByteArray& build = "7") {
    return "<item>" + (link.isEmpty() ? QByteArray() : "<link>" + link + "</link>") +
           (shortVersion.isEmpty()
                ? QByteArray()
                : "<sparkle:shortVersionString>" + shortVersion + "</sparkle:shortVersionString>") +
           "<sparkle:version>" + build + "</sparkle:version></item>";
}

const QByteArray markup = "9.9.9 &lt;a href='file:///etc/passwd'&gt;click here&lt;/a&gt;";

} // namespace

class TestUpdates : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m = std::make_unique<UpdateFixture>(); }
    void cleanup() { m.reset(); }
    void newestEntry_data() {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("version"); // empty: the feed is not read
        QTest::addColumn<QUrl>("link");
        const auto row = [](const char* name, const QByteArray& feed, const char* version,
                            const char* link = "") {
            QTest::newRow(name) << feed << QString(version) << QUrl(link);
        };
        row("newest of several, with its page",
            appcast(item("0.0.9") + item("0.12.0", "https://runeboard.example/get") + item("0.2.0")),
            "0.12.0", "https://runeboard.example/get");
        row("relative page", appcast(item("1.1", "../get")), "1.1", "https://runeboard.example/get");
        row("version in enclosure attributes",
            appcast("<item><enclosure url='https://runeboard.example/r.tar.gz' sparkle:version='31' "
                    "sparkle:shortVersionString='1.0'/></item>"),
            "1.0", "https://runeboard.example/r.tar.gz");
        row("build number, no web page: the channel's", appcast(item("", "file:///etc/passwd", "31")), "31",
            "https://runeboard.example/");
        row("malformed", "<rss><channel><item><sparkle:version>2", "");
        row("markup as version, beside a good one", appcast(item(markup) + item("1.0")), "");
        row("megabyte version", appcast(item("1" + QByteArray(".1").repeated(512 * 1024))), "");
    }

    void newestEntry() {
        QFETCH(QByteArray, feed);
        QFETCH(QString, version);
        QFETCH(QUrl, link);
        const QDeadlineTimer soon(500); // the event loop waits for this
        const auto entry =
            AppcastFeed::newestEntry(feed, QUrl(QStringLiteral("https://runeboard.example/up/feed.xml")));
        QVERIFY(!soon.hasExpired());
        QCOMPARE(entry.has_value(), !version.isEmpty());
        QCOMPARE(entry.value_or(AppcastFeed::Entry{}).version, version);
        QCOMPARE(entry.value_or(AppcastFeed::Entry{}).link, link);
    }

    void versionRules_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order"); // of a against b
        const auto row = [](const char* name, const QString& a, bool valid, const char* b = "0",
                            int order = 1) { QTest::newRow(name) << a << valid << QString(b) << order; };
        row("numeric, not textual", QStringLiteral("1.9"), true, "1.10", -1);
        row("suffix ignored", QStringLiteral("1.2.0-beta"), true, "1.2.0", 0);
        row("huge part does not overflow", QStringLiteral("1.99999999999999999999999"), true, "1.5");
        row("65 characters", QStringLiteral("1.") + QString(63, u'0'), false, "1", 0);
        row("empty", QString(), false, "0", 0);
    }

    void versionRules() {
        QFETCH(QString, a);
        QFETCH(bool, valid);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(VersionNumber::isValid(a), valid);
        QCOMPARE(VersionNumber::compare(a, b), order);
        QCOMPARE(VersionNumber::compare(b, a), -order);
    }

    void check_data() {
        QTest::addColumn<FeedServer::Mode>("mode");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<UpdateCheckResult::Outcome>("outcome");
        QTest::addColumn<UpdateCheckResult::Failure>("failure");
        QTest::addColumn<QString>("shown"); // in the message
        QTest::addColumn<QUrl>("page");
        using O = UpdateCheckResult::Outcome;
        using F = UpdateCheckResult::Failure;
        const auto row = [](const char* name, int status, const QByteArray& body, O outcome, F failure,
                            const char* shown, const char* page = "",
                            FeedServer::Mode mode = FeedServer::Mode::Answer) {
            QTest::newRow(name) << mode << status << body << outcome << failure << QString(shown)
                                << QUrl(page);
        };
        row("newer version", 200, appcast(item("0.12.0", "https://runeboard.example/get")),
            O::UpdateAvailable, F::None, "0.12.0", "https://runeboard.example/get");
        row("newer version, no page: the site's", 200, appcast(item("2.0"), "file:///etc/"),
            O::UpdateAvailable, F::None, "2.0", "https://runeboard.org/");
        row("same version", 200, appcast(item("0.1.0")), O::UpToDate, F::None, "0.1.0");
        row("server error, feed-looking body", 500, appcast(item("9.0")), O::Failed, F::HttpError, "500");
        row("nobody listens", 200, {}, O::Failed, F::NoConnection, "", "", FeedServer::Mode::Refuse);
    }

    void check() {
        QFETCH(FeedServer::Mode, mode);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(UpdateCheckResult::Outcome, outcome);
        QFETCH(UpdateCheckResult::Failure, failure);
        QFETCH(QString, shown);
        QFETCH(QUrl, page);
        m->server.setMode(mode);
        m->server.status = status;
        m->server.body = body;
        QSignalSpy finished(&m->manager, &UpdateManager::checkFinished);

        const UpdateCheckResult result = runCheck();
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.failure, failure);
        QVERIFY2(result.message.contains(shown), qPrintable(result.message));
        QCOMPARE(result.downloadPage, page);
        QCOMPARE(result.openButtonText.isEmpty(), page.isEmpty());
        // Every text was found in the string table.
        for (const QString& text : {result.title, result.message, result.closeButtonText})
            QVERIFY2(!text.isEmpty() && !text.startsWith(QLatin1String("update_")), qPrintable(text));
        QVERIFY(m->manager.canCheckForUpdates());
        QTest::qWait(50);
        // One check, the user's: nothing is checked by itself, and a second click is ignored.
        QCOMPARE(finished.size(), 1);
        QCOMPARE(m->server.connections, mode == FeedServer::Mode::Refuse ? 0 : 1);
    }

    void endlessFeedIsCutOffAtTheLimit() {
        m->server.setMode(FeedServer::Mode::Endless);
        // The cap is what ends it, however slowly a busy machine reads; a missing cap ends in the time-out.
        m->manager.setTimeout(std::chrono::seconds(4));
        QCOMPARE(runCheck().failure, UpdateCheckResult::Failure::UnreadableFeed);
        // Two megabytes are read; the rest is what the kernel's socket buffers took in meanwhile.
        QVERIFY2(m->server.endlessSent < 32LL * 1024 * 1024,
                 qPrintable(QString::number(m->server.endlessSent)));
    }

    void dialogShowsPlainTextAndOpensOnlyWebPages() {
        UpdateCheckResult result;
        result.title = QStringLiteral("<b>title</b>");
        result.message =
            QStringLiteral("Version 9 <a href='file:///etc/passwd'>here</a> <img src='file:///x.png'>");
        for (const char* page :
             {"https://runeboard.example/get", "file:///etc/passwd", "javascript:alert(1)"}) {
            result.downloadPage = QUrl(QString::fromLatin1(page));
            std::unique_ptr<QMessageBox> box(UpdateDialog::create(result));
            box->show();
            QVERIFY(QTest::qWaitForWindowExposed(box.get()));
            int marked = 0;
            for (const QLabel* label : box->findChildren<QLabel*>()) {
                if (label->text().contains(u'<')) {
                    ++marked;
                    QCOMPARE(label->textFormat(), Qt::PlainText);
                    QVERIFY(!label->openExternalLinks());
                }
            }
            QCOMPARE(marked, 2);
            QCOMPARE(box->buttons().size(), result.downloadPage.scheme() == QLatin1String("https") ? 2 : 1);
        }
    }

private:
    UpdateCheckResult runCheck() {
        [&] { QTRY_VERIFY(m->manager.canCheckForUpdates()); }();
        m->manager.checkForUpdates();
        [&] { QVERIFY(!m->manager.canCheckForUpdates()); }();
        m->manager.checkForUpdates();
        [&] { QTRY_COMPARE_WITH_TIMEOUT(m->presented.size(), 1, 5000); }();
        return m->presented.value(0);
    }

    std::unique_ptr<UpdateFixture> m;
};

QTEST_MAIN(TestUpdates)
#include "tst_updates.moc"
