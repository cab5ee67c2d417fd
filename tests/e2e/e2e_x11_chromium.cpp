// Chromium on X11 (Xvfb and openbox): what `runeboard --type` types arrives
// exactly in a textarea of a local page. Chromium takes the symbol of a key
// from GTK, which follows the keymap on a connection of its own, so a key
// pressed right after it was bound can be read with the symbol it carried
// before. That happens now and then, more often on a busy machine: each row
// types its text several times into the same window, one while Chromium is
// stopped for a moment again and again.
#include "TextareaPage.h"
#include "XSession.h"

#include <QStandardPaths>
#include <QTest>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include <signal.h>

namespace {
// Symbols on the layout and off it, more distinct ones than the display has spare keycodes.
const QString mixed =
    QStringLiteral("Grüße aus Köln? „Straße“ — ðþæøå ẞß ¿¡ €£¥ ±×÷ §¶©®™°µ ĄĘŁŃ ąęłń ½¼¾ «»?!ð");

// Where two texts first differ, for a message that names the wrong symbol in a long text.
QString firstDifference(const QString& expected, const QString& received) {
    const QList<uint> a = expected.toUcs4();
    const QList<uint> b = received.toUcs4();
    qsizetype at = 0;
    while (at < a.size() && at < b.size() && a.at(at) == b.at(at))
        ++at;
    const auto from = [at](const QList<uint>& text) {
        return QString::fromUcs4(reinterpret_cast<const char32_t*>(text.constData()) + at,
                                 std::min<qsizetype>(8, text.size() - at));
    };
    return QStringLiteral("symbol %1 of %2: expected \"%3\", received \"%4\"")
        .arg(at)
        .arg(a.size())
        .arg(from(a), from(b));
}

// Stops the program for a moment again and again while it lives, as a busy machine
// does, so that its events pile up and are read in bursts.
class Stalls {
public:
    explicit Stalls(qint64 pid)
        : m_thread([this, pid] {
            using namespace std::chrono_literals;
            while (!m_done) {
                ::kill(pid_t(pid), SIGSTOP);
                std::this_thread::sleep_for(40ms);
                ::kill(pid_t(pid), SIGCONT);
                std::this_thread::sleep_for(60ms);
            }
        }) {}
    ~Stalls() {
        m_done = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_done = false;
    std::thread m_thread;
};

} // namespace

class TestX11Chromium : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty())
            QSKIP("chromium is not installed (make test-desktops installs it)");
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
    }
    void cleanup() { m_session.endPrograms(); }

    void typedTextArrivesExactly_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("times");
        QTest::addColumn<bool>("stalling");
        QTest::newRow("letters, punctuation and symbols off the layout") << mixed << 5 << false;
        // Stalled, Chromium reads a keymap change and the key presses after it in one go, before
        // GTK's connection has its turn: typing that presses too early fails within a few texts.
        QTest::newRow("the same while Chromium stalls now and then") << mixed << 8 << true;
        // 120 distinct symbols: most keycodes are bound again while Chromium reads earlier ones.
        QTest::newRow("more symbols than keys")
            << XSession::symbolsFrom(0x100, 80) + QStringLiteral("Hello, World! 0123") +
                   XSession::symbolsFrom(0x3b1, 40)
            << 2 << false;
    }
    void typedTextArrivesExactly() {
        QFETCH(QString, text);
        QFETCH(int, times);
        QFETCH(bool, stalling);
        const QString out = m_session.scratchPath(QStringLiteral("chromium-%1.txt").arg(++m_runs));
        TextareaPage page(out);
        QProcess* chromium = startChromium(page);
        QVERIFY(chromium);
        QString expected;
        for (int time = 1; time <= times; ++time) {
            std::optional<Stalls> stalls;
            if (stalling)
                stalls.emplace(chromium->processId());
            const XSession::Result result =
                m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), text});
            QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.out + result.err));
            QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
            stalls.reset();
            expected += text;
            const QString received = XSession::waitForFileText(out, expected);
            QVERIFY2(received == expected,
                     qPrintable(QStringLiteral("time %1: ").arg(time) + firstDifference(expected, received) +
                                QStringLiteral("; received in all: ") + received));
        }
    }

private:
    QProcess* startChromium(const TextareaPage& page) {
        const QString profile = m_session.scratchPath(QStringLiteral("chromium-profile-%1").arg(m_runs));
        QProcess* chromium = m_session.launch(QStringLiteral("chromium"),
                                              page.chromiumArguments(QStringLiteral("x11"), profile));
        const QString window = m_session.waitForWindow(QStringLiteral("receiver-browser"), 60000);
        const bool ready = !window.isEmpty() && XSession::waitFor([&] { return page.isLoaded(); }, 60000) &&
                           m_session.focusWindow(window);
        return ready ? chromium : nullptr;
    }

    XSession m_session;
    int m_runs = 0;
};

QTEST_GUILESS_MAIN(TestX11Chromium)
#include "e2e_x11_chromium.moc"
