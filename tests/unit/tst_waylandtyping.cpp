#include "platform/typing/Keysyms.h"
#include "platform/typing/TypingEngine.h"
#include "platform/wayland/VirtualKeymap.h"
#include "platform/wayland/WaylandKeyboardDevice.h"

#include <QTest>

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace {
using Keymap = std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)>;

Keymap parse(const QByteArray& text) {
    static xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    return {xkb_keymap_new_from_string(context, text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                       XKB_KEYMAP_COMPILE_NO_FLAGS),
            &xkb_keymap_unref};
}

// The keysym a receiver gets from a keycode with the given modifiers held or locked.
quint32 translate(xkb_keymap* keymap, quint8 keycode, const char* modifier = nullptr) {
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(keymap), &xkb_state_unref);
    const xkb_mod_index_t index = modifier ? xkb_keymap_mod_get_index(keymap, modifier) : XKB_MOD_INVALID;
    if (index != XKB_MOD_INVALID)
        xkb_state_update_mask(state.get(), 1u << index, 0, 1u << index, 0, 0, 0);
    return xkb_state_key_get_one_sym(state.get(), keycode);
}
} // namespace

class TestWaylandTyping : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keymapCarriesExactlyTheSymbol_data() {
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<uint>("scalar");
        QTest::newRow("Latin-1 é") << quint32(0xe9) << 0xe9u;
        QTest::newRow("ą") << Keysyms::forScalar(U'ą') << uint(U'ą');
        QTest::newRow("outside the BMP: 𝔸") << Keysyms::forScalar(U'𝔸') << 0x1d538u;
        QTest::newRow("combining acute") << Keysyms::forScalar(0x301) << 0x301u;
        QTest::newRow("named by libxkbcommon: Return") << Keysyms::Return << uint('\r');
    }
    void keymapCarriesExactlyTheSymbol() {
        QFETCH(quint32, keysym);
        QFETCH(uint, scalar);
        VirtualKeymap generator;
        const QByteArray text = generator.compile({{200, keysym}, {255, 0x61}});
        QVERIFY(!text.isEmpty());
        const Keymap keymap = parse(text);
        QVERIFY(keymap);
        // Xwayland needs the compat and types sections, resolved, and no keycode above 255.
        QVERIFY(text.contains("xkb_compatibility") && text.contains("\"ALPHABETIC\"") &&
                !text.contains("include"));
        QCOMPARE(xkb_keymap_max_keycode(keymap.get()), 255u);
        for (const char* modifier : {(const char*)nullptr, XKB_MOD_NAME_SHIFT, XKB_MOD_NAME_CAPS}) {
            QCOMPARE(translate(keymap.get(), 200, modifier), keysym);
            QCOMPARE(xkb_keysym_to_utf32(translate(keymap.get(), 200, modifier)), scalar);
        }
        QCOMPARE(translate(keymap.get(), 201), quint32(XKB_KEY_NoSymbol));
    }

    void notAKeysymIsRefused() {
        VirtualKeymap generator;
        QVERIFY(generator.compile({{200, 0xffffffff}}).isEmpty());
        QCOMPARE(VirtualKeymap::snapshot().spareKeycodes().size(), 56);
    }

    // The engine's rules on the virtual keyboard, against a receiver that
    // translates each press `lag` ms late with whatever keymap came last, as
    // Xwayland does: more distinct symbols than keycodes, each exact.
    void manySymbolsThroughALaggingReceiverArriveExactly() {
        qint64 now = 0;
        Keymap latest(nullptr, &xkb_keymap_unref);
        int keymaps = 0;
        struct Press {
            qint64 due;
            quint8 keycode;
        };
        QList<Press> pending;
        QList<quint32> typed;
        QStringList violations;
        WaylandKeyboardDevice device({[&](const QByteArray& text) {
                                          latest = parse(text);
                                          ++keymaps;
                                          if (!latest)
                                              violations.append(QStringLiteral("a keymap did not compile"));
                                          return true;
                                      },
                                      [&](quint32 evdev, bool pressed) {
                                          if (evdev + 8 < 200 || evdev + 8 > 255)
                                              violations.append(QStringLiteral("key %1").arg(evdev + 8));
                                          if (pressed)
                                              pending.append({now + 30, quint8(evdev + 8)});
                                      }});
        QVERIFY(device.sendEmptyKeymap());
        TypingEngine engine(device, [&] { return now; });
        engine.adopt(VirtualKeymap::snapshot());
        engine.newReceiver();

        QString text;
        for (char32_t scalar = 0x100; scalar < 0x100 + 150; ++scalar)
            text += QString::fromUcs4(&scalar, 1);
        text += QStringLiteral("𝔸e\u0301") + text.left(40);
        QList<quint32> expected;
        for (char32_t scalar : text.toUcs4()) {
            expected.append(Keysyms::forScalar(scalar));
            engine.enqueue(true, expected.last());
            engine.enqueue(false, expected.last());
        }
        for (int step = 0; step < 100000 && (!engine.isIdle() || !pending.isEmpty()); ++step) {
            const TypingEngine::Wait wait = engine.run();
            if (wait.kind == TypingEngine::Wait::Keymap) {
                engine.keymapDigested();
                continue;
            }
            while (!pending.isEmpty() && pending.first().due <= now)
                typed.append(translate(latest.get(), pending.takeFirst().keycode));
            qint64 next = pending.isEmpty() ? std::numeric_limits<qint64>::max() : pending.first().due;
            if (wait.kind == TypingEngine::Wait::Time)
                next = std::min(next, wait.until);
            if (next != std::numeric_limits<qint64>::max())
                now = std::max(now + 1, next);
        }
        QCOMPARE(violations, QStringList());
        QCOMPARE(typed, expected);
        QVERIFY(keymaps > 2); // the keycodes were shared, not just filled once
    }
};

QTEST_GUILESS_MAIN(TestWaylandTyping)
#include "tst_waylandtyping.moc"
