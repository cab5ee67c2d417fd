#include "KeyboardViewFixture.h"

#include "ManualViewClock.h"
#include "keyboard/view/EditorField.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>

using Kind = KeyboardElementKind;

namespace {
const QChar US = customSymbolSeparator;
QString sep(std::initializer_list<const char*> symbols) {
    QStringList list;
    for (const char* s : symbols)
        list.append(QString::fromUtf8(s));
    return list.join(US);
}
} // namespace

// The editing gestures, driven by synthetic mouse events on a clock moved by hand.
class TestKeyboardEditing : public QObject {
    Q_OBJECT

    struct Editing : KeyboardViewFixture {
        ManualViewClock clock;
        Editing() {
            view->setClock(clock);
            showView();
        }
        ~Editing() { view.reset(); } // the clock must outlive the view
        void press(QPoint p) { QTest::mousePress(view.get(), Qt::LeftButton, {}, p); }
        void move(QPoint p) { QTest::mouseMove(view.get(), p); }
        void release(QPoint p) { QTest::mouseRelease(view.get(), Qt::LeftButton, {}, p); }
        void longPress(const QString& key, bool isCustom = false) {
            press(centreOf(key, isCustom));
            clock.advance(500);
        }
        // Drags the key onto the centre of another one, in steps, and lets go.
        void drag(const QString& from, const QString& onto, bool fromCustom = false,
                  bool ontoCustom = false) {
            const QPoint start = centreOf(from, fromCustom), end = centreOf(onto, ontoCustom);
            press(start);
            clock.advance(500);
            for (int i = 1; i <= 4; ++i) {
                move(start + (end - start) * i / 4);
                clock.advance(16);
            }
            release(end);
        }
        SymbolPalette stored(const QUuid& id) const { return *palettes.palette(id); }
        QPoint background() const { return (view->layout().card().topLeft() + QPointF(4, 30)).toPoint(); }
        void settle() { clock.advance(3000); }
    };

private Q_SLOTS:
    void pressLengthDecidesBetweenTypingAndReordering() {
        Editing f;
        f.activate("preset_german");
        f.press(f.centreOf("ö"));
        f.clock.advance(400);
        f.release(f.centreOf("ö"));
        QCOMPARE(f.backend.typedText(), QStringLiteral("ö"));
        QVERIFY(!f.view->isReordering());

        f.press(f.centreOf("ö"));
        f.clock.advance(499);
        QVERIFY(!f.view->isReordering());
        f.clock.advance(1);
        QVERIFY(f.view->isReordering());
        f.release(f.centreOf("ö"));
        QCOMPARE(f.backend.typedText(), QStringLiteral("ö")); // nothing more

        // A press that wanders more than 10 points is no long press.
        f.view->rebuild();
        Editing g;
        g.activate("preset_german");
        g.press(g.centreOf("ä"));
        g.move(g.centreOf("ä") + QPoint(11, 0));
        g.clock.advance(600);
        QVERIFY(!g.view->isReordering());
    }

    void reorderModeBreathesAndEndsOnlyByBackgroundClick() {
        Editing f;
        QTRY_VERIFY(f.panel);
        f.activate("preset_german");
        f.longPress("ä");
        const qint64 reorderStart = f.clock.now();
        f.release(f.centreOf("ä"));
        QVERIFY(!f.panel->movable);
        QCOMPARE(f.view->scene().closeOpacity > 0, true); // fading out under the default animation
        f.clock.advance(400);
        QCOMPARE(f.view->scene().closeOpacity, 0.0);
        // Keys breathe between full size and 92 %, 0.3 s each way, in step.
        f.clock.advance(reorderStart + 1500 - f.clock.now()); // a turning point: 0.3 s + whole cycles in
        const qreal low = f.view->scene().pieces.first().scale;
        QVERIFY2(qAbs(low - 0.92) < 0.01, qPrintable(QString::number(low)));
        f.clock.advance(300);
        QVERIFY(qAbs(f.view->scene().pieces.first().scale - 1.0) < 0.01);
        QVERIFY(f.view->isAnimating());
        // The add key is dimmed and does nothing; the close button cannot be hit; keys type nothing.
        const ScenePiece add = f.view->scene().pieces.last();
        QCOMPARE(add.content, ScenePiece::Content::Plus);
        f.clock.advance(400);
        QCOMPARE(f.view->scene().pieces.last().opacity, 0.3);
        f.click(f.centreOf(Kind::AddKey));
        QVERIFY(!f.view->isAddingMode());
        f.click(f.centreOf("ü"));
        f.click(f.view->layout().closeButton().center().toPoint() + QPoint(-4, 4));
        QVERIFY(f.state.isKeyboardVisible());
        QCOMPARE(f.backend.typedText(), QString());
        QVERIFY(f.view->isReordering());

        f.click(f.background());
        QVERIFY(!f.view->isReordering());
        QVERIFY(f.panel->movable);
        f.settle();
        QCOMPARE(f.view->scene().pieces.first().scale, 1.0);
        QCOMPARE(f.view->scene().closeOpacity, 1.0);
        // Settled: no animation frame and no deferred step left.
        QVERIFY(!f.view->isAnimating());
        QCOMPARE(f.clock.pendingCount(), 0);
    }

    void draggingReordersTheList_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("onto");
        QTest::addColumn<bool>("ontoCustom");
        QTest::addColumn<QString>("base");
        const auto row = [](const char* name, const char* from, const char* onto, bool custom,
                            const char* base) {
            QTest::newRow(name) << QString(from) << QString(onto) << custom << QString(base);
        };
        row("index 0 over index 3", "0", "3", false, "12304");
        row("index 3 over index 0", "3", "0", false, "30124");
        row("over a custom key: nothing", "0", "x", true, "01234");
    }
    void draggingReordersTheList() {
        QFETCH(QString, from);
        QFETCH(QString, onto);
        QFETCH(bool, ontoCustom);
        QFETCH(QString, base);
        Editing f;
        const SymbolPalette set = f.addSet("01234", sep({"x", "y"}), true);
        f.drag(from, onto, false, ontoCustom);
        QCOMPARE(f.stored(set.id).baseCharacters, base);
        QCOMPARE(f.stored(set.id).customCharacters, set.customCharacters);
        // Moving base keys makes the set the user's own.
        QCOMPARE(f.stored(set.id).isSystem, base == set.baseCharacters);
        QVERIFY(f.view->isReordering()); // stays on after the drop
    }

    void reorderingCustomKeysKeepsAPresetAPreset() {
        Editing f;
        SymbolPalette german = f.preset("preset_german");
        german.customCharacters = sep({"x", "yz", "w"});
        f.palettes.updatePalette(german);
        f.activate("preset_german");
        f.drag("w", "x", true, true);
        QCOMPARE(f.stored(german.id).customCharacters, sep({"w", "x", "yz"}));
        QVERIFY(f.stored(german.id).isSystem);
    }

    void editsOfTheUnsavedSetAreWrittenSeparated() {
        Editing f;
        f.useUnsaved("wxyz");
        const auto storedBefore = f.store.data(PaletteManager::storageKey);
        const QList<SymbolPalette> setsBefore = f.palettes.palettes();
        f.view->deleteSymbol("w");
        QCOMPARE(f.state.temporaryCustomCharacters(), sep({"x", "y", "z"}));
        f.drag("x", "z", true, true);
        QCOMPARE(f.state.temporaryCustomCharacters(), sep({"y", "z", "x"}));
        QVERIFY(f.store.data(PaletteManager::storageKey) == storedBefore);
        QVERIFY(f.palettes.palettes() == setsBefore);
    }

    void theDragPreviewLiftsTheKeyAndSettlesOntoItsPlace() {
        Editing f;
        f.addSet("01234", "");
        const QPoint start = f.centreOf("0"), end = f.centreOf("3");
        f.press(start);
        f.clock.advance(500);
        f.move(start + QPoint(0, 20));
        QCOMPARE(f.view->draggedCharacter(), QStringLiteral("0"));
        f.move(end + QPoint(3, 2));
        KeyboardScene scene = f.view->scene();
        QVERIFY(scene.preview);
        QCOMPARE(scene.preview->scale, 1.05);
        QCOMPARE(scene.preview->extraShadow, DropShadow::dragPreview());
        QCOMPARE(scene.preview->rect.center(), QPointF(end + QPoint(3, 2)));
        // The key itself is invisible in its slot (now the fourth).
        f.clock.advance(1000);
        const QRectF slot = f.view->layout().toView(f.view->buttonFrames().value("b:0"));
        QCOMPARE(slot.center(), QPointF(end));
        for (const ScenePiece& p : f.view->scene().pieces)
            if (p.text == "0")
                QCOMPARE(p.opacity, 0.0);

        f.release(end + QPoint(3, 2));
        f.clock.advance(100);
        const QPointF gliding = f.view->scene().preview->rect.center();
        QVERIFY(gliding != QPointF(end + QPoint(3, 2)));
        f.clock.advance(150);
        QVERIFY(f.view->draggedCharacter());
        QVERIFY((f.view->scene().preview->rect.center() - QPointF(end)).manhattanLength() < 0.5);
        f.clock.advance(50); // 0.3 s after the drop
        QVERIFY(!f.view->draggedCharacter());
        QVERIFY(!f.view->scene().preview);
        QVERIFY(f.view->isReordering());
    }

    void deleting_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("custom");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("baseAfter");
        QTest::addColumn<QString>("customAfter");
        QTest::addColumn<bool>("systemAfter");
        const auto row = [](const char* name, const QString& base, const QString& custom, const char* key,
                            const QString& baseAfter, const QString& customAfter, bool systemAfter) {
            QTest::newRow(name) << base << custom << QString(key) << baseAfter << customAfter << systemAfter;
        };
        row("a-umlaut between two a", "aäa", "", "ä", "aa", "", false);
        row("in both lists: only the custom entry", "ab", sep({"b", "c"}), "b", "ab", "c", true);
        row("custom, several characters", "", sep({"xyz", "q", "r"}), "q", "", sep({"xyz", "r"}), true);
        // A lone symbol of several characters keeps its separator, or it would fall apart into letters.
        row("leaving one long symbol", "", sep({"xyz", "q"}), "q", "", "xyz" + QString(US), true);
        row("not there", "ab", "", "z", "ab", "", true);
    }
    void deleting() {
        QFETCH(QString, base);
        QFETCH(QString, custom);
        QFETCH(QString, key);
        QFETCH(QString, baseAfter);
        QFETCH(QString, customAfter);
        QFETCH(bool, systemAfter);
        Editing f;
        const SymbolPalette set = f.addSet(base, custom, true);
        f.view->deleteSymbol(key);
        QCOMPARE(f.stored(set.id).baseCharacters, baseAfter);
        QCOMPARE(f.stored(set.id).customCharacters, customAfter);
        QCOMPARE(f.stored(set.id).isSystem, systemAfter);
    }

    void deletingFromTheContextMenu() {
        Editing f;
        const SymbolPalette set = f.addSet("aäa", "");
        f.localization.setAppLanguage("ru");
        f.localization.updateLanguage();
        const QPoint at = f.centreOf("ä");
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, f.view->mapToGlobal(at));
        QApplication::sendEvent(f.view.get(), &event);
        QVERIFY(f.view->contextMenu());
        QCOMPARE(f.view->contextMenu()->actions().size(), 1);
        QCOMPARE(f.view->contextMenu()->actions().first()->text(), QStringLiteral("Удалить"));
        f.view->contextMenu()->actions().first()->trigger();
        QCOMPARE(f.stored(set.id).baseCharacters, QStringLiteral("aa"));
        QCOMPARE(f.backend.typedText(), QString());
    }

    void theAddFieldKeepsSevenCharacters() {
        Editing f;
        f.activate("preset_german");
        f.click(f.centreOf(Kind::AddKey));
        QVERIFY(f.view->isAddingMode());
        QCOMPARE(f.view->activeAddingSection(), 1);
        QVERIFY(f.view->addField());
        QVERIFY(!f.view->isAddFieldFocused());
        f.clock.advance(99);
        QVERIFY(!f.view->isAddFieldFocused());
        f.clock.advance(1);
        QVERIFY(f.view->isAddFieldFocused());
        QTest::keyClicks(f.view->addField(), "abcdefgh");
        QCOMPARE(f.view->newCharacter(), QStringLiteral("abcdefgh"));
        f.clock.advance(0);
        QCOMPARE(f.view->newCharacter(), QStringLiteral("abcdefg"));
        QCOMPARE(f.view->addField()->text(), QStringLiteral("abcdefg"));
    }

    void committingAdds_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("customAfter");
        const auto row = [](const char* name, const QString& typed, const QString& after) {
            QTest::newRow(name) << typed << after;
        };
        row("blanks around x", " x ", sep({"a", "b", "x"}));
        row("a pasted separator does not split", "y\u001Fz\n", sep({"a", "b", "yz"}));
        row("blank", " \t ", "ab");
        row("control characters only", "\u001F\u0007", "ab");
    }
    void committingAdds() {
        QFETCH(QString, typed);
        QFETCH(QString, customAfter);
        Editing f;
        const SymbolPalette set = f.addSet("", "ab", true);
        f.view->startAdding(1);
        f.view->addField()->setText(typed);
        QTest::keyClick(f.view->addField(), Qt::Key_Return);
        QCOMPARE(f.stored(set.id).customCharacters, customAfter);
        QCOMPARE(f.stored(set.id).isSystem, customAfter == "ab");
        QVERIFY(f.view->isAddingMode()); // closed on the next turn
        f.clock.advance(0);
        QVERIFY(!f.view->isAddingMode());
        QCOMPARE(f.view->newCharacter(), QString());
    }

    void committingToTheUnsavedSetTouchesNoStoredSet() {
        Editing f;
        f.useUnsaved("ab");
        const auto storedBefore = f.store.data(PaletteManager::storageKey);
        const QList<SymbolPalette> setsBefore = f.palettes.palettes();
        f.view->startAdding(1);
        f.view->addField()->setText("ŋ");
        f.view->commitAdd(1);
        QCOMPARE(f.state.temporaryCustomCharacters(), sep({"a", "b", "ŋ"}));
        QVERIFY(f.store.data(PaletteManager::storageKey) == storedBefore);
        QVERIFY(f.palettes.palettes() == setsBefore);
        // Escape closes the field with nothing added.
        f.clock.advance(0);
        f.view->startAdding(1);
        f.view->addField()->setText("q");
        QTest::keyClick(f.view->addField(), Qt::Key_Escape);
        QVERIFY(!f.view->isAddingMode());
        QCOMPARE(f.state.temporaryCustomCharacters(), sep({"a", "b", "ŋ"}));
    }

    void savingTheUnsavedSet() {
        Editing f;
        f.useUnsaved(sep({"ŋ", "ə"}));
        const qsizetype sets = f.palettes.palettes().size();
        f.click(f.centreOf(Kind::SaveButton));
        QVERIFY(f.view->isSavingPalette());
        QCOMPARE(f.view->nameField()->placeholderText(), QStringLiteral("Set Name"));
        f.clock.advance(100);
        QVERIFY(f.view->isSaveFieldFocused());

        f.view->nameField()->setText("   ");
        QTest::keyClick(f.view->nameField(), Qt::Key_Return);
        f.clock.advance(0);
        QVERIFY(f.view->isSavingPalette()); // a blank name keeps the field open
        QCOMPARE(f.palettes.palettes().size(), sets);

        f.view->nameField()->setText("  Greek  ");
        f.click(f.centreOf(Kind::NameConfirm));
        QCOMPARE(f.palettes.palettes().size(), sets + 1);
        const SymbolPalette greek = f.palettes.palettes().last();
        QCOMPARE(greek.name, QStringLiteral("Greek"));
        QCOMPARE(greek.customCharacters, sep({"ŋ", "ə"}));
        QCOMPARE(greek.baseCharacters, QString());
        QVERIFY(!greek.isMain && !greek.isAdditional && !greek.isSystem);
        QCOMPARE(f.state.activePaletteID(), greek.idText());
        QCOMPARE(f.state.temporaryCustomCharacters(), QString());
        QVERIFY(!f.view->layout().element(Kind::SaveButton));
        f.clock.advance(0);
        QVERIFY(!f.view->isSavingPalette());
    }

    void aBackgroundClickClosesOnlyTheAddField() {
        Editing f;
        f.useUnsaved("ab");
        f.view->startSaving();
        f.view->startAdding(1);
        QVERIFY(!f.view->isBackgroundAt(f.background())); // the panel must leave this click to the view
        f.click(f.background());
        QVERIFY(!f.view->isAddingMode());
        QVERIFY(f.view->isSavingPalette());
        f.click(f.background());
        QVERIFY(f.view->isSavingPalette());
    }

    void thePanelTakesTheFocusExactlyWhileAFieldIsOpen() {
        Editing f;
        QTRY_VERIFY(f.panel);
        f.useUnsaved("ab");
        auto focusOpen = [&f] { return f.view->isAddingMode() || f.view->isSavingPalette(); };

        f.click(f.centreOf(Kind::AddKey));
        QVERIFY(f.panel->allowFocus() && focusOpen());
        QCOMPARE(f.panel->madeKey, 1);
        f.click(f.centreOf(Kind::SaveButton));
        QCOMPARE(f.panel->madeKey, 2);
        f.view->cancelAdd();
        QVERIFY(f.panel->allowFocus() && focusOpen());
        f.view->cancelSave();
        QVERIFY(!f.panel->allowFocus() && !focusOpen());

        f.view->startSaving();
        f.view->startAdding(1);
        f.view->cancelSave();
        QVERIFY(f.panel->allowFocus()); // the add field is still open
        f.view->addField()->setText("x");
        f.view->commitAdd(1);
        QVERIFY(f.panel->allowFocus());
        f.clock.advance(0);
        QVERIFY(!f.panel->allowFocus());
        QCOMPARE(f.panel->focusHistory, QList<bool>({true, false, true, false}));
        f.settle();
        QCOMPARE(f.clock.pendingCount(), 0);
    }

    void fieldsComeInAndGoOutAnimated() {
        Editing f;
        f.addSet("ab", "");
        f.view->startAdding(1);
        auto piece = [&f](ScenePiece::Content c) {
            for (const ScenePiece& p : f.view->scene().pieces)
                if (p.content == c)
                    return p;
            return ScenePiece{};
        };
        // The field row slides in from the trailing edge and fades in; the add key leaves by scaling.
        f.clock.advance(16);
        QVERIFY(piece(ScenePiece::Content::Checkmark).offset.x() > 0);
        QVERIFY(piece(ScenePiece::Content::Checkmark).opacity < 1);
        QVERIFY(piece(ScenePiece::Content::Plus).scale < 1);
        f.clock.advance(2000);
        QCOMPARE(piece(ScenePiece::Content::Checkmark).offset.x(), 0.0);
        QCOMPARE(piece(ScenePiece::Content::Checkmark).opacity, 1.0);
        QCOMPARE(piece(ScenePiece::Content::Plus).opacity, 1.0); // gone: the default piece
        QVERIFY(!f.view->isAnimating());
        QCOMPARE(f.clock.pendingCount(), 0);
    }
};

QTEST_MAIN(TestKeyboardEditing)
#include "tst_keyboardediting.moc"
