#include "KeyboardViewFixture.h"

#include "keyboard/view/KeyboardSceneBuilder.h"

#include <QMap>

Q_DECLARE_METATYPE(ViewAnimation)

using Kind = KeyboardElementKind;
using Content = ScenePiece::Content;

namespace {

// Flags: full, flat (custom keys not separated), add, row (save row), saving, wide (labels 52
// wide), shift, reorder, drag (of b), dots=pattern of active dots.
KeyboardSceneBuilder::Input input(const QString& base, const QStringList& custom, const QString& flags) {
    KeyboardSceneBuilder::Input in;
    in.size = flags.contains("full") ? KeyboardSize::Full : KeyboardSize::Compact;
    in.baseSymbols = SymbolPalette::graphemes(base);
    in.customSymbols = custom;
    in.separateCustomSymbols = !flags.contains("flat");
    in.saveTitle = QStringLiteral("Save");
    in.shift = flags.contains("shift");
    in.isAddingMode = flags.contains("add");
    in.isSavingPalette = flags.contains("saving");
    in.showSaveRow = flags.contains("row");
    in.isReordering = flags.contains("reorder");
    if (flags.contains("drag"))
        in.draggedCharacter = QStringLiteral("b");
    for (QChar c : flags.section("dots=", 1).section(' ', 0, 0))
        in.activeDots.append(c == u'1');
    return in;
}

KeyboardSceneBuilder built(const QString& base, const QStringList& custom, const QString& flags = {}) {
    KeyboardSceneBuilder b(flags.contains("wide") ? [](const QString&, qreal, int) { return 52.0; }
                                                  : KeyboardSceneBuilder::Measure());
    b.update(input(base, custom, flags), std::nullopt, 0);
    return b;
}

// Each row of elements by its top edge: a letter per element (k key, c custom key, + add key,
// s save button, _ field, v confirm, x cancel) and the row's left and right edges; then the card.
QString rows(const KeyboardLayout& layout) {
    QMap<qreal, QString> letters;
    QMap<qreal, QPair<qreal, qreal>> edges;
    for (const KeyboardElement& e : layout.elements()) {
        const qreal y = e.frame.top();
        letters[y] += QString("kc+_vxs_vx").at(e.kind == Kind::Key ? int(e.isCustom) : int(e.kind) + 1);
        edges[y] = {letters[y].size() > 1 ? edges[y].first : e.frame.left(), e.frame.right()};
    }
    QStringList out;
    for (auto it = letters.begin(); it != letters.end(); ++it)
        out << QStringLiteral("%1 %2-%3").arg(*it).arg(edges[it.key()].first).arg(edges[it.key()].second);
    return out.join(" / ") +
           QStringLiteral(" | %1x%2").arg(layout.card().width()).arg(layout.card().height());
}

// A piece as text: its label or symbol, ' custom, ^ blue, ~ glass face, opacity and scale where
// not 1; the lifted key as ↑ and its piece; the dots as ● and ○.
QString describe(const KeyboardScene& scene) {
    auto piece = [](const ScenePiece& p) {
        const QHash<Content, QString> symbols{{Content::Plus, "+"},
                                              {Content::Checkmark, "✓"},
                                              {Content::Cross, "×"},
                                              {Content::None, "_"},
                                              {Content::Title, "[" + p.text + "]"}};
        QString s = symbols.value(p.content, p.text);
        s += p.face.isGlass ? "~" : p.face.isBlue ? "^" : p.face.isCustom ? "'" : "";
        if (p.opacity != 1)
            s += QStringLiteral("/o%1").arg(p.opacity);
        if (qAbs(p.scale - 1) > 1e-3)
            s += QStringLiteral("/s%1").arg(p.scale, 0, 'f', 2);
        return s;
    };
    QStringList out;
    for (const ScenePiece& p : scene.pieces)
        out.append(piece(p));
    if (scene.preview)
        out.append("↑" + piece(*scene.preview));
    QString dots;
    for (bool active : scene.activeDots)
        dots += active ? "●" : "○";
    if (!dots.isEmpty())
        out.append(dots);
    return out.join(' ');
}

} // namespace

// Where everything of the keyboard lies and what is drawn there, over time.
class TestKeyboardLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layout_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QStringList>("custom");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("rows");
        const QString k10 = "kkkkkkkkkk";
        const QString abc23 = "abcdefghijklmnopqrstuvw";
        QTest::newRow("nothing: the add key alone") << "" << QStringList{} << ""
                                                    << "+ 0-30 | 50x50";
        QTest::newRow("nothing, adding: the field alone") << "" << QStringList{} << "add"
                                                          << "_vx 0-128 | 148x50";
        QTest::newRow("23 keys: rows of ten, the last centred")
            << abc23 << QStringList{} << "" << k10 + " 0-336 / " + k10 + " 0-336 / kkk+ 102-234 | 356x118";
        QTest::newRow("23 keys, full size") << abc23 << QStringList{} << "full"
                                            << k10 + " 0-514 / " + k10 + " 0-514 / kkk+ 156-358 | 554x190";
        QTest::newRow("one flow: base, custom, add") << "a" << QStringList{"x", "y"} << "flat"
                                                     << "kcc+ 0-132 | 152x50";
        QTest::newRow("separate, no custom: add in the base block") << "ab" << QStringList{} << ""
                                                                    << "kk+ 0-98 | 118x50";
        QTest::newRow("separate, adding: a custom block for the field") << "ab" << QStringList{} << "add"
                                                                        << "kk 32-96 / _vx 0-128 | 148x84";
        QTest::newRow("separate, both blocks centred, add with the custom keys")
            << "abc" << QStringList{"x"} << ""
            << "kkk 0-98 / c+ 17-81 | 118x84";
        QTest::newRow("several characters widen a key") << "" << QStringList{"abc", "x"} << ""
                                                        << "cc+ 0-107.3 | 127.3x50";
        QTest::newRow("a wide label widens its key") << "\uFDFD" << QStringList{} << "wide"
                                                     << "k+ 0-86 | 106x50";
        QTest::newRow("save row, 16 under the keys") << "" << QStringList{"a", "b"} << "row"
                                                     << "cc+ 0-98 / s 37-61 | 118x96";
        QTest::newRow("name field: wider than the keys") << "" << QStringList{"a", "b"} << "row saving"
                                                         << "cc+ 30-128 / _vx 0-158 | 178x96";
    }
    void layout() {
        QFETCH(QString, base);
        QFETCH(QStringList, custom);
        QFETCH(QString, flags);
        QFETCH(QString, rows);
        const KeyboardLayout layout = built(base, custom, flags).layout();
        QCOMPARE(::rows(layout), rows);
        QCOMPARE(layout.size(), layout.card().size() + QSizeF(40, 40)); // the clear margin
    }

    void keyWidthAndLabel_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("full");
        QTest::addColumn<qreal>("width");
        QTest::addColumn<qreal>("label");
        QTest::newRow("one letter") << "a" << false << 30.0 << 14.0;
        QTest::newRow("ab, just wider") << "ab" << false << 30.2 << 10.5;
        QTest::newRow("abc full") << "abc" << true << 54.9 << 16.5;
        QTest::newRow("e and combining acute is one character") << "e\u0301" << false << 30.0 << 14.0;
        QTest::newRow("a flag is one character") << "\U0001F1E9\U0001F1EA" << true << 46.0 << 22.0;
    }
    void keyWidthAndLabel() {
        QFETCH(QString, text);
        QFETCH(bool, full);
        QFETCH(qreal, width);
        QFETCH(qreal, label);
        const KeyboardMetrics m = KeyboardMetrics::forSize(full ? KeyboardSize::Full : KeyboardSize::Compact);
        QCOMPARE(KeyboardLayout::keyWidth(text, m), width);
        QCOMPARE(KeyboardLayout::labelFontSize(text, m), label);
    }

    void hitTesting_data() {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<bool>("closeShown");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("index");
        // German compact: card (20, 20, 186, 50), keys from (30, 30), 30 wide, 4 apart; two dots.
        using H = KeyboardHit;
        QTest::newRow("first key") << QPointF(45, 45) << true << int(H::Element) << 0;
        QTest::newRow("fourth key's edge") << QPointF(30 + 3 * 34 + 29.5, 59) << true << int(H::Element) << 3;
        QTest::newRow("gap between keys") << QPointF(62, 45) << true << int(H::Background) << -1;
        QTest::newRow("close button, outside the card")
            << QPointF(207.5, 27) << true << int(H::CloseButton) << 0;
        QTest::newRow("close button hidden") << QPointF(196, 27) << false << int(H::Background) << -1;
        QTest::newRow("corner of the close square") << QPointF(189.5, 17.5) << true << int(H::Nothing) << -1;
        QTest::newRow("rounded card corner") << QPointF(21, 21) << true << int(H::Nothing) << -1;
        QTest::newRow("second dot, below the card") << QPointF(124.5, 74) << true << int(H::Dot) << 1;
    }
    void hitTesting() {
        QFETCH(QPointF, point);
        QFETCH(bool, closeShown);
        QFETCH(int, kind);
        QFETCH(int, index);
        const KeyboardHit hit = built("äöüß", {}, "dots=10").layout().hitTest(point, closeShown);
        QCOMPARE(int(hit.kind), kind);
        QCOMPARE(hit.index, index);
    }

    void overlaysAndOutline() {
        const KeyboardSceneBuilder b = built("äöüß", {}, "dots=100");
        const QRectF card = b.layout().card();
        QCOMPARE(card, QRectF(20, 20, 186, 50));
        // The close button's corner sits 3 right of and 3 above the card's; the dots straddle its lower edge.
        QCOMPARE(b.layout().closeButton(), QRectF(189, 17, 20, 20));
        QCOMPARE(b.layout().dots()[0],
                 QRectF(card.center().x() - 57 / 2.0, card.bottom() + 6.5 - 11, 11, 11));
        QCOMPARE(b.layout().dots()[2].right(), card.center().x() + 57 / 2.0);
        // Without a compositor the window is clipped to this: the overlays must be in it.
        QVERIFY(b.outline().contains(b.layout().closeButton().center() + QPointF(8, 0)));
        QVERIFY(b.outline().contains(b.layout().dots()[0].bottomLeft() + QPointF(5.5, -1)));
        QVERIFY(!b.outline().contains(QPointF(21, 21)));
    }

    void facePriority() {
        // Glass before red before blue before custom.
        using F = BevelBackground::Face;
        QCOMPARE(BevelBackground{}.face(), F::Default);
        QCOMPARE((BevelBackground{10, 2, true, true, true, true}).face(), F::Glass);
        QCOMPARE((BevelBackground{10, 2, true, true, false, true}).face(), F::Red);
        QCOMPARE((BevelBackground{10, 2, true, false, false, true}).face(), F::Blue);
        QCOMPARE((BevelBackground{10, 2, false, false, false, true}).face(), F::Custom);
    }

    void pieces_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QStringList>("custom");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("scene");
        QTest::newRow("faces by kind") << "äß" << QStringList{"x"} << ""
                                       << "ä ß x' +^";
        QTest::newRow("Shift: full case mapping") << "äß" << QStringList{} << "shift"
                                                  << "Ä SS +^";
        QTest::newRow("save row") << "" << QStringList{"x"} << "row"
                                  << "x' +^ [Save]^";
        QTest::newRow("add field") << "a" << QStringList{} << "add"
                                   << "a _' ✓^ ×~";
        QTest::newRow("name field") << "" << QStringList{"x"} << "row saving"
                                    << "x' +^ _' ✓^ ×~";
        // Halfway through a breath: keys at 92 %, the add key dimmed, the dragged key only lifted.
        QTest::newRow("reorder, b dragged") << "ab" << QStringList{} << "reorder drag shift"
                                            << "A/s0.92 B/o0 +^/o0.3 ↑B/s1.05";
        QTest::newRow("dots") << "a" << QStringList{} << "dots=010"
                              << "a +^ ○●○";
        QTest::newRow("a single dot is not shown") << "a" << QStringList{} << "dots=1"
                                                   << "a +^";
    }
    void pieces() {
        QFETCH(QString, base);
        QFETCH(QStringList, custom);
        QFETCH(QString, flags);
        QFETCH(QString, scene);
        QCOMPARE(describe(built(base, custom, flags).scene(300)), scene);
    }

    void reorderModeBreathesInStepAndEndsSettled() {
        KeyboardSceneBuilder b = built("ab", {});
        b.update(input("ab", {}, "reorder"), ViewAnimation::standard(), 1000);
        QVERIFY(b.scene(1000).closeOpacity > 0); // fading out
        QCOMPARE(b.scene(1400).closeOpacity, 0.0);
        for (qint64 t : {1300, 2500}) // turning points: 0.3 s and whole cycles in
            QVERIFY(qAbs(b.scene(t).pieces[0].scale - 0.92) < 0.01 && b.scene(t).pieces[1].scale < 0.93);
        QVERIFY(qAbs(b.scene(2800).pieces[0].scale - 1) < 0.01);
        QVERIFY(b.isAnimating(100'000));
        b.update(input("ab", {}, ""), ViewAnimation::standard(), 3000);
        QVERIFY(!b.isAnimating(3400));
        QCOMPARE(describe(b.scene(3400)), "a b +^");
        QCOMPARE(b.scene(3400).closeOpacity, 1.0);
    }

    void fieldsSlideInAndTheAddKeyScalesOut() {
        KeyboardSceneBuilder b = built("ab", {});
        QVERIFY(b.fieldFrame(Kind::AddField, 0).isEmpty());
        b.update(input("ab", {}, "add"), ViewAnimation::panelSpring(), 0);
        const ScenePiece confirm = b.scene(16).pieces[3], plus = b.scene(16).pieces.last();
        QVERIFY(confirm.content == Content::Checkmark && confirm.offset.x() > 0 && confirm.opacity < 1);
        QVERIFY(plus.content == Content::Plus && plus.scale < 1);
        b.dropDeparted(2000);
        QVERIFY(!b.isAnimating(2000));
        QCOMPARE(describe(b.scene(2000)), "a b _' ✓^ ×~");
        QCOMPARE(b.fieldFrame(Kind::AddField, 2000),
                 b.layout().toView(b.layout().element(Kind::AddField)->frame));
    }

    void theLiftedKeyFollowsThePointerAndSettlesOntoItsSlot() {
        KeyboardSceneBuilder b = built("ab", {}, "reorder drag");
        b.movePreview(QPointF(50, 20));
        QCOMPARE(b.scene(0).preview->rect.center(), b.layout().toView(QRectF(50, 20, 0, 0)).topLeft());
        QCOMPARE(b.scene(0).preview->extraShadow, DropShadow::dragPreview());
        QVERIFY(b.settlePreview("b", false, 0));
        const QPointF slot = b.layout().toView(b.layout().key("b", false)->frame).center();
        QVERIFY(b.scene(100).preview->rect.center() != slot);
        QVERIFY((b.scene(250).preview->rect.center() - slot).manhattanLength() < 0.5);
    }

    // What the managers say: a dot per quick-access set and one for the unsaved set while it is shown.
    void readFromTheManagers_data() {
        QTest::addColumn<int>("additional");
        QTest::addColumn<QString>("active"); // "second" or an identifier
        QTest::addColumn<QString>("dots");
        QTest::addColumn<bool>("saveRow");
        QTest::newRow("one set and the unsaved set") << 0 << customPaletteIDText << "01" << true;
        QTest::newRow("unsaved via customEmpty") << 0 << "customEmpty"
                                                 << "01" << true;
        QTest::newRow("three sets, second active") << 2 << "second"
                                                   << "010" << false;
        QTest::newRow("stale identifier: none active")
            << 1 << QUuid::createUuid().toString() << "00" << false;
    }
    void readFromTheManagers() {
        QFETCH(int, additional);
        QFETCH(QString, active);
        QFETCH(QString, dots);
        QFETCH(bool, saveRow);
        KeyboardViewFixture f;
        for (int i = 0; i < additional; ++i)
            f.palettes.toggleAdditional(f.palettes.palettes()[i + 3].id);
        const QList<SymbolPalette> quick = f.palettes.quickAccessPalettes();
        f.state.setTemporaryCustomCharacters("ab");
        f.state.setActivePaletteID(active == "second" ? quick[1].idText() : active);
        const KeyboardSceneBuilder::Input in =
            KeyboardSceneBuilder::read(f.state, f.palettes, f.localization);
        QString got;
        for (bool on : in.activeDots)
            got += on ? "1" : "0";
        QCOMPARE(got, dots);
        QCOMPARE(in.dotSetIDs.size(), quick.size());
        QCOMPARE(in.showSaveRow, saveRow);
    }

    void springsSettleOnTheirTarget_data() {
        QTest::addColumn<ViewAnimation>("spring");
        QTest::addColumn<bool>("overshoots");
        QTest::newRow("panel spring") << ViewAnimation::panelSpring() << false;
        QTest::newRow("move spring") << ViewAnimation::moveSpring() << true;
        QTest::newRow("settle spring") << ViewAnimation::settleSpring() << true;
    }
    void springsSettleOnTheirTarget() {
        QFETCH(ViewAnimation, spring);
        QFETCH(bool, overshoots);
        AnimatedValue v(0, 0.05);
        v.set(100, spring, 0);
        double peak = 0;
        for (qint64 t = 0; t <= 1200; t += 4)
            peak = std::max(peak, v.value(t));
        QCOMPARE(peak > 100.05, overshoots);
        QVERIFY(v.value(qint64(spring.response * 200)) > 20); // quick off the mark
        QVERIFY(!v.isMoving(1200));
        QCOMPARE(v.value(1200), 100.0);
        // Retargeted mid-flight it keeps its value and carries on for a moment.
        const double at = v.value(100);
        v.set(-50, spring, 100);
        QCOMPARE(v.value(100), at);
        QVERIFY(v.value(104) > at);
    }

    void easeAndPulse() {
        AnimatedValue v(0, 0.001);
        v.set(1, ViewAnimation::standard(), 1000);
        QVERIFY(v.value(1050) < 0.1 && qAbs(v.value(1175) - 0.5) < 0.01);
        QVERIFY(v.isMoving(1349) && !v.isMoving(1350));
        AnimatedValue p(1, 0.001);
        p.pulse(0.92, 100);
        QVERIFY(qAbs(p.value(100 + 600 * 50 + 300) - 0.92) < 1e-6 && qAbs(p.value(700) - 1) < 1e-6);
        p.set(1, std::nullopt, 800);
        QVERIFY(!p.isMoving(800));
    }
};

QTEST_MAIN(TestKeyboardLayout)
#include "tst_keyboardlayout.moc"
