#include "KeyboardViewFixture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>

using Kind = KeyboardElementKind;

namespace {
QString sep(const QStringList& symbols) {
    return symbols.join(customSymbolSeparator);
}
const QPoint padding(24, 50); // the card's left padding: background
} // namespace

// The view on a recording panel, driven by synthetic pointer and key events on a
// clock moved by hand; and the edits the gestures make to the stored sets.
class TestKeyboardView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keysTypeOnReleaseAndNeverTakeTheFocus_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QStringList>("custom");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QString>("typed");
        const auto row = [](const char* name, const char* base, const QStringList& custom, const char* key,
                            bool shift, const char* typed) {
            QTest::newRow(name) << QString(base) << custom << QString(key) << shift << QString(typed);
        };
        row("base", "äöüß", {}, "ü", false, "ü");
        row("sharp s with Shift", "äöüß", {}, "ß", true, "SS");
        row("custom, several characters, Shift", "a", {"x", "abc"}, "abc", true, "ABC");
    }
    void keysTypeOnReleaseAndNeverTakeTheFocus() {
        QFETCH(QString, base);
        QFETCH(QStringList, custom);
        QFETCH(QString, key);
        QFETCH(bool, shift);
        QFETCH(QString, typed);
        KeyboardViewFixture f;
        f.addSet(base, sep(custom));
        f.state.setShiftPressed(shift);
        f.show();
        const QPoint centre = f.at(f.symbols(base, custom), key, custom.contains(key));
        f.press(centre);
        f.clock.advance(300);
        QCOMPARE(f.backend.typedText(), QString());
        f.release(centre + QPoint(8, -8)); // the press may wander inside the key
        f.click(padding);
        QCOMPARE(f.backend.typedText(), typed);
        QVERIFY(f.panel.focusHistory.isEmpty());
        QCOMPARE(f.panel.madeKey, 0);
        QCOMPARE(QApplication::focusWidget(), nullptr);
    }

    void longPressAndDragStoreTheOrder_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("onto");
        QTest::addColumn<QString>("base");
        const auto row = [](const char* name, const char* from, const char* onto, const char* base) {
            QTest::newRow(name) << QString(from) << QString(onto) << QString(base);
        };
        row("index 0 over index 3", "0", "3", "12304");
        row("index 3 over index 0", "3", "0", "30124");
        row("over a custom key: nothing", "0", "x", "01234");
    }
    void longPressAndDragStoreTheOrder() {
        QFETCH(QString, from);
        QFETCH(QString, onto);
        QFETCH(QString, base);
        KeyboardViewFixture f;
        const SymbolPalette set = f.addSet("01234", sep({"x", "y"}), true);
        f.show();
        const KeyboardLayoutInput shown = f.symbols("01234", {"x", "y"});
        const QPoint start = f.at(shown, from), end = f.at(shown, onto, onto == "x");
        f.press(start);
        f.clock.advance(500);
        QVERIFY(!f.panel.movable); // a drag on a key moves the key, not the panel
        for (int i = 1; i <= 4; ++i) {
            f.move(start + (end - start) * i / 4);
            f.clock.advance(16);
        }
        f.release(end);
        const SymbolPalette stored = *f.palettes.palette(set.id);
        QCOMPARE(stored.baseCharacters, base);
        QCOMPARE(stored.customCharacters, set.customCharacters);
        QCOMPARE(stored.isSystem, base == set.baseCharacters); // moved base keys make the set the user's own

        // Reorder mode stays: keys type nothing, the add key does nothing, until a background click.
        f.clock.advance(1000);
        f.click(f.at(shown, "y", true));
        f.click(f.at(shown, Kind::AddKey));
        QVERIFY(f.fields().isEmpty());
        QVERIFY(!f.view->isBackgroundAt(padding)); // the panel leaves this click to the view
        f.click(padding);
        QVERIFY(f.panel.movable);
        f.click(f.at(shown, "y", true));
        QCOMPARE(f.backend.typedText(), QStringLiteral("y"));
        f.clock.advance(3000);
        QCOMPARE(f.clock.pendingCount(), 0); // settled: no frame and no step left
    }

    void deletingFromTheContextMenu() {
        KeyboardViewFixture f;
        const SymbolPalette set = f.addSet("aäa", "");
        f.show();
        const QPoint at = f.at(f.symbols("aäa"), "ä");
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, f.view->mapToGlobal(at));
        QApplication::sendEvent(f.view.get(), &event);
        f.view->findChild<QMenu*>()->actions().first()->trigger();
        QCOMPARE(f.palettes.palette(set.id)->baseCharacters, QStringLiteral("aa"));
        QCOMPARE(f.backend.typedText(), QString());
    }

    void addingLendsTheFocusWhileTheFieldIsOpen() {
        KeyboardViewFixture f;
        const SymbolPalette set = f.addSet("ab", "");
        f.show();
        f.click(f.at(f.symbols("ab"), Kind::AddKey));
        QVERIFY(f.panel.allowFocus() && f.panel.madeKey == 1);
        EditorField* field = f.fields().value(0);
        QVERIFY(!field->hasFocus());
        f.clock.advance(100);
        QVERIFY(field->hasFocus());
        QTest::keyClicks(field, " abcdefgh");
        f.clock.advance(0);
        QCOMPARE(field->text(), QStringLiteral(" abcdef"));
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(f.palettes.palette(set.id)->customSymbols(), QStringList{"abcdef"});
        QVERIFY(f.panel.allowFocus()); // closed on the next turn
        f.clock.advance(0);
        QCOMPARE(f.panel.focusHistory, QList<bool>({true, false}));
        QVERIFY(f.fields().isEmpty());
        QCOMPARE(f.backend.typedText(), QString());
    }

    void savingTheUnsavedSet() {
        KeyboardViewFixture f;
        f.useUnsaved(sep({"ŋ", "ə"}));
        f.show();
        KeyboardLayoutInput shown = f.symbols("", {"ŋ", "ə"});
        shown.showSaveRow = true;
        f.click(f.at(shown, Kind::SaveButton));
        shown.isSavingPalette = true;
        f.click(f.at(shown, Kind::AddKey)); // both fields open
        EditorField* name = f.fields().value(0);
        name->setText("   ");
        QTest::keyClick(name, Qt::Key_Return);
        f.clock.advance(0);
        QCOMPARE(f.fields().size(), 2); // a blank name keeps the field open
        // A background click closes only the add field; the panel keeps the focus for the other.
        f.click(padding);
        QCOMPARE(f.fields(), QList<EditorField*>{name});
        QVERIFY(f.panel.allowFocus());

        name->setText("  Greek  ");
        QTest::keyClick(name, Qt::Key_Return);
        const SymbolPalette greek = f.palettes.palettes().last();
        QCOMPARE(greek.name, QStringLiteral("Greek"));
        QCOMPARE(greek.customCharacters, sep({"ŋ", "ə"}));
        QVERIFY(!greek.isMain && !greek.isAdditional && !greek.isSystem);
        QCOMPARE(f.state.activePaletteID(), greek.idText());
        QCOMPARE(f.state.temporaryCustomCharacters(), QString());
        f.clock.advance(0);
        QVERIFY(!f.panel.allowFocus());
    }

    void dotsSwitchTheSetAndTheCloseButtonHides() {
        KeyboardViewFixture f;
        const SymbolPalette main = *f.palettes.mainPalette();
        f.state.setActivePaletteID(customPaletteIDText);
        f.show();
        KeyboardLayoutInput shown = f.symbols("");
        shown.dotCount = 2;
        const KeyboardLayout layout = KeyboardLayout::compute(shown);
        QTRY_VERIFY(f.state.isKeyboardVisible()); // the launch step shows it
        f.click(layout.closeButton().center().toPoint());
        QVERIFY(!f.state.isKeyboardVisible() && f.panel.hidden == 1);
        f.click(layout.dots()[1].center().toPoint()); // the unsaved set's dot does nothing
        QCOMPARE(f.state.activePaletteID(), customPaletteIDText);
        f.click(layout.dots()[0].center().toPoint());
        QCOMPARE(f.state.activePaletteID(), main.idText());
        const QSize size = f.view->sizeHint();
        f.state.setKeyboardSize(KeyboardSize::Full); // followed at once
        QVERIFY(f.view->sizeHint().width() > size.width());
    }

    // What the gestures change in a stored set, a preset to begin with.
    void editsOfAStoredSet_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("custom");
        QTest::addColumn<QString>("edit");  // delete:text, append:typed, move:from>to (custom keys)
        QTest::addColumn<QString>("after"); // base | custom | isSystem
        const auto row = [](const char* name, const char* base, const QString& custom, const char* edit,
                            const QString& after) {
            QTest::newRow(name) << QString(base) << custom << QString(edit) << after;
        };
        const QString US = customSymbolSeparator;
        row("delete a-umlaut between two a", "aäa", "", "delete:ä", "aa||0");
        row("delete what both lists hold: the custom one", "ab", sep({"b", "c"}), "delete:b", "ab|c|1");
        // A lone symbol of several characters keeps its separator, or it would fall apart into letters.
        row("delete, leaving one long symbol", "", sep({"xyz", "q"}), "delete:q", "|xyz" + US + "|1");
        row("delete what is not there", "ab", "", "delete:z", "ab||1");
        row("append, blanks around", "", "ab", "append: x ", "|" + sep({"a", "b", "x"}) + "|0");
        row("append: a pasted separator does not split", "", "ab", "append:y\u001Fz\n",
            "|" + sep({"a", "b", "yz"}) + "|0");
        row("append blanks and controls: nothing", "", "ab", "append: \u0007 ", "|ab|1");
        row("moving custom keys keeps a preset", "", sep({"x", "yz", "w"}), "move:2>0",
            "|" + sep({"w", "x", "yz"}) + "|1");
    }
    void editsOfAStoredSet() {
        QFETCH(QString, base);
        QFETCH(QString, custom);
        QFETCH(QString, edit);
        QFETCH(QString, after);
        KeyboardViewFixture f;
        const SymbolPalette set = f.addSet(base, custom, true);
        SymbolEditor editor(f.state, f.palettes);
        const QString arg = edit.section(':', 1);
        if (edit.startsWith("delete"))
            editor.deleteSymbol(arg);
        else if (edit.startsWith("append"))
            editor.appendSymbol(SymbolEditor::cleanedSymbol(arg));
        else
            editor.moveSymbol(set.customSymbols(), arg.section('>', 0, 0).toInt(),
                              arg.section('>', 1).toInt(), true);
        const SymbolPalette s = *f.palettes.palette(set.id);
        QCOMPARE(QStringList({s.baseCharacters, s.customCharacters, QString::number(s.isSystem)}).join('|'),
                 after);
    }

    void editsOfTheUnsavedSetStayOutOfTheStore() {
        KeyboardViewFixture f;
        f.useUnsaved("wxyz");
        const auto storedBefore = f.store.data(PaletteManager::storageKey);
        SymbolEditor editor(f.state, f.palettes);
        editor.deleteSymbol("w");
        editor.moveSymbol({"x", "y", "z"}, 0, 2, true);
        editor.appendSymbol("ŋ");
        QCOMPARE(f.state.temporaryCustomCharacters(), sep({"y", "z", "x", "ŋ"}));
        QVERIFY(f.store.data(PaletteManager::storageKey) == storedBefore);
    }
};

QTEST_MAIN(TestKeyboardView)
#include "tst_keyboardview.moc"
