// `runeboard --type` on a real X server: what arrives in xterm, in a Qt line
// edit and in a GTK entry is exactly the text, with Shift held, with Caps Lock on and with a
// second layout active; the keymap is exactly as before afterwards, also after
// SIGTERM, and what a killed process left is cleared by the next start.
#include "XSession.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

namespace {
// 110 symbols; 39 distinct ones that no key of the us layout carries, among them
// an astral symbol and a combining mark after a plain letter.
const QString sample = QStringLiteral("ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ əɛɔʃʒθðŋ ∑∫√∞≈≠ €£¥₸ αβγδ 𝔸 é e\u0301 ǅǈ abc");
const QString text = sample + sample;

enum class Receiver { Xterm, LineEdit, GtkEntry };
enum class Modifier { None, ShiftHeld, CapsLock };
} // namespace

class TestTyping : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void sampleIsWhatTheChecksNeed();
    void textArrivesExactlyAndTheKeymapIsLeftAsItWas_data();
    void textArrivesExactlyAndTheKeymapIsLeftAsItWas();
    void secondLayoutGroupChangesNothing_data();
    void secondLayoutGroupChangesNothing();
    void keymapReplacedWhileTypingIsFollowed();
    void terminationGivesTheKeymapBack();
    void killedProcessIsClearedUpByTheNextStart();
    void withoutAnXDisplayItSaysWhyAndFails();
    void waylandSessionIsNamedButTypingGoesOn();

private:
    XSession::Result type(const QString& what, const QProcessEnvironment& env = {});
    QString startReceiver(Receiver receiver);
    QString received(Receiver receiver, const QString& expected);
    QStringList leftoverRecords() const;
    int helper(const QStringList& arguments);
    bool switchToUsRu();

    XSession m_session;
    QString m_keymapAtStart;
    QString m_out;
    QString m_receiver;
    QProcess* m_gtkEntry = nullptr;
    bool m_layoutChanged = false;
};

void TestTyping::initTestCase() {
    QString error;
    QVERIFY2(m_session.start(&error), qPrintable(error));
    QVERIFY2(QFileInfo(XSession::runeboardBinary()).isExecutable(), "RUNEBOARD_BINARY is not set");
    m_keymapAtStart = m_session.keymap();
}

void TestTyping::init() {
    m_out = m_session.scratchPath(QStringLiteral("typed-%1-%2.txt")
                                      .arg(QString::fromLatin1(QTest::currentTestFunction()),
                                           QString::fromUtf8(QTest::currentDataTag()))
                                      .replace(u' ', u'-'));
    m_layoutChanged = false;
}

void TestTyping::cleanup() {
    // One receiver at a time: the window manager hesitates to hand the focus to a new window otherwise.
    if (!m_receiver.isEmpty())
        m_session.xdotool({QStringLiteral("windowkill"), m_receiver});
    m_receiver.clear();
    m_gtkEntry = nullptr;
    if (!m_layoutChanged)
        return;
    m_session.run(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("us")});
    helper({QStringLiteral("lock-group"), QStringLiteral("0")});
}

int TestTyping::helper(const QStringList& arguments) {
    return m_session.run(XSession::toolPath(QStringLiteral("rb-x11-helper")), arguments).exitCode;
}

bool TestTyping::switchToUsRu() {
    m_layoutChanged = true;
    return m_session.run(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("us,ru")})
               .exitCode == 0;
}

XSession::Result TestTyping::type(const QString& what, const QProcessEnvironment& env) {
    return m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), what}, 30000, env);
}

QString TestTyping::startReceiver(Receiver receiver) {
    if (receiver == Receiver::Xterm)
        m_receiver = m_session.startXtermReceiver(m_out);
    else if (receiver == Receiver::LineEdit)
        m_receiver = m_session.startLineEditReceiver(m_out);
    else
        m_gtkEntry = m_session.startGtkEntryReceiver(&m_receiver);
    return m_receiver;
}

QString TestTyping::received(Receiver receiver, const QString& expected) {
    if (receiver != Receiver::GtkEntry)
        return XSession::waitForFileText(m_out, expected);
    // Return comes after every typed key in the server's queue, so the entry has them all when it ends.
    m_session.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    if (!XSession::waitFor([&] { return m_gtkEntry->state() == QProcess::NotRunning; }))
        return QStringLiteral("(the GTK entry did not end)");
    QString out = QString::fromUtf8(m_gtkEntry->readAllStandardOutput());
    if (out.endsWith(u'\n'))
        out.chop(1);
    return out;
}

QStringList TestTyping::leftoverRecords() const {
    return QDir(m_session.runtimeDir() + QStringLiteral("/runeboard")).entryList(QDir::Files);
}

void TestTyping::sampleIsWhatTheChecksNeed() {
    const QList<uint> scalars = text.toUcs4();
    QVERIFY(scalars.size() >= 100);
    QSet<uint> unmapped;
    for (uint scalar : scalars) {
        if (scalar > 0x7e)
            unmapped.insert(scalar);
    }
    QVERIFY(unmapped.size() >= 30);
    QVERIFY(unmapped.contains(0x1d538));
    QVERIFY(text.contains(QStringLiteral("e\u0301")));
}

void TestTyping::textArrivesExactlyAndTheKeymapIsLeftAsItWas_data() {
    QTest::addColumn<Receiver>("receiver");
    QTest::addColumn<Modifier>("modifier");
    QTest::newRow("xterm") << Receiver::Xterm << Modifier::None;
    QTest::newRow("xterm, Shift held") << Receiver::Xterm << Modifier::ShiftHeld;
    QTest::newRow("xterm, Caps Lock") << Receiver::Xterm << Modifier::CapsLock;
    QTest::newRow("line edit") << Receiver::LineEdit << Modifier::None;
    QTest::newRow("line edit, Shift held") << Receiver::LineEdit << Modifier::ShiftHeld;
    QTest::newRow("line edit, Caps Lock") << Receiver::LineEdit << Modifier::CapsLock;
    QTest::newRow("GTK entry") << Receiver::GtkEntry << Modifier::None;
    QTest::newRow("GTK entry, Shift held") << Receiver::GtkEntry << Modifier::ShiftHeld;
    QTest::newRow("GTK entry, Caps Lock") << Receiver::GtkEntry << Modifier::CapsLock;
}

void TestTyping::textArrivesExactlyAndTheKeymapIsLeftAsItWas() {
    QFETCH(Receiver, receiver);
    QFETCH(Modifier, modifier);
    QVERIFY(!startReceiver(receiver).isEmpty());
    if (modifier == Modifier::ShiftHeld)
        m_session.xdotool({QStringLiteral("keydown"), QStringLiteral("shift")});
    if (modifier == Modifier::CapsLock)
        m_session.xdotool({QStringLiteral("key"), QStringLiteral("Caps_Lock")});

    const XSession::Result result = type(text);

    if (modifier == Modifier::ShiftHeld)
        m_session.xdotool({QStringLiteral("keyup"), QStringLiteral("shift")});
    if (modifier == Modifier::CapsLock) {
        // Typing lifts Caps Lock only while a key is down: the user's lock is still on.
        const QString xset = m_session.run(QStringLiteral("xset"), {QStringLiteral("q")}).out;
        QVERIFY2(QRegularExpression(QStringLiteral("Caps Lock:\\s+on")).match(xset).hasMatch(),
                 qPrintable(xset));
        m_session.xdotool({QStringLiteral("key"), QStringLiteral("Caps_Lock")});
    }
    QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.out + result.err));
    QCOMPARE(received(receiver, text), text);
    QCOMPARE(m_session.keymap(), m_keymapAtStart);
    QCOMPARE(leftoverRecords(), QStringList());
}

void TestTyping::secondLayoutGroupChangesNothing_data() {
    QTest::addColumn<Receiver>("receiver");
    QTest::newRow("xterm, us,ru") << Receiver::Xterm;
    QTest::newRow("line edit, us,ru") << Receiver::LineEdit;
}

void TestTyping::secondLayoutGroupChangesNothing() {
    QFETCH(Receiver, receiver);
    QVERIFY(!startReceiver(receiver).isEmpty());
    QVERIFY(switchToUsRu());
    QCOMPARE(helper({QStringLiteral("lock-group"), QStringLiteral("1")}), 0);
    // The Russian group is active: the key of f now types a Cyrillic a.
    QCOMPARE(helper({QStringLiteral("keys"), QStringLiteral("41")}), 0);
    const QString russianA = QStringLiteral("а");
    QCOMPARE(XSession::waitForFileText(m_out, russianA), russianA);
    const QString keymapWithTwoGroups = m_session.keymap();

    const XSession::Result result = type(text);
    QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
    QCOMPARE(XSession::waitForFileText(m_out, russianA + text), russianA + text);
    QCOMPARE(m_session.keymap(), keymapWithTwoGroups);
}

void TestTyping::keymapReplacedWhileTypingIsFollowed() {
    QVERIFY(!startReceiver(Receiver::Xterm).isEmpty());
    QString many;
    for (char32_t scalar = 0x100; scalar < 0x180; ++scalar)
        many += QString::fromUcs4(&scalar, 1);
    QProcess* typing = m_session.launch(XSession::runeboardBinary(), {QStringLiteral("--type"), many + many});
    QVERIFY(XSession::waitFor([&] { return XSession::readFile(m_out).size() >= 10; }));
    // setxkbmap replaces the whole keymap, and with it every binding Runeboard had.
    QVERIFY(switchToUsRu());
    QVERIFY(typing->waitForFinished(30000));
    QCOMPARE(typing->exitCode(), 0);
    // What it left is exactly what a fresh us,ru keymap is.
    const QString keymapAfterwards = m_session.keymap();
    m_session.run(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("us,ru")});
    QCOMPARE(keymapAfterwards, m_session.keymap());
    QCOMPARE(leftoverRecords(), QStringList());
}

void TestTyping::terminationGivesTheKeymapBack() {
    QVERIFY(!startReceiver(Receiver::Xterm).isEmpty());
    QString many;
    for (char32_t scalar = 0x100; scalar < 0x200; ++scalar)
        many += QString::fromUcs4(&scalar, 1);
    QProcess* typing = m_session.launch(XSession::runeboardBinary(), {QStringLiteral("--type"), many});
    QVERIFY(XSession::waitFor([&] { return XSession::readFile(m_out).size() >= 10; }));
    QVERIFY(m_session.keymap() != m_keymapAtStart);
    ::kill(pid_t(typing->processId()), SIGTERM);
    QVERIFY(typing->waitForFinished(10000));
    QCOMPARE(typing->exitCode(), 128 + SIGTERM);
    QCOMPARE(m_session.keymap(), m_keymapAtStart);
    QCOMPARE(leftoverRecords(), QStringList());
    // What did arrive is the beginning of the text, nothing else.
    QTest::qWait(300);
    const QString typed = XSession::readFile(m_out);
    QVERIFY2(many.startsWith(typed), qPrintable(typed));
}

void TestTyping::killedProcessIsClearedUpByTheNextStart() {
    QVERIFY(!startReceiver(Receiver::Xterm).isEmpty());
    QString many;
    for (char32_t scalar = 0x100; scalar < 0x200; ++scalar)
        many += QString::fromUcs4(&scalar, 1);
    QProcess* typing = m_session.launch(XSession::runeboardBinary(), {QStringLiteral("--type"), many});
    QVERIFY(XSession::waitFor([&] { return XSession::readFile(m_out).size() >= 10; }));
    ::kill(pid_t(typing->processId()), SIGKILL);
    QVERIFY(typing->waitForFinished(10000));
    QVERIFY(m_session.keymap() != m_keymapAtStart);
    QCOMPARE(leftoverRecords().size(), 1);

    const XSession::Result next = type(QStringLiteral("ok"));
    QCOMPARE(next.exitCode, 0);
    QCOMPARE(m_session.keymap(), m_keymapAtStart);
    QCOMPARE(leftoverRecords(), QStringList());
}

void TestTyping::withoutAnXDisplayItSaysWhyAndFails() {
    QProcessEnvironment env = m_session.environment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const XSession::Result result = type(QStringLiteral("ą"), env);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(QStringLiteral("DISPLAY is not set")), qPrintable(result.err));
}

void TestTyping::waylandSessionIsNamedButTypingGoesOn() {
    QVERIFY(!startReceiver(Receiver::LineEdit).isEmpty());
    QProcessEnvironment env = m_session.environment();
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    const XSession::Result result = type(QStringLiteral("ą𝔸"), env);
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.contains(QStringLiteral("X11 programs only")), qPrintable(result.err));
    QCOMPARE(XSession::waitForFileText(m_out, QStringLiteral("ą𝔸")), QStringLiteral("ą𝔸"));
}

QTEST_GUILESS_MAIN(TestTyping)
#include "e2e_typing.moc"
