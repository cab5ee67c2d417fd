#include "hotkeys/KeyTable.h"
#include "settings/HotkeyRecorderView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

// X keycodes (evdev + 8) of the keys the cases press.
constexpr quint32 xEscape = 9, xBackspace = 22, xTab = 23, xA = 38, xK = 45, xShiftL = 50, xF5 = 71;

// Takes whatever key presses its children leave unhandled.
class Host : public QWidget {
public:
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.append(event->key()); }
};

void sendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers, quint32 xKeycode) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, xKeycode, 0, 0);
    QApplication::sendEvent(target, &event);
}

} // namespace

class HotkeyRecorderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void keyWhileRecording_data();
    void keyWhileRecording();
    void cancelling_data();
    void cancelling();
    void keyWhileIdlePassesThrough();

private:
    Host* m_host = nullptr;
    HotkeyRecorderView* m_recorder = nullptr;
    QLineEdit* m_other = nullptr;
};

void HotkeyRecorderTest::init() {
    m_host = new Host;
    auto* layout = new QVBoxLayout(m_host);
    m_recorder = new HotkeyRecorderView(m_host);
    m_other = new QLineEdit(m_host);
    layout->addWidget(m_recorder);
    layout->addWidget(m_other);
    m_recorder->setPlaceholder(QStringLiteral("Press keys..."));
    m_recorder->setConfig(HotkeyConfig{40, 2560});
    m_host->show();
    QApplication::setActiveWindow(m_host);
    QVERIFY(QTest::qWaitForWindowActive(m_host));
    QCOMPARE(m_recorder->size(), QSize(140, 24));
}

void HotkeyRecorderTest::cleanup() {
    delete m_host;
}

void HotkeyRecorderTest::keyWhileRecording_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<quint32>("xKeycode");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<QString>("shown");

    using M = Qt::KeyboardModifier;
    const auto row = [](const char* name, int key, Qt::KeyboardModifiers modifiers, quint32 xKeycode,
                        bool reported, quint32 keyCode, quint32 mask, const char* shown) {
        QTest::newRow(name) << key << modifiers << xKeycode << reported << keyCode << mask
                            << QString::fromUtf8(shown);
    };
    row("Shift+A is not enough", Qt::Key_A, M::ShiftModifier, xA, false, 0, 0, "Press keys...");
    row("a modifier alone is swallowed", Qt::Key_Shift, M::ControlModifier | M::ShiftModifier, xShiftL, false,
        0, 0, "Press keys...");
    row("Control+Shift+F5", Qt::Key_F5, M::ControlModifier | M::ShiftModifier, xF5, true, 96, 4608,
        "Ctrl+Shift+F5");
    row("Alt+Escape clears", Qt::Key_Escape, M::AltModifier, xEscape, true, 0, 0, "—");
    row("Backspace clears", Qt::Key_Backspace, {}, xBackspace, true, 0, 0, "—");
    // The Russian layout puts Л on the K key; the combination is the same keys.
    row("Alt+Shift+K under a Russian layout", 0x41b, M::AltModifier | M::ShiftModifier, xK, true, 40, 2560,
        "Alt+Shift+K");
    row("Super+Tab is recorded, not a focus move", Qt::Key_Tab, M::MetaModifier, xTab, true, 48, 256,
        "Super+Tab");
}

void HotkeyRecorderTest::keyWhileRecording() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(quint32, xKeycode);
    QFETCH(bool, reported);
    QFETCH(quint32, keyCode);
    QFETCH(quint32, mask);
    QFETCH(QString, shown);

    QSignalSpy recorded(m_recorder, &HotkeyRecorderView::recorded);
    QTest::mouseClick(m_recorder, Qt::LeftButton);
    QVERIFY(m_recorder->isRecording());
    QVERIFY(m_recorder->hasFocus());

    sendKey(m_recorder, key, modifiers, xKeycode);
    QCOMPARE(m_recorder->isRecording(), !reported);
    QCOMPARE(m_recorder->shownText(), shown);
    // Never told inside the key event itself.
    QCOMPARE(recorded.size(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(recorded.size(), reported ? 1 : 0);
    QVERIFY(m_host->keys.isEmpty());
    if (reported) {
        const HotkeyConfig config = recorded.first().first().value<HotkeyConfig>();
        QCOMPARE(config.keyCode, keyCode);
        QCOMPARE(config.modifiers, mask);
        QCOMPARE(m_recorder->config(), config);
        QCOMPARE(KeyTable::displayText(config), shown);
    } else {
        QCOMPARE(m_recorder->config(), (HotkeyConfig{40, 2560}));
    }
}

void HotkeyRecorderTest::cancelling_data() {
    QTest::addColumn<bool>("byFocusLoss");
    QTest::newRow("a second click") << false;
    QTest::newRow("the focus moves away") << true;
}

void HotkeyRecorderTest::cancelling() {
    QFETCH(bool, byFocusLoss);
    QSignalSpy recorded(m_recorder, &HotkeyRecorderView::recorded);
    QTest::mouseClick(m_recorder, Qt::LeftButton);
    QVERIFY(m_recorder->isRecording());
    if (byFocusLoss)
        m_other->setFocus(Qt::TabFocusReason);
    else
        QTest::mouseClick(m_recorder, Qt::LeftButton);
    QVERIFY(!m_recorder->isRecording());
    // A combination typed afterwards goes elsewhere, not into the binding.
    sendKey(byFocusLoss ? static_cast<QWidget*>(m_other) : m_recorder, Qt::Key_F5, Qt::ControlModifier, xF5);
    QCoreApplication::processEvents();
    QCOMPARE(recorded.size(), 0);
    QCOMPARE(m_recorder->config(), (HotkeyConfig{40, 2560}));
    QCOMPARE(m_recorder->shownText(), QStringLiteral("Alt+Shift+K"));
}

void HotkeyRecorderTest::keyWhileIdlePassesThrough() {
    // A combination too long for the field is shown whole in its tip.
    m_recorder->setConfig({111, 6912});
    QCOMPARE(m_recorder->toolTip(), QStringLiteral("Ctrl+Alt+Shift+Super+F12"));
    m_recorder->setConfig({40, 2560});
    QVERIFY(m_recorder->toolTip().isEmpty());
    QSignalSpy recorded(m_recorder, &HotkeyRecorderView::recorded);
    m_recorder->setFocus();
    sendKey(m_recorder, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier, xF5);
    QCOMPARE(m_host->keys, QList<int>{Qt::Key_F5});
    QCoreApplication::processEvents();
    QCOMPARE(recorded.size(), 0);
    QVERIFY(!m_recorder->isRecording());
}

QTEST_MAIN(HotkeyRecorderTest)
#include "tst_hotkeyrecorder.moc"
