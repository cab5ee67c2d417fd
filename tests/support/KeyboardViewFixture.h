#pragma once

#include "DataRows.h"
#include "FakeModifierMonitor.h"
#include "ManualViewClock.h"
#include "RecordingTypingBackend.h"
#include "keyboard/KeyboardPanel.h"
#include "keyboard/KeyboardState.h"
#include "keyboard/view/KeyboardView.h"
#include "localization/LocalizationManager.h"
#include "sets/SetStore.h"
#include "sets/UnsavedSet.h"
#include "storage/SettingsStore.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

// A panel that writes down what it was asked.
struct RecordingPanel : KeyboardPanel {
    void showPanel() override {}
    void hidePanel() override {}
    bool allowFocus() const override { return focus; }
    void setAllowFocus(bool allow) override { log.append((focus = allow) ? "allow" : "deny"); }
    void activate() override { log.append("key"); }
    void setMovableByBackground(bool m) override { log.append(m ? "movable" : "fixed"); }
    bool canTakeFocus() const override { return true; }

    bool focus = false;
    QStringList log;
};

// The managers of a fresh configuration (the presets, English), a recording
// typing backend, a recording panel (the keyboard state's and the view's), a
// clock moved by hand, and the keyboard view on top.
struct KeyboardViewFixture {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("runeboard.conf"))};
    SetStore sets{store, QStringLiteral("en")};
    LocalizationManager localization{store, QStringLiteral("en")};
    FakeModifierMonitor shift;
    std::unique_ptr<RecordingPanel> ownPanel = std::make_unique<RecordingPanel>();
    RecordingPanel& panel = *ownPanel;
    KeyboardState state{store, sets, localization, shift};
    RecordingTypingBackend backend;
    ManualViewClock clock;
    std::unique_ptr<KeyboardView> view; // last: it goes first

    KeyboardViewFixture() {
        state.setPanelFactory([this] { return std::unique_ptr<KeyboardPanel>(ownPanel.release()); });
        state.start();
        view = std::make_unique<KeyboardView>(state, sets, localization, backend, &panel, &clock);
    }

    SymbolSet preset(const QString& name) const {
        const QList<SymbolSet> all = sets.sets();
        return *std::ranges::find(all, name, &SymbolSet::name);
    }
    // A new stored set with these characters, made active.
    SymbolSet addSet(const QString& base, const QString& custom, bool isSystem = false) {
        const SymbolSet p{QUuid::createUuid(), QStringLiteral("Mine"), base, custom, false, false, isSystem};
        sets.addSet(p);
        state.setActiveSetId(p.idText());
        return p;
    }
    // The unsaved set holding these characters, made active.
    void useUnsaved(const QString& characters) {
        state.setTemporaryCustomCharacters(characters);
        state.setActiveSetId(UnsavedSet::idText);
    }
    void show() {
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    // What the layout is given for these symbols (the base ones one per character).
    static KeyboardLayoutInput symbols(const QString& base, const QStringList& custom = {}) {
        KeyboardLayoutInput in;
        in.baseSymbols = SymbolSet::graphemes(base);
        in.customSymbols = custom;
        return in;
    }
    // Where the layout puts a key or an element for these symbols: the view must put it there too.
    static QPoint at(const KeyboardLayoutInput& in, const QString& key, bool isCustom = false) {
        const KeyboardLayout l = KeyboardLayout::compute(in);
        return l.key(key, isCustom) ? l.toView(l.key(key, isCustom)->frame).center().toPoint()
                                    : QPoint(-1, -1);
    }
    static QPoint at(const KeyboardLayoutInput& in, KeyboardElementKind kind) {
        const KeyboardLayout l = KeyboardLayout::compute(in);
        return l.element(kind) ? l.toView(l.element(kind)->frame).center().toPoint() : QPoint(-1, -1);
    }
    // The text fields open now (closed ones are gone once deferred deletions ran).
    QList<QLineEdit*> fields() const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return view->findChildren<QLineEdit*>();
    }
    void press(QPoint p, Qt::KeyboardModifiers held = {}) {
        QTest::mousePress(view.get(), Qt::LeftButton, held, p);
    }
    void move(QPoint p) { QTest::mouseMove(view.get(), p); }
    void release(QPoint p, Qt::KeyboardModifiers held = {}) {
        QTest::mouseRelease(view.get(), Qt::LeftButton, held, p);
    }
    void click(QPoint p) { QTest::mouseClick(view.get(), Qt::LeftButton, {}, p); }
};
