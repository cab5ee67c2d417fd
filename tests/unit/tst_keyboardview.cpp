#include "KeyboardViewFixture.h"
#include "sets/UnsavedSet.h"

#include "keyboard/FloatingPanel.h"
#include "keyboard/PanelContent.h"
#include "platform/WindowSystem.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QWindow>

using Kind = KeyboardElementKind;

namespace {

// A strip of targets 100 points wide, from x = 0: the keys a and b (custom), the add key, the
// save button, the close button, the second dot, background, the name's confirm, the add cancel.
GestureTarget stripAt(const QPointF& p) {
    using H = KeyboardHit;
    const GestureTarget strip[] = {
        {H::Element, Kind::Key, "a", false, -1},     {H::Element, Kind::Key, "b", true, -1},
        {H::Element, Kind::AddKey, "", false, -1},   {H::Element, Kind::SaveButton, "", false, -1},
        {H::CloseButton, Kind::Key, "", false, -1},  {H::Dot, Kind::Key, "", false, 1},
        {H::Background, Kind::Key, "", false, -1},   {H::Element, Kind::NameConfirm, "", false, -1},
        {H::Element, Kind::AddCancel, "", false, -1}};
    const int band = p.x() < 0 ? 9 : int(p.x()) / 100;
    return band < 9 ? strip[band] : GestureTarget();
}

QString describe(const GestureIntent& i) {
    static const char* names[] = {"Type",    "Reorder", "Drag",  "Drop", "Delete",     "Open",
                                  "Confirm", "Cancel",  "Close", "Dot",  "Background", "Shift"};
    QString s = names[i.kind];
    if (i.target.isKey())
        s += ":" + i.target.text;
    if (i.kind == GestureIntent::Open || i.kind == GestureIntent::Confirm || i.kind == GestureIntent::Cancel)
        s += i.field == Kind::NameField ? ":name" : ":add";
    if (i.kind == GestureIntent::DragChanged)
        s += QStringLiteral("@%1").arg(i.location.x());
    if (i.kind == GestureIntent::Dot)
        s += QString::number(i.target.dot);
    return s;
}

QString sep(const QStringList& symbols) {
    return symbols.join(customSymbolSeparator);
}
const QPoint padding(24, 50); // the card's left padding: background

// The floating panel itself, on a window system that writes down what it was asked.
class RecordingWindowSystem : public WindowSystem {
public:
    void setIdentity(QWindow&, const QByteArray&) override {}
    void prepareFloatingShow(QWindow&) override {}
    void setAcceptsFocus(QWindow&, bool accepts) override { acceptsFocus = accepts; }
    bool isCompositing() const override { return false; }
    WindowId activeWindow() const override { return active; }
    void activateWindow(WindowId window) override { activated.append(window); }

    bool acceptsFocus = false;
    WindowId active = 0;
    QList<WindowId> activated;
};

// A card of nothing but background.
class TestContent : public QWidget, public PanelContent {
public:
    QSize sizeHint() const override { return {200, 100}; }
    bool isBackgroundAt(const QPoint&) const override { return true; }
    QPainterPath outline() const override { return {}; }
    void setTranslucent(bool) override {}
};
} // namespace

// What the user does on the keyboard: the gestures recognised, the text fields' sessions, the view
// routing them on a recording panel (driven by synthetic events on a clock moved by hand), the
// edits the gestures make to the sets, and the floating panel's placement and focus (moving it, and what
// the window manager makes of it is end to end).
class TestKeyboardView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Steps: p, m, r, c (press, move, release, context menu) at an x, w a wait in ms.
    void recognition_data() {
        stringRows({"steps", "expected"},
                   {{"a click types on release", "p50 w400 r60", "Type:a"},
                    {"released on another key", "p50 r150", ""},
                    {"pressed elsewhere, released on the key", "p650 r50", ""},
                    {"long press, then a click too", "p50 w500 r50", "Reorder:a Type:a"},
                    {"11 points make a drag, no long press", "p50 m61 w500 m52 r52",
                     "Drag:a@41 Drag:a@32 Drop:a Type:a"},
                    {"a new press forgets the old one", "p50 w300 p150 w499", ""},
                    {"moving off a button drags nothing", "p650 m900 r650", "Background"},
                    {"context menu on a key", "c150", "Delete:b"},
                    {"buttons", "p250 r250 p350 r350 p450 r450 p550 r550 p750 r750 p850 r850",
                     "Open:add Open:name Close Dot1 Confirm:name Cancel:add"}});
    }
    void recognition() {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        ManualViewClock clock;
        QStringList seen;
        GestureRecogniser g(clock, stripAt, [](const QPointF& p) { return p - QPointF(20, 0); });
        g.onIntent = [&seen](const GestureIntent& i) { seen.append(describe(i)); };
        const QHash<QChar, std::function<void(const QPointF&)>> act{
            {'p', [&](const QPointF& at) { g.press(at); }},
            {'m', [&](const QPointF& at) { g.move(at); }},
            {'r', [&](const QPointF& at) { g.release(at); }},
            {'c', [&](const QPointF& at) { g.contextMenu(at, {}); }},
            {'w', [&](const QPointF& at) { clock.advance(qint64(at.x())); }}};
        for (const QString& step : steps.split(' '))
            act[step[0]](QPointF(step.mid(1).toInt(), 30));
        QCOMPARE(seen.join(' '), expected);
    }

    // Under load a click is handled late: the monitor may already report the Shift pressed (or
    // let go) after it. Where clicks carry Shift (X11), their own state counts.
    void shiftIsTheClicksOwn_data() {
        QTest::addColumn<bool>("inClicks");
        QTest::addColumn<bool>("monitorShift"); // what the monitor says when the click is handled
        QTest::addColumn<Qt::KeyboardModifiers>("atPress");
        QTest::addColumn<Qt::KeyboardModifiers>("atRelease");
        QTest::addColumn<QString>("typed");
        const Qt::KeyboardModifiers none, shift = Qt::ShiftModifier;
        QTest::newRow("Shift pressed just after the click") << true << true << none << none << "ß";
        QTest::newRow("Shift let go just after the click") << true << false << shift << shift << "SS";
        QTest::newRow("Shift let go before the release") << true << false << shift << none << "SS";
        QTest::newRow("clicks that do not carry it: the monitor") << false << true << none << none << "SS";
    }
    void shiftIsTheClicksOwn() {
        QFETCH(bool, inClicks);
        QFETCH(bool, monitorShift);
        QFETCH(Qt::KeyboardModifiers, atPress);
        QFETCH(Qt::KeyboardModifiers, atRelease);
        QFETCH(QString, typed);
        KeyboardViewFixture f;
        f.shift.inClicks = inClicks;
        f.addSet("äöüß", {});
        f.state.setShiftPressed(monitorShift);
        f.show();
        const QPoint key = f.at(f.symbols("äöüß"), "ß");
        f.press(key, atPress);
        f.release(key, atRelease);
        QCOMPARE(f.backend.typedText(), typed);
    }

    void longPressDragAndDeleteStoreTheSet_data() {
        stringRows({"from", "onto", "base"}, {{"index 0 over index 3", "0", "3", "12304"},
                                              {"index 3 over index 0", "3", "0", "30124"},
                                              {"over a custom key: nothing", "0", "x", "01234"}});
    }
    void longPressDragAndDeleteStoreTheSet() {
        QFETCH(QString, from);
        QFETCH(QString, onto);
        QFETCH(QString, base);
        KeyboardViewFixture f;
        const SymbolSet set = f.addSet("01234", sep({"x", "y"}), true);
        f.show();
        const KeyboardLayoutInput shown = f.symbols("01234", {"x", "y"});
        const QPoint start = f.at(shown, from), end = f.at(shown, onto, onto == "x");
        f.press(start);
        f.clock.advance(500);
        QCOMPARE(f.panel.log, QStringList{"fixed"}); // a drag on a key moves the key, not the panel
        for (int i = 1; i <= 4; ++i) {
            f.move(start + (end - start) * i / 4);
            f.clock.advance(16);
        }
        f.release(end);
        QCOMPARE(f.sets.find(set.id)->baseCharacters, base);
        QCOMPARE(f.sets.find(set.id)->isSystem, base == set.baseCharacters); // now the user's own

        // Reorder mode stays: keys type nothing, the add key does nothing, until a background click.
        f.clock.advance(1000);
        f.click(f.at(shown, "y", true));
        f.click(f.at(shown, Kind::AddKey));
        QVERIFY(f.fields().isEmpty());
        QVERIFY(!f.view->isBackgroundAt(padding)); // the panel leaves this click to the view
        f.click(padding);
        QCOMPARE(f.panel.log, QStringList({"fixed", "movable"}));
        const QPoint y = f.at(shown, "y", true);
        f.click(y);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, y, f.view->mapToGlobal(y));
        QApplication::sendEvent(f.view.get(), &menu);
        f.view->findChild<QMenu*>()->actions().first()->trigger();
        QCOMPARE(f.sets.find(set.id)->customCharacters, QStringLiteral("x"));
        QCOMPARE(f.backend.typedText(), QStringLiteral("y")); // once: after reorder mode, not from the menu
        f.clock.advance(3000);
        QCOMPARE(f.clock.pendingCount(), 0); // settled: no frame and no step left
    }

    void fieldsLendThePanelTheFocusWhileOpen() {
        KeyboardViewFixture f;
        f.useUnsaved(sep({"ŋ", "ə"}));
        f.show();
        KeyboardLayoutInput shown = f.symbols("", {"ŋ", "ə"});
        shown.showSaveRow = true;
        f.click(f.at(shown, Kind::SaveButton));
        shown.isSavingSet = true;
        const QPoint add = f.at(shown, Kind::AddKey);
        f.click(add);
        QCOMPARE(f.panel.log, QStringList({"allow", "key", "key"}));
        const auto [name, adding] = std::pair(f.fields().value(0), f.fields().value(1));
        f.clock.advance(100);
        QVERIFY(adding->hasFocus());
        // A background click closes only the add field; the other keeps the panel's focus.
        f.click(padding);
        QCOMPARE(f.fields(), QList<QLineEdit*>{name});
        QVERIFY(name->hasFocus());

        f.click(add);
        f.clock.advance(100);
        QTest::keyClicks(f.fields().value(1), " abcdefgh");
        f.clock.advance(0);
        // The field takes a name's words; what it adds is cut to seven characters.
        QCOMPARE(f.fields().value(1)->text(), QStringLiteral(" abcdefgh"));
        QTest::keyClick(f.fields().value(1), Qt::Key_Return);
        f.clock.advance(0);
        name->setText("   ");
        QTest::keyClick(name, Qt::Key_Return);
        f.clock.advance(0);
        QCOMPARE(f.fields(), QList<QLineEdit*>{name}); // a blank name keeps the field open

        name->setText("  Greek  ");
        QTest::keyClick(name, Qt::Key_Return);
        const SymbolSet greek = f.sets.sets().last();
        QVERIFY(greek.name == "Greek" && !greek.isMain && !greek.isAdditional && !greek.isSystem);
        QCOMPARE(greek.customCharacters, sep({"ŋ", "ə", "abcdefg"}));
        QCOMPARE(f.state.activeSetId(), greek.idText());
        QCOMPARE(f.state.temporaryCustomCharacters(), QString());
        f.clock.advance(0);
        QCOMPARE(f.panel.log, QStringList({"allow", "key", "key", "key", "deny"}));
    }

    void dotsSwitchTheSet() {
        KeyboardViewFixture f;
        f.state.setActiveSetId(UnsavedSet::idText);
        f.show();
        KeyboardLayoutInput shown = f.symbols("");
        shown.dotCount = 2;
        const QList<QRectF> dots = KeyboardLayout::compute(shown).dots();
        f.click(dots[1].center().toPoint()); // the unsaved set's dot does nothing
        QCOMPARE(f.state.activeSetId(), UnsavedSet::idText);
        f.click(dots[0].center().toPoint());
        QCOMPARE(f.state.activeSetId(), f.sets.mainSet()->idText());
    }

    // What the gestures change in a set: a preset, or the unsaved set. Edits: delete:text,
    // append:typed, move:from>to (custom keys); after: base|custom|isSystem, or the unsaved set's
    // characters; · stands for the separator.
    void edits_data() {
        stringRows({"base", "custom", "edit", "after"},
                   {{"delete a-umlaut between two a", "aäa", "", "delete:ä", "aa||0"},
                    {"delete what both lists hold: the custom one", "ab", "b·c", "delete:b", "ab|c|1"},
                    // A lone symbol of several characters keeps its separator, or it would fall apart.
                    {"delete, leaving one long symbol", "", "xyz·q", "delete:q", "|xyz·|1"},
                    {"append: a pasted separator does not split", "", "ab", "append:y·z\n", "|a·b·yz|0"},
                    {"append blanks and controls: nothing", "", "ab", "append: \u0007 ", "|ab|1"},
                    {"moving custom keys keeps a preset", "", "x·yz·w", "move:2>0", "|w·x·yz|1"},
                    {"the unsaved set: separated, stored nowhere", "unsaved", "wxyz", "delete:w", "x·y·z"}});
    }
    void edits() {
        QFETCH(QString, base);
        QFETCH(QString, custom);
        QFETCH(QString, edit);
        QFETCH(QString, after);
        for (QString* text : {&custom, &edit, &after})
            text->replace(u'·', customSymbolSeparator);
        KeyboardViewFixture f;
        const bool unsaved = base == "unsaved";
        const SymbolSet set = unsaved ? SymbolSet() : f.addSet(base, custom, true);
        if (unsaved)
            f.useUnsaved(custom);
        const auto storedBefore = f.store.data(SettingKey::SavedSymbolSets);
        SymbolEditor editor(f.state, f.sets);
        const QString arg = edit.section(':', 1);
        if (edit.startsWith("delete"))
            editor.deleteSymbol(arg);
        else if (edit.startsWith("append"))
            editor.appendSymbol(SymbolEditor::cleanedSymbol(arg));
        else
            editor.moveSymbol(set.customSymbols(), arg.section('>', 0, 0).toInt(),
                              arg.section('>', 1).toInt(), true);
        if (unsaved) {
            QCOMPARE(f.state.temporaryCustomCharacters(), after);
            QVERIFY(f.store.data(SettingKey::SavedSymbolSets) == storedBefore);
            return;
        }
        const SymbolSet s = *f.sets.find(set.id);
        QCOMPARE(QStringList({s.baseCharacters, s.customCharacters, QString::number(s.isSystem)}).join('|'),
                 after);
    }
    void placementOnScreens_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("expected");
        // Two screens side by side: 0..1919 and 1920..3199 (the second 1280 × 1024).
        QTest::newRow("mostly off, a corner still on")
            << QRect(1880, 1040, 226, 90) << QRect(1880, 1040, 226, 90);
        QTest::newRow("only a sliver on") << QRect(1900, 1050, 226, 90) << QRect(1920, 934, 226, 90);
        QTest::newRow("where a third screen was") << QRect(3500, 300, 226, 90) << QRect(2974, 300, 226, 90);
    }
    void placementOnScreens() {
        QFETCH(QRect, frame);
        QFETCH(QRect, expected);
        const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        QCOMPARE(FloatingPanel::placedOnScreens(frame, screens), expected);
    }

    void focusIsGivenBackOnlyWhenThePanelHasIt() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("runeboard.conf")));
        RecordingWindowSystem windows;
        FloatingPanel panel(store, windows);
        panel.setContent(new TestContent);
        panel.showPanel();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        windows.active = 4242; // the editor the user types into
        panel.setAllowFocus(true);
        panel.activate();
        QTRY_VERIFY(panel.isActiveWindow());
        windows.active = panel.winId();
        panel.setAllowFocus(false);
        QVERIFY(!windows.acceptsFocus &&
                panel.windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QCOMPARE(windows.activated, QList<WindowSystem::WindowId>{4242});
        // Giving up a focus the panel does not have moves nobody's focus.
        panel.setAllowFocus(true);
        windows.active = 77;
        panel.setAllowFocus(false);
        QCOMPARE(windows.activated.size(), 1);
    }
};

QTEST_MAIN(TestKeyboardView)
#include "tst_keyboardview.moc"
