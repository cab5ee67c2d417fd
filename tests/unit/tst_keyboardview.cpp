#include "KeyboardViewFixture.h"

#include <QApplication>

using Kind = KeyboardElementKind;

class TestKeyboardView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void clickTypesTheKey_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("custom");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("isCustom");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QString>("typed");
        const auto row = [](const char* name, const char* base, const char* custom, const char* key,
                            bool isCustom, bool shift, const char* typed) {
            QTest::newRow(name) << QString(base) << QString(custom) << QString(key) << isCustom << shift
                                << QString(typed);
        };
        row("base", "äöüß", "", "ü", false, false, "ü");
        row("sharp s with shift", "äöüß", "", "ß", false, true, "SS");
        row("e acute with shift", "é", "", "é", false, true, "É");
        row("custom, several characters", "a", "x\u001Fabc", "abc", true, false, "abc");
        row("custom with shift", "a", "x\u001Fabc", "abc", true, true, "ABC");
        row("custom, not separated", "", "ŋə", "ə", true, true, "Ə");
    }
    void clickTypesTheKey() {
        QFETCH(QString, base);
        QFETCH(QString, custom);
        QFETCH(QString, key);
        QFETCH(bool, isCustom);
        QFETCH(bool, shift);
        QFETCH(QString, typed);
        KeyboardViewFixture f;
        f.addSet(base, custom);
        f.state.setShiftPressed(shift);
        f.showView();
        const QPoint centre = f.centreOf(key, isCustom);
        QTest::mousePress(f.view.get(), Qt::LeftButton, {}, centre);
        QCOMPARE(f.backend.typedText(), QString());
        QTest::mouseRelease(f.view.get(), Qt::LeftButton, {}, centre);
        QCOMPARE(f.backend.typedText(), typed);
        QCOMPARE(f.backend.openCount, 1);
    }

    void onlyAReleaseInsideThePressedKeyTypes() {
        KeyboardViewFixture f;
        f.activate("preset_german");
        f.showView();
        const QPoint a = f.centreOf("ä"), o = f.centreOf("ö");
        QTest::mousePress(f.view.get(), Qt::LeftButton, {}, a);
        QTest::mouseRelease(f.view.get(), Qt::LeftButton, {}, QPoint(a.x(), 5));
        QTest::mousePress(f.view.get(), Qt::LeftButton, {}, a);
        QTest::mouseRelease(f.view.get(), Qt::LeftButton, {}, o);
        QTest::mouseClick(f.view.get(), Qt::RightButton, {}, a);
        QCOMPARE(f.backend.typedText(), QString());
        // The press may wander inside the key.
        QTest::mousePress(f.view.get(), Qt::LeftButton, {}, a);
        QTest::mouseRelease(f.view.get(), Qt::LeftButton, {}, a + QPoint(12, -12));
        QCOMPARE(f.backend.typedText(), QStringLiteral("ä"));
    }

    void labelsFollowShift() {
        KeyboardViewFixture f;
        f.activate("preset_german");
        auto labels = [&f] {
            QStringList l;
            for (const ScenePiece& p : f.view->scene().pieces)
                if (p.content == ScenePiece::Content::Label)
                    l.append(p.text);
            return l;
        };
        QCOMPARE(labels(), QStringList({"ä", "ö", "ü", "ß"}));
        f.shift.setShift(true); // arrives through the monitor, queued
        QTRY_COMPARE(labels(), QStringList({"Ä", "Ö", "Ü", "SS"}));
        // The key keeps its width: the rule counts the symbol, not its capital form.
        QCOMPARE(f.view->layout().key("ß", false)->frame.width(), 30.0);
    }

    void saveRowAndDots_data() {
        QTest::addColumn<int>("additional");
        QTest::addColumn<QString>("active"); // "main", "second" or a literal identifier
        QTest::addColumn<QString>("temporary");
        QTest::addColumn<int>("dots");
        QTest::addColumn<int>("activeDot");
        QTest::addColumn<bool>("saveRow");
        const auto row = [](const char* name, int additional, const QString& active, const char* temporary,
                            int dots, int activeDot, bool saveRow) {
            QTest::newRow(name) << additional << active << QString(temporary) << dots << activeDot << saveRow;
        };
        row("one set and the unsaved set", 0, customPaletteIDText, "ab", 2, 1, true);
        row("unsaved via customEmpty, no characters", 0, "customEmpty", "", 2, 1, false);
        row("one set, active", 0, "main", "ab", 0, -1, false);
        row("three sets, second active", 2, "second", "", 3, 1, false);
        row("three sets and the unsaved set", 2, customPaletteIDText, "x", 4, 3, true);
        row("stale identifier: main shown, no dot active", 1,
            QUuid::createUuid().toString(QUuid::WithoutBraces), "ab", 2, -1, false);
    }
    void saveRowAndDots() {
        QFETCH(int, additional);
        QFETCH(QString, active);
        QFETCH(QString, temporary);
        QFETCH(int, dots);
        QFETCH(int, activeDot);
        QFETCH(bool, saveRow);
        KeyboardViewFixture f;
        const QList<SymbolPalette> all = f.palettes.palettes();
        for (int i = 0; i < additional; ++i)
            f.palettes.toggleAdditional(all[i + 3].id);
        const QList<SymbolPalette> quick = f.palettes.quickAccessPalettes();
        QCOMPARE(quick.size(), 1 + additional);
        f.state.setTemporaryCustomCharacters(temporary);
        f.state.setActivePaletteID(active == "main"     ? quick[0].idText()
                                   : active == "second" ? quick[1].idText()
                                                        : active);

        const KeyboardScene scene = f.view->scene();
        QCOMPARE(scene.dots.size(), dots);
        QCOMPARE(scene.activeDots.indexOf(true), activeDot);
        QCOMPARE(scene.activeDots.count(true), activeDot < 0 ? 0 : 1);
        QCOMPARE(f.view->layout().element(Kind::SaveButton) != nullptr, saveRow);
    }

    void dotsSwitchTheSet() {
        KeyboardViewFixture f;
        const SymbolPalette main = *f.palettes.mainPalette();
        f.state.setActivePaletteID(customPaletteIDText);
        f.showView();
        QCOMPARE(f.view->layout().dots().size(), 2);
        const QList<QRectF> dots = f.view->layout().dots();
        f.click(dots[1].center().toPoint()); // the unsaved set's dot does nothing
        QCOMPARE(f.state.activePaletteID(), customPaletteIDText);
        f.click(dots[0].center().toPoint());
        QCOMPARE(f.state.activePaletteID(), main.idText());
        // The keyboard shows that set at once and the dots go: one quick-access set only.
        QCOMPARE(f.view->layout().key(main.baseSymbols().first(), false) != nullptr, true);
        QVERIFY(f.view->layout().dots().isEmpty());
        QCOMPARE(f.backend.typedText(), QString());
    }

    void closeButtonHidesThePanel() {
        KeyboardViewFixture f;
        QTRY_VERIFY(f.state.isKeyboardVisible()); // the launch step shows it
        QVERIFY(f.panel);
        f.showView();
        f.click(f.view->layout().closeButton().center().toPoint());
        QVERIFY(!f.state.isKeyboardVisible());
        QCOMPARE(f.panel->hidden, 1);
        QCOMPARE(f.backend.typedText(), QString());
    }

    void followsEveryChangeAtOnce() {
        KeyboardViewFixture f;
        f.addSet("ab", "");
        QCOMPARE(f.view->layout().elements().size(), 3);
        f.state.setKeyboardSize(KeyboardSize::Full);
        QCOMPARE(f.view->layout().key("a", false)->frame.size(), QSizeF(46, 46));
        QCOMPARE(f.view->sizeHint(), QSize(3 * 46 + 2 * 6 + 80, 46 + 80)); // margin and padding 20

        SymbolPalette p = f.state.activePalette();
        p.customCharacters = "xy";
        f.palettes.updatePalette(p);
        QVERIFY(f.view->layout().key("y", true));
        const qreal separateHeight = f.view->layout().card().height();
        f.state.setSeparateCustomSymbols(false);
        QVERIFY(f.view->layout().card().height() < separateHeight);

        f.useUnsaved("q");
        auto saveTitle = [&f] {
            for (const ScenePiece& piece : f.view->scene().pieces)
                if (piece.content == ScenePiece::Content::Title)
                    return piece.text;
            return QString();
        };
        QCOMPARE(saveTitle(), QStringLiteral("Save"));
        f.localization.setAppLanguage("ru");
        f.localization.updateLanguage();
        QCOMPARE(saveTitle(), QStringLiteral("Сохранить"));
    }

    void clicksNeverTakeTheFocus() {
        KeyboardViewFixture f;
        QTRY_VERIFY(f.panel);
        f.activate("preset_german");
        f.showView();
        QCOMPARE(f.view->focusPolicy(), Qt::NoFocus);
        for (const char* k : {"ä", "ö", "ü", "ß"})
            f.click(f.centreOf(QString::fromUtf8(k)));
        f.click(QPoint(25, 45)); // the card's padding
        QCOMPARE(f.backend.typedText(), QStringLiteral("äöüß"));
        QVERIFY(!f.panel->allowFocus());
        QVERIFY(f.panel->focusHistory.isEmpty());
        QCOMPARE(QApplication::focusWidget(), nullptr);
    }

    void backgroundForThePanel_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<bool>("background");
        QTest::newRow("between keys") << QPoint(62, 45) << true;
        QTest::newRow("margin, outside the card") << QPoint(5, 5) << true;
        QTest::newRow("key") << QPoint(45, 45) << false;
        QTest::newRow("close button") << QPoint(199, 27) << false;
    }
    void backgroundForThePanel() {
        QFETCH(QPoint, point);
        QFETCH(bool, background);
        KeyboardViewFixture f;
        f.activate("preset_german");
        QCOMPARE(f.view->isBackgroundAt(point), background);
    }

    void outlineHoldsTheOverlays() {
        KeyboardViewFixture f;
        f.state.setActivePaletteID(customPaletteIDText);
        const QPainterPath outline = f.view->outline();
        QVERIFY(outline.contains(f.view->layout().closeButton().center() + QPointF(8, 0))); // beyond the card
        QVERIFY(outline.contains(f.view->layout().dots()[0].bottomLeft() + QPointF(5.5, -1)));
        QVERIFY(!outline.contains(QPointF(5, 5)));
    }
};

QTEST_MAIN(TestKeyboardView)
#include "tst_keyboardview.moc"
