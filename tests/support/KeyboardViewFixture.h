#pragma once

#include "FakeModifierMonitor.h"
#include "RecordingTypingBackend.h"
#include "keyboard/InputInjector.h"
#include "keyboard/KeyboardPanel.h"
#include "keyboard/KeyboardState.h"
#include "keyboard/view/KeyboardView.h"
#include "localization/LocalizationManager.h"
#include "palettes/PaletteManager.h"
#include "storage/SettingsStore.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A panel that only remembers what it was asked.
class RecordingPanel : public KeyboardPanel {
public:
    void orderFront() override { ++fronted; }
    void orderOut() override { ++hidden; }
    bool allowFocus() const override { return focus; }
    void setAllowFocus(bool allow) override {
        focus = allow;
        focusHistory.append(allow);
    }
    void makeKeyWindow() override { madeKey += focus ? 1 : 0; }
    void setMovableByBackground(bool m) override { movable = m; }

    int fronted = 0;
    int hidden = 0;
    bool focus = false;
    QList<bool> focusHistory;
    int madeKey = 0;
    bool movable = true;
};

// The managers of a fresh configuration (the presets, English), a recording
// typing backend and a recording panel, and the keyboard view on top.
struct KeyboardViewFixture {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("runeboard.conf"))};
    PaletteManager palettes{store, QStringLiteral("en")};
    LocalizationManager localization{store, QStringLiteral("en")};
    FakeModifierMonitor shift;
    KeyboardState state{store, shift};
    RecordingTypingBackend backend;
    InputInjector injector{backend};
    RecordingPanel* panel = nullptr;
    std::unique_ptr<KeyboardView> view;

    KeyboardViewFixture() {
        state.setPanelFactory([this] {
            auto p = std::make_unique<RecordingPanel>();
            panel = p.get();
            return std::unique_ptr<KeyboardPanel>(std::move(p));
        });
        state.configure(palettes, localization);
        view = std::make_unique<KeyboardView>(state, palettes, localization, injector);
    }

    SymbolPalette preset(const QString& name) const {
        for (const SymbolPalette& p : palettes.palettes())
            if (p.name == name)
                return p;
        return {};
    }
    void activate(const QString& presetName) { state.setActivePaletteID(preset(presetName).idText()); }

    // A new stored set with these characters, made active.
    SymbolPalette addSet(const QString& base, const QString& custom, bool isSystem = false) {
        SymbolPalette p;
        p.id = QUuid::createUuid();
        p.name = QStringLiteral("Mine");
        p.baseCharacters = base;
        p.customCharacters = custom;
        p.isSystem = isSystem;
        palettes.addPalette(p);
        state.setActivePaletteID(p.idText());
        return p;
    }

    // The unsaved set holding these characters, made active.
    void useUnsaved(const QString& characters) {
        state.setTemporaryCustomCharacters(characters);
        state.setActivePaletteID(customPaletteIDText);
    }

    void showView() {
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    QPoint centreOf(const QString& text, bool isCustom = false) const {
        const auto c = view->keyCentre(text, isCustom);
        return c ? c->toPoint() : QPoint(-1, -1);
    }
    QPoint centreOf(KeyboardElementKind kind) const {
        const KeyboardElement* e = view->layout().element(kind);
        return e ? view->layout().toView(e->frame).center().toPoint() : QPoint(-1, -1);
    }
    void click(const QPoint& p) { QTest::mouseClick(view.get(), Qt::LeftButton, {}, p); }
};
