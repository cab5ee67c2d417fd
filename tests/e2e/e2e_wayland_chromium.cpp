// Chromium on a wlroots compositor (a headless sway), natively on Wayland:
// what `runeboard --type` types arrives exactly in a textarea of a local page,
// letters of the layout, symbols off it and more distinct symbols than the
// virtual keyboard has keys alike. Chromium reads some keys by their code
// rather than by what the keymap says they carry, so this is where typing on
// the wrong keys shows.
#include "SwaySession.h"
#include "TextareaPage.h"

#include <QStandardPaths>
#include <QTest>

namespace {
// Symbols below U+10000 only: Chromium cuts every symbol it gets from a key to 16 bits.
const QString offTheLayout = QStringLiteral("ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ əɛɔʃʒθðŋ ∑∫√∞≈≠ €£¥₸ αβγδ é e\u0301 ǅǈ");

} // namespace

class TestWaylandChromium : public QObject {
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
        QTest::newRow("letters, digits and a space") << QStringLiteral("ABCxyz0189 Hi");
        QTest::newRow("off the layout, first symbol included") << offTheLayout + QStringLiteral(" abc\nok");
        // 120 distinct symbols on 50 keys: most keys are bound again while Chromium reads earlier ones.
        QTest::newRow("more symbols than keys")
            << XSession::symbolsFrom(0x100, 80) + QStringLiteral("Hello, World! 0123") +
                   XSession::symbolsFrom(0x3b1, 40) + XSession::symbolsFrom(0x100, 10);
    }
    void typedTextArrivesExactly() {
        QFETCH(QString, text);
        const QString out = m_session.scratchPath(QStringLiteral("chromium-%1.txt").arg(++m_runs));
        TextareaPage page(out);
        QVERIFY(startChromium(page));
        const XSession::Result result =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), text});
        QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.out + result.err));
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
        QCOMPARE(XSession::waitForFileText(out, text), text);
    }

private:
    bool startChromium(const TextareaPage& page) {
        const QString profile = m_session.scratchPath(QStringLiteral("chromium-profile-%1").arg(m_runs));
        m_session.launch(QStringLiteral("chromium"),
                         page.chromiumArguments(QStringLiteral("wayland"), profile));
        return XSession::waitFor(
            [&] { return page.isLoaded() && m_session.focusedWindow().startsWith(QLatin1String("chrome-")); },
            60000);
    }

    SwaySession m_session;
    int m_runs = 0;
};

QTEST_GUILESS_MAIN(TestWaylandChromium)
#include "e2e_wayland_chromium.moc"
