#include "platform/typing/KeyboardDevice.h"
#include "platform/typing/Keysyms.h"
#include "platform/typing/TypingEngine.h"
#include "platform/wayland/VirtualKeymap.h"
#include "platform/wayland/WaylandKeyboardDevice.h"

#include <QTest>

#include <xkbcommon/xkbcommon.h>

#include <memory>

// The server's keyboard mapping and one receiving program, simulated. The
// receiver handles each event `lag` ms after it was sent and translates a key
// press with the mapping as it is at that moment, which is exactly how a
// program that falls behind gets wrong symbols when a keycode is re-bound too
// early. A receiver that answers pings confirms in order, as real ones do.
// One that holds letters back (as LibreOffice Writer does) keeps a letter
// while another key event is already waiting behind it, until it handles a
// letter with nothing waiting, but takes a symbol outside the BMP at once.
// One that translates on a second connection (as Chromium does through GTK)
// knows of a keymap change only once it has answered a ping sent after the
// server made the change, which happens a moment after the request (or before
// bind() returns, on a display that announces it so).
class FakeDisplay : public KeyboardDevice {
public:
    explicit FakeDisplay(const qint64& now)
        : m_now(now) {}

    bool bind(const QList<Binding>& bindings) override {
        ++changes;
        for (const Binding& binding : bindings) {
            if (refuse.contains(binding.keycode))
                return false;
        }
        for (const Binding& binding : bindings) {
            if (down.contains(binding.keycode))
                violations.append(QStringLiteral("keycode %1 changed while held").arg(binding.keycode));
            mapping.remove(binding.keycode | 0x100);
            if (binding.keysym == 0) {
                mapping.remove(binding.keycode);
                ++unbinds;
                continue;
            }
            ++binds;
            for (const quint32 keysym : {binding.keysym, binding.shifted}) {
                if (journal && keysym && !journal->value(binding.keycode).contains(keysym))
                    violations.append(
                        QStringLiteral("keycode %1 bound before the record named it").arg(binding.keycode));
            }
            mapping.insert(binding.keycode, binding.keysym);
            if (binding.shifted)
                mapping.insert(binding.keycode | 0x100, binding.shifted);
        }
        news.append({announces ? m_now : m_now + 1, mapping});
        return true;
    }
    bool announcesBeforeReturning() const override { return announces; }
    int levels() const override { return twoLevels ? 2 : 1; }
    int press(quint8 keycode, int level, bool exactLevel) override {
        if (exactLevel && (level == 0 ? userShift : userAlt))
            return -1;
        down.insert(keycode);
        pressedAt.insert(keycode, m_now);
        queue.append({m_now + lag, keycode, 0, false, 0, userShift ? 1 : level});
        return userShift ? 1 : level;
    }
    void release(quint8 keycode) override {
        down.remove(keycode);
        longestHold = std::max(longestHold, m_now - pressedAt.value(keycode));
        queue.append({m_now + lag, keycode, 0, true});
    }
    QString refusal() const override { return QStringLiteral("refused as asked"); }
    bool ping(quint64 token) {
        if (!answersPings)
            return false;
        ++pings;
        queue.append({m_now + lag, 0, token, false, m_now});
        return true;
    }

    // Handles what is due; false when nothing was.
    bool receive(TypingEngine& engine) {
        bool handled = false;
        while (!queue.isEmpty() && queue.first().due <= m_now) {
            const Item item = queue.takeFirst();
            handled = true;
            if (!item.keycode) {
                if (!ignoresPings) {
                    for (const News& change : std::as_const(news)) {
                        if (change.madeAt <= item.sentAt)
                            seen = change.mapping;
                    }
                    engine.confirm(item.token);
                }
                continue;
            }
            if (item.release)
                continue;
            const QMap<quint16, quint32>& known = secondConnection ? seen : mapping;
            const quint32 keysym = known.value(item.keycode | item.level << 8, known.value(item.keycode));
            const bool keyWaiting = std::any_of(queue.cbegin(), queue.cend(), [this](const Item& next) {
                return next.keycode && next.due <= m_now;
            });
            if (holdsBack && !Keysyms::isAstral(keysym) && keyWaiting) {
                heldBack.append(keysym);
                continue;
            }
            if (!Keysyms::isAstral(keysym))
                typed.append(std::exchange(heldBack, {}));
            typed.append(keysym);
        }
        if (queue.isEmpty()) // idle at last
            typed.append(std::exchange(heldBack, {}));
        return handled;
    }
    qint64 nextDue() const {
        return queue.isEmpty() ? std::numeric_limits<qint64>::max() : queue.first().due;
    }

    KeymapSnapshot snapshot(int spare) const {
        KeymapSnapshot keymap;
        keymap.minKeycode = 8;
        keymap.maxKeycode = 255;
        // Keycodes 100.. are the spare ones; everything else carries something.
        for (int keycode = 8; keycode <= 255; ++keycode) {
            if (keycode < 100 || keycode >= 100 + spare)
                keymap.symbols.insert(quint8(keycode), {0x61});
        }
        for (auto it = mapping.cbegin(); it != mapping.cend() && it.key() < 0x100; ++it)
            keymap.symbols.insert(quint8(it.key()), {*it, mapping.value(it.key() | 0x100, *it)});
        return keymap;
    }

    struct Item {
        qint64 due;
        quint8 keycode; // 0 for a ping
        quint64 token;
        bool release = false;
        qint64 sentAt = 0;
        int level = 0; // the level Shift took the press to
    };
    struct News {
        qint64 madeAt; // by the server
        QMap<quint16, quint32> mapping;
    };
    // The time the server has made every change asked for so far.
    qint64 changedAt() const { return news.isEmpty() ? 0 : news.last().madeAt; }
    qint64 lag = 5;
    bool secondConnection = false;
    bool announces = false; // the change is made before bind() returns
    QList<News> news;
    QMap<quint16, quint32> seen; // the mapping as the second connection knows it
    bool answersPings = false;
    bool ignoresPings = false; // claims to answer, never does
    bool holdsBack = false;
    QList<quint32> heldBack;
    QMap<quint8, qint64> pressedAt;
    qint64 longestHold = 0;
    bool twoLevels = false;
    bool userShift = false;         // held all along
    bool userAlt = false;           // held all along, which Shift must not join
    QMap<quint16, quint32> mapping; // keycode, and keycode | 0x100 for a second level unlike the first
    QSet<quint8> down;
    QSet<quint8> refuse;
    QList<Item> queue;
    QList<quint32> typed;
    QStringList violations;
    const QMap<quint8, QList<quint32>>* journal = nullptr;
    int binds = 0;
    int unbinds = 0;
    int changes = 0; // keymap changes, each possibly of several keycodes
    int pings = 0;

private:
    const qint64& m_now;
};

namespace {
constexpr qint64 quarantine = TypingEngine::defaultQuarantineMs;
using Keymap = std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)>;

Keymap parse(const QByteArray& text) {
    static xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    return {xkb_keymap_new_from_string(context, text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                       XKB_KEYMAP_COMPILE_NO_FLAGS),
            &xkb_keymap_unref};
}

// The keysym a receiver gets from a keycode with no modifier held.
quint32 translate(xkb_keymap* keymap, quint8 keycode) {
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(keymap), &xkb_state_unref);
    return xkb_state_key_get_one_sym(state.get(), keycode);
}

// The character keys of a PC keyboard as evdev codes (linux/input-event-codes.h): KEY_1 = 2 …
// KEY_EQUAL = 13, KEY_Q = 16 … KEY_RIGHTBRACE = 27, KEY_A = 30 … KEY_GRAVE = 41, KEY_BACKSLASH = 43 …
// KEY_SLASH = 53, KEY_102ND = 86, KEY_RO = 89, KEY_YEN = 124.
bool isTypingBlockKey(quint32 evdev) {
    return (evdev >= 2 && evdev <= 13) || (evdev >= 16 && evdev <= 27) || (evdev >= 30 && evdev <= 41) ||
           (evdev >= 43 && evdev <= 53) || evdev == 86 || evdev == 89 || evdev == 124;
}

// `count` symbols from `from` on, each a symbol no key carries.
QString symbolsFrom(char32_t from, int count) {
    QString symbols;
    for (char32_t scalar = from; scalar < from + count; ++scalar)
        symbols += QString::fromUcs4(&scalar, 1);
    return symbols;
}

QList<quint32> keysymsOf(const QString& text) {
    QList<quint32> keysyms;
    for (char32_t scalar : text.toUcs4())
        keysyms.append(Keysyms::forScalar(scalar));
    return keysyms;
}

struct Rig {
    qint64 now = 1000;
    FakeDisplay display{now};
    // Typing through a virtual keyboard instead: every keymap it sends is compiled, and the display
    // translates each press with the last one, as Xwayland does. Chromium reads any other key than
    // one of the typing block by its code (Backspace, F-keys, media keys), whatever it carries.
    WaylandKeyboardDevice virtualKeyboard{
        {[this](const QByteArray& text) {
             const Keymap keymap = parse(text);
             ++display.changes;
             display.mapping.clear();
             for (int keycode = 8; keymap && keycode <= 255; ++keycode) {
                 if (const quint32 keysym = translate(keymap.get(), quint8(keycode)))
                     display.mapping.insert(quint8(keycode), keysym);
             }
             if (!keymap)
                 display.violations.append(QStringLiteral("a keymap did not compile"));
             return true;
         },
         [this](quint32 evdev, bool pressed) {
             if (!isTypingBlockKey(evdev))
                 display.violations.append(QStringLiteral("evdev key %1").arg(evdev));
             pressed ? void(display.press(quint8(evdev + 8), 0, false)) : display.release(quint8(evdev + 8));
         }}};
    TypingEngine engine;
    QMap<quint8, QList<quint32>> journal;
    QList<quint32> failed;
    QSet<QString> reasons;
    int waits = 0;

    explicit Rig(int spare, qint64 lag = 5, bool pings = false, bool throughVirtualKeyboard = false,
                 bool twoLevels = false)
        : engine(throughVirtualKeyboard ? static_cast<KeyboardDevice&>(virtualKeyboard) : display,
                 [this] { return now; }) {
        display.lag = lag;
        display.twoLevels = twoLevels;
        display.answersPings = pings;
        display.journal = &journal;
        engine.setJournal([this](const QMap<quint8, QList<quint32>>& mayHold) { journal = mayHold; });
        engine.setFailureHandler([this](quint32 keysym, const QString& why) {
            failed.append(keysym);
            reasons.insert(why);
        });
        engine.setConfirmationRequest([this](quint64 token) { return display.ping(token); });
        QVERIFY(!throughVirtualKeyboard || virtualKeyboard.sendEmptyKeymap());
        engine.adopt(throughVirtualKeyboard ? VirtualKeymap::snapshot() : display.snapshot(spare));
        engine.newReceiver();
    }

    void type(const QString& text) {
        for (quint32 keysym : keysymsOf(text)) {
            engine.enqueue(keysym);
        }
        finish();
    }
    // Runs engine and receiver the way the event loop would, until both are done.
    void finish() {
        for (int step = 0; step < 100000; ++step) {
            const TypingEngine::Wait wait = engine.run();
            if (wait.kind == TypingEngine::Wait::Keymap) {
                // The news reaches this process once the server has made the change.
                now = std::max(now, display.changedAt());
                engine.keymapDigested();
                continue;
            }
            if (display.receive(engine))
                continue;
            if (wait.kind == TypingEngine::Wait::Nothing && display.queue.isEmpty())
                return;
            const qint64 next = std::min(
                wait.kind == TypingEngine::Wait::Time ? wait.until : display.nextDue(), display.nextDue());
            QVERIFY2(next > now, "waiting for a time that has already come");
            if (wait.kind == TypingEngine::Wait::Time && wait.until == next)
                ++waits;
            now = next;
        }
        QFAIL("typing never finished");
    }
    // Gives the bindings back the way the backend does at the end.
    void restore() {
        for (TypingEngine::Wait wait = engine.settle(); wait.kind != TypingEngine::Wait::Nothing;
             wait = engine.settle()) {
            if (!display.receive(engine))
                now = std::min(wait.until, display.nextDue());
        }
        engine.restoreAll();
        display.receive(engine);
    }
};
} // namespace

class TestTypingEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keysymOfEachScalar_data() {
        QTest::addColumn<uint>("scalar");
        QTest::addColumn<uint>("keysym");
        QTest::newRow("ASCII letter") << 0x61u << 0x61u;
        QTest::newRow("ą beyond Latin-1") << 0x105u << 0x1000105u;
        QTest::newRow("astral double-struck A") << 0x1d538u << 0x101d538u;
        QTest::newRow("newline is Return") << 0x0au << 0xff0du;
        QTest::newRow("other control") << 0x07u << 0u;
        QTest::newRow("lone surrogate") << 0xd835u << 0u;
    }

    void keysymOfEachScalar() {
        QFETCH(uint, scalar);
        QFETCH(uint, keysym);
        QCOMPARE(Keysyms::forScalar(char32_t(scalar)), quint32(keysym));
    }

    void spareKeycodesLeaveContestedOnesForLast() {
        KeymapSnapshot keymap;
        keymap.minKeycode = 8;
        keymap.maxKeycode = 255;
        for (int keycode = 8; keycode <= 255; ++keycode)
            keymap.symbols.insert(quint8(keycode), {0x61});
        for (quint8 keycode : {93, 97, 103, 120, 248, 9})
            keymap.symbols.remove(keycode);
        keymap.modifiers[3] = {120}; // a modifier key without keysyms is no spare key
        QCOMPARE(keymap.spareKeycodes(), (QList<quint8>{93, 97, 103, 9, 248}));
    }

    void textArrivesExactlyWithoutEarlyRebinding_data() {
        QTest::addColumn<int>("spare");
        QTest::addColumn<qint64>("lag");
        QTest::addColumn<bool>("pings");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("throughVirtualKeyboard"); // and its 50 keycodes
        QTest::addColumn<bool>("secondConnection");
        QTest::addColumn<bool>("announces");
        // 2: two symbols a key, the second typed with Shift; 3: and the user holds Shift; 4: or Alt.
        QTest::addColumn<int>("levels");
        const QString polish = QStringLiteral("ąćęłńóśźż");
        const QString many = QStringLiteral("ąćęłńóśźżĄĆĘŁŃÓŚŹŻəɛɔʃʒθðŋ∑∫√∞≈≠€£¥₸αβγδ𝔸é");
        const QString more = symbolsFrom(0x100, 150) + QStringLiteral("𝔸e\u0301") + symbolsFrom(0x100, 40);
        QTest::newRow("few symbols, many keycodes")
            << 19 << 5ll << false << polish << false << false << false << 1;
        QTest::newRow("more symbols than keycodes")
            << 19 << 20ll << false << many + many + many << false << false << false << 1;
        QTest::newRow("alternating pair on one keycode")
            << 1 << 20ll << false << QStringLiteral("ababab") << false << false << false << 1;
        QTest::newRow("slow receiver that confirms")
            << 19 << 400ll << true << many + many + many << false << false << false << 1;
        QTest::newRow("slow receiver, one keycode")
            << 1 << 400ll << true << QStringLiteral("ababab") << false << false << false << 1;
        QTest::newRow("virtual keyboard, more symbols than keycodes")
            << 0 << 30ll << false << more << true << false << false << 1;
        QTest::newRow("receiver that follows the keymap on a second connection")
            << 19 << 5ll << true << many + many + many << false << true << false << 1;
        QTest::newRow("second connection, one keycode, change made before the request returns")
            << 1 << 5ll << true << QStringLiteral("ababab") << false << true << true << 1;
        QTest::newRow("two symbols a key")
            << 19 << 20ll << false << many + many + many << false << false << false << 2;
        QTest::newRow("two symbols a key, slow receiver that confirms")
            << 19 << 400ll << true << many + many + many << false << false << false << 2;
        QTest::newRow("two symbols a key, second connection")
            << 3 << 5ll << true << many + many << false << true << true << 2;
        QTest::newRow("two symbols a key, the user holds Shift")
            << 3 << 20ll << false << many + many << false << false << false << 3;
        QTest::newRow("two symbols a key, the user holds Alt")
            << 3 << 20ll << true << many + many << false << false << false << 4;
    }

    void textArrivesExactlyWithoutEarlyRebinding() {
        QFETCH(int, spare);
        QFETCH(qint64, lag);
        QFETCH(bool, pings);
        QFETCH(QString, text);
        QFETCH(bool, throughVirtualKeyboard);
        QFETCH(bool, secondConnection);
        QFETCH(bool, announces);
        QFETCH(int, levels);
        Rig rig(spare, lag, pings, throughVirtualKeyboard, levels > 1);
        rig.display.userShift = levels == 3;
        rig.display.userAlt = levels == 4;
        rig.display.secondConnection = secondConnection;
        rig.display.announces = announces;
        rig.type(text);
        QCOMPARE(rig.display.typed, keysymsOf(text));
        QCOMPARE(rig.display.violations, QStringList());
        QVERIFY(rig.failed.isEmpty());
        QVERIFY(rig.display.down.isEmpty());
    }

    void keymapChangesAreFewAndBatched() {
        Rig rig(19);
        rig.type(QStringLiteral("ąćęłńóśźżąćę")); // the symbols ahead are bound in one change
        QCOMPARE(rig.display.changes, 1);
        QCOMPARE(rig.display.binds, 9);
        rig.type(QStringLiteral("ęąęąęą")); // typed before: no change, no wait
        QCOMPARE(rig.display.changes, 1);
        QCOMPARE(rig.waits, 0);
        rig.restore();
        QCOMPARE(rig.display.changes, 2);
        QVERIFY(rig.display.mapping.isEmpty());
        // Two symbols a key: 38 distinct symbols on 19 keycodes take one change, typed three times.
        const QString text = QStringLiteral("ąćęłńóśźżĄĆĘŁŃÓŚŹŻəɛɔʃʒθðŋ∑∫√∞≈≠€£¥₸αβ").repeated(3);
        Rig paired(19, 5, false, false, true);
        paired.type(text);
        QCOMPARE(paired.display.changes, 1);
        // Under a held Shift (and a receiver that confirms), one change splits the keys, and the
        // symbols left out get one key each.
        Rig held(19, 5, true, false, true);
        held.display.userShift = true;
        held.type(text);
        QCOMPARE(held.display.typed, keysymsOf(text));
        QVERIFY(held.display.changes <= 7); // one symbol a key from the start takes 6
    }

    void slowReceiverIsAskedInsteadOfWaitedFor() {
        // 19 keycodes, 38 symbols: one confirmation frees every keycode used before it,
        // and one after each keymap change says the receiver knows the new bindings.
        Rig rig(19, 30, true);
        const QString text = QStringLiteral("ąćęłńóśźżĄĆĘŁŃÓŚŹŻəɛɔʃʒθðŋ∑∫√∞≈≠€£¥₸αβ");
        rig.type(text);
        QCOMPARE(rig.display.typed, keysymsOf(text));
        QCOMPARE(rig.display.changes, 2);
        QCOMPARE(rig.display.pings, 3);
    }

    void silentReceiverIsWaitedForAtMostTheLimit() {
        Rig rig(1, 5, true);
        rig.display.ignoresPings = true;
        const qint64 start = rig.now;
        rig.type(QStringLiteral("ab"));
        QCOMPARE(rig.display.typed, keysymsOf(QStringLiteral("ab")));
        QVERIFY(rig.now - start >= TypingEngine::defaultUnconfirmedLimitMs);
    }

    void keyBeforeASymbolOutsideTheBmpStaysDownOnlyWhereThatHelps_data() {
        QTest::addColumn<bool>("pings");
        QTest::addColumn<bool>("ignoresPings");
        QTest::addColumn<bool>("holdsBack");
        QTest::addColumn<qint64>("shortestHold");
        QTest::addColumn<qint64>("longestHold");
        const qint64 least = TypingEngine::orderHoldMinMs;
        const qint64 most = TypingEngine::orderHoldLimitMs;
        QTest::newRow("receiver that holds letters back") << true << false << true << least << most;
        QTest::newRow("receiver that never answers") << true << true << false << most << most;
        QTest::newRow("receiver that cannot confirm") << false << false << false << 0ll << 0ll;
    }

    void keyBeforeASymbolOutsideTheBmpStaysDownOnlyWhereThatHelps() {
        QFETCH(bool, pings);
        QFETCH(bool, ignoresPings);
        QFETCH(bool, holdsBack);
        QFETCH(qint64, shortestHold);
        QFETCH(qint64, longestHold);
        Rig rig(19, 5, pings);
        rig.display.ignoresPings = ignoresPings;
        rig.display.holdsBack = holdsBack;
        // A ZWJ sequence too: the joiner is a letter of the BMP between two astral symbols.
        const QString text = QStringLiteral("ab𝔸cd😀😀ef👩‍💻gh");
        rig.type(text);
        QCOMPARE(rig.display.typed, keysymsOf(text));
        QVERIFY2(rig.display.longestHold >= shortestHold && rig.display.longestHold <= longestHold,
                 qPrintable(QString::number(rig.display.longestHold)));
        QVERIFY(rig.display.down.isEmpty());
    }

    void leastRecentlyUsedKeycodeIsEvicted() {
        Rig rig(2);
        rig.type(QStringLiteral("a"));
        rig.now += 100;
        rig.type(QStringLiteral("b"));
        rig.now += 100;
        rig.type(QStringLiteral("a")); // a is now the more recent one
        rig.now += 100;
        const quint8 keycodeOfB = rig.display.mapping.key(0x62);
        rig.type(QStringLiteral("c"));
        QCOMPARE(rig.display.mapping.value(keycodeOfB), 0x63u);
        QVERIFY(rig.display.mapping.values().contains(0x61u));
        QCOMPARE(rig.waits, 0);
    }

    void preparedSymbolsAreBoundAheadWhereThatIsSafe_data() {
        QTest::addColumn<int>("spare");
        QTest::addColumn<QString>("typedBefore"); // just sent; the receiver has not handled it yet
        QTest::addColumn<QString>("prepared");
        QTest::addColumn<int>("bound"); // by the one keymap change it makes, if any
        const QString polish = QStringLiteral("ąćęłńóśźż");
        QTest::newRow("a quarter of the keycodes stays empty for others")
            << 19 << QString() << polish + polish.toUpper() << 15;
        QTest::newRow("too few keycodes to spare") << 2 << QString() << polish << 0;
        QTest::newRow("symbols bound already cost nothing") << 19 << polish << polish << 0;
        // Eight keycodes: three carry what was just typed, two stay empty, three are left for the panel.
        QTest::newRow("keycodes still needed by the receiver are left alone")
            << 8 << QStringLiteral("αβγ") << polish << 3;
    }

    void preparedSymbolsAreBoundAheadWhereThatIsSafe() {
        QFETCH(int, spare);
        QFETCH(QString, typedBefore);
        QFETCH(QString, prepared);
        QFETCH(int, bound);
        Rig rig(spare, 50);
        for (quint32 keysym : keysymsOf(typedBefore))
            rig.engine.enqueue(keysym);
        while (rig.engine.run().kind == TypingEngine::Wait::Keymap)
            rig.engine.keymapDigested();
        const int changes = rig.display.changes;
        const int binds = rig.display.binds;
        QCOMPARE(rig.engine.prepare(keysymsOf(prepared)), bound > 0);
        QCOMPARE(rig.display.changes, changes + (bound > 0));
        QCOMPARE(rig.display.binds, binds + bound);
        rig.engine.keymapDigested();
        rig.finish();
        QCOMPARE(rig.display.typed, keysymsOf(typedBefore));
        // Each symbol bound ahead is typed later without another keymap change.
        rig.type(prepared.left(bound));
        QCOMPARE(rig.display.changes, changes + (bound > 0));
        QCOMPARE(rig.display.typed, keysymsOf(typedBefore + prepared.left(bound)));
        QCOMPARE(rig.display.violations, QStringList());
    }

    void keymapChangedByOthersIsFollowed() {
        Rig rig(3);
        rig.type(QStringLiteral("abc"));
        const quint8 keycodeOfA = rig.display.mapping.key(0x61);
        const quint8 keycodeOfB = rig.display.mapping.key(0x62);
        rig.now += 100;
        // Someone else takes a's keycode, and b's keycode is emptied (as setxkbmap does).
        rig.display.mapping.insert(keycodeOfA, 0x7a);
        rig.display.mapping.remove(keycodeOfB);
        rig.engine.adopt(rig.display.snapshot(3));
        QCOMPARE(rig.engine.pool().slot(keycodeOfA), nullptr);
        QVERIFY(!rig.journal.contains(keycodeOfA));
        QVERIFY(!rig.journal.contains(keycodeOfB));

        const int bindsBefore = rig.display.binds;
        rig.type(QStringLiteral("cab"));
        QCOMPARE(rig.display.typed.mid(3), keysymsOf(QStringLiteral("cab")));
        QCOMPARE(rig.display.binds, bindsBefore + 2);           // c was still bound
        QCOMPARE(rig.display.mapping.value(keycodeOfA), 0x7au); // never touched again
        QCOMPARE(rig.display.violations, QStringList());
    }

    void refusedBindingFailsOnlyThatSymbolAndKeepsTheKeycode_data() {
        QTest::addColumn<int>("spare");
        QTest::addColumn<QString>("before"); // typed while the server still accepts
        QTest::addColumn<QList<quint8>>("refused");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("arrived");
        QTest::addColumn<QString>("failed");
        QTest::newRow("one keycode of two") << 2 << QString() << QList<quint8>{100} << QStringLiteral("abc")
                                            << QStringLiteral("bc") << QStringLiteral("a");
        // Xwayland refused every binding, whatever the keycode.
        QTest::newRow("every keycode") << 2 << QString() << QList<quint8>{100, 101} << QStringLiteral("abc")
                                       << QString() << QStringLiteral("abc");
        QTest::newRow("re-binding a bound keycode")
            << 1 << QStringLiteral("a") << QList<quint8>{100} << QStringLiteral("ba") << QStringLiteral("a")
            << QStringLiteral("b");
    }

    void refusedBindingFailsOnlyThatSymbolAndKeepsTheKeycode() {
        QFETCH(int, spare);
        QFETCH(QString, before);
        QFETCH(QList<quint8>, refused);
        QFETCH(QString, text);
        QFETCH(QString, arrived);
        QFETCH(QString, failed);
        Rig rig(spare);
        rig.type(before);
        rig.display.refuse = QSet<quint8>(refused.cbegin(), refused.cend());
        rig.type(text);
        QCOMPARE(rig.display.typed, keysymsOf(before + arrived));
        QCOMPARE(rig.failed, keysymsOf(failed));
        // The reason is the server's, not a guess about the keycode.
        QCOMPARE(rig.reasons, QSet<QString>{QStringLiteral("refused as asked")});

        // Nothing was lost: once the server accepts again, every spare keycode serves.
        rig.display.refuse.clear();
        rig.type(QStringLiteral("xyz"));
        QCOMPARE(rig.display.typed, keysymsOf(before + arrived + QStringLiteral("xyz")));
        QCOMPARE(rig.engine.pool().slots().size(), spare);
        QVERIFY(rig.display.down.isEmpty());
        QCOMPARE(rig.display.violations, QStringList());
    }

    void withoutSpareKeycodesEverySymbolFails() {
        Rig rig(0);
        QVERIFY(!rig.engine.canType());
        rig.type(QStringLiteral("ab"));
        QCOMPARE(rig.failed, (QList<quint32>{0x61, 0x62}));
        QVERIFY(rig.display.typed.isEmpty());
    }

    void restoreWaitsUntilNothingIsNeededAndEmptiesTheRecord_data() {
        QTest::addColumn<qint64>("lag");
        QTest::addColumn<bool>("pings");
        QTest::newRow("quick receiver") << 5ll << false;
        QTest::newRow("slow receiver that confirms") << 400ll << true;
    }

    void restoreWaitsUntilNothingIsNeededAndEmptiesTheRecord() {
        QFETCH(qint64, lag);
        QFETCH(bool, pings);
        Rig rig(19, lag, pings);
        for (quint32 keysym : keysymsOf(QStringLiteral("ąęé"))) {
            rig.engine.enqueue(keysym);
        }
        // Until every key is sent, not yet received.
        for (TypingEngine::Wait wait = rig.engine.run(); !rig.engine.isIdle(); wait = rig.engine.run()) {
            if (wait.kind == TypingEngine::Wait::Keymap)
                rig.engine.keymapDigested();
            else if (!rig.display.receive(rig.engine))
                rig.now = std::min(wait.until, rig.display.nextDue());
        }
        QCOMPARE(rig.journal.size(), 3);
        const qint64 sent = rig.now;
        rig.restore();
        QVERIFY(rig.now >= sent + std::min(lag, quarantine));
        QCOMPARE(rig.display.typed, keysymsOf(QStringLiteral("ąęé")));
        QVERIFY(rig.display.mapping.isEmpty());
        QCOMPARE(rig.display.unbinds, 3);
        QVERIFY(rig.journal.isEmpty());
        QVERIFY(rig.engine.pool().boundSlots().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTypingEngine)
#include "tst_typingengine.moc"
