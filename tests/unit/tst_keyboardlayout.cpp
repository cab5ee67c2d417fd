#include "KeyboardViewFixture.h"

#include "keyboard/view/KeyboardSceneBuilder.h"

#include <QDir>
#include <QImage>
#include <QMap>

Q_DECLARE_METATYPE(KeyboardHit)

using Content = ScenePiece::Content;

namespace {

// Flags: full, flat (custom keys not separated), add, row (save row), saving, wide (labels 52
// wide), shift, reorder, drag (of b), dots=pattern of active dots, latch and lock (the own Shift key).
// Base symbols one per character, custom ones apart by blanks.
KeyboardSceneBuilder::Input input(const QString& base, const QString& custom, const QString& flags) {
    KeyboardSceneBuilder::Input in;
    in.size = flags.contains("full") ? KeyboardSize::Full : KeyboardSize::Compact;
    in.baseSymbols = SymbolSet::graphemes(base);
    in.customSymbols = custom.split(' ', Qt::SkipEmptyParts);
    in.separateCustomSymbols = !flags.contains("flat");
    in.saveTitle = QStringLiteral("Save");
    in.isAddingMode = flags.contains("add");
    in.isSavingSet = flags.contains("saving");
    in.showSaveRow = flags.contains("row");
    in.isReordering = flags.contains("reorder");
    in.shiftKey = flags.contains("latch") || flags.contains("lock");
    in.shiftLatch = flags.contains("lock") ? ShiftLatch::Locked : ShiftLatch::Latched;
    in.shift = flags.contains("shift") || in.shiftKey;
    if (flags.contains("drag"))
        in.draggedCharacter = QStringLiteral("b");
    for (QChar c : flags.section("dots=", 1).section(' ', 0, 0))
        in.activeDots.append(c == u'1');
    return in;
}

KeyboardSceneBuilder built(const QString& base, const QString& custom = {}, const QString& flags = {}) {
    KeyboardSceneBuilder b(flags.contains("wide") ? [](const QString&, qreal, int) { return 52.0; }
                                                  : KeyboardSceneBuilder::Measure());
    b.update(input(base, custom, flags), std::nullopt, 0);
    return b;
}

// The scene as text, row by row: each piece as its label or symbol, ' custom, ^ blue, ~ glass
// face, opacity and scale where not 1, then the row's left and right edge ("keyboardGrid" space);
// then the card's size, the lifted key after ↑, and the dots (● active, ○ not).
QString describe(const KeyboardScene& scene) {
    auto piece = [](const ScenePiece& p) {
        const QHash<Content, QString> symbols{{Content::Plus, "+"},
                                              {Content::Checkmark, "✓"},
                                              {Content::Cross, "×"},
                                              {Content::None, "_"},
                                              {Content::Shift, "⇧"},
                                              {Content::ShiftLock, "⇪"},
                                              {Content::Title, "[" + p.text + "]"}};
        QString s = symbols.value(p.content, p.text);
        s += p.face.isGlass ? "~" : p.face.isBlue ? "^" : p.face.isCustom ? "'" : "";
        s += p.opacity != 1 ? QStringLiteral("/o%1").arg(p.opacity) : QString();
        s += qAbs(p.scale - 1) > 1e-3 ? QStringLiteral("/s%1").arg(p.scale, 0, 'f', 2) : QString();
        return s;
    };
    const QPointF grid = scene.card.topLeft() + QPointF(1, 1) * scene.metrics.innerPadding;
    QMap<qreal, QStringList> rows;
    QMap<qreal, QPair<qreal, qreal>> edges;
    for (const ScenePiece& p : scene.pieces) {
        const QRectF r = p.rect.translated(-grid);
        edges[r.top()] = {rows[r.top()].isEmpty() ? r.left() : edges[r.top()].first, r.right()};
        rows[r.top()].append(piece(p));
    }
    QStringList out;
    for (auto it = rows.begin(); it != rows.end(); ++it)
        out << QStringLiteral("%1 %2-%3")
                   .arg(it->join(' '))
                   .arg(edges[it.key()].first)
                   .arg(edges[it.key()].second);
    QString s = out.join(" / ") + QStringLiteral(" | %1x%2").arg(scene.card.width()).arg(scene.card.height());
    if (scene.preview)
        s += " ↑" + piece(*scene.preview);
    if (!scene.activeDots.isEmpty())
        s += ' ';
    for (bool active : scene.activeDots)
        s += active ? "●" : "○";
    return s;
}

} // namespace

// Where everything of the keyboard lies and what is drawn there, over time, and renders of
// typical states to look at.
class TestKeyboardLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scene_data() {
        stringRows(
            {"base", "custom", "flags", "expected"},
            {{"nothing: the add key alone", "", "", "", "+^ 0-30 | 50x50"},
             {"23 keys: rows of ten, the last centred", "abcdefghijklmnopqrstuvw", "", "",
              "a b c d e f g h i j 0-336 / k l m n o p q r s t 0-336 / u v w +^ 102-234 | 356x118"},
             {"one flow: base, custom, add", "a", "x y", "flat", "a x' y' +^ 0-132 | 152x50"},
             {"separate, no custom: add in the base block", "ab", "", "", "a b +^ 0-98 | 118x50"},
             {"separate, both blocks centred", "abc", "x", "", "a b c 0-98 / x' +^ 17-81 | 118x84"},
             {"several characters widen a key", "", "abc x", "", "abc' x' +^ 0-107.3 | 127.3x50"},
             {"a combining mark is no character of its own", "e\u0301", "ab", "flat",
              "e\u0301 ab' +^ 0-98.2 | 118.2x50"},
             {"a wide label widens its key", "\uFDFD", "", "wide", "\uFDFD +^ 0-86 | 106x50"},
             // The key keeps its width: the rule counts the symbol, not its capital form.
             {"Shift: full case mapping", "äß", "", "shift", "Ä SS +^ 0-98 | 118x50"},
             {"add field under the keys", "ab", "", "add", "a b 32-96 / _' ✓^ ×~ 0-128 | 148x84"},
             {"save row, 16 under the keys", "", "a b", "row", "a' b' +^ 0-98 / [Save]^ 37-61 | 118x96"},
             {"name field: wider than the keys", "", "a b", "row saving",
              "a' b' +^ 30-128 / _' ✓^ ×~ 0-158 | 178x96"},
             // Halfway through a breath: keys at 92 %, the add key dimmed, the dragged key only lifted.
             {"reorder, b dragged", "ab", "", "reorder drag shift",
              "A/s0.92 B/o0 +^/o0.3 0-98 | 118x50 ↑B/s1.05"},
             {"dots", "a", "", "dots=010", "a +^ 0-64 | 84x50 ○●○"},
             {"a single dot is not shown", "a", "", "dots=1", "a +^ 0-64 | 84x50"},
             {"the own Shift key, after the add key, latched", "aß", "", "latch",
              "A SS +^ ⇧^ 0-132 | 152x50"},
             {"locked: marked", "a", "", "lock", "A +^ ⇪^ 0-98 | 118x50"},
             {"never beside a lone add key", "", "", "lock", "+^ 0-30 | 50x50"}});
    }
    void scene() {
        QFETCH(QString, base);
        QFETCH(QString, custom);
        QFETCH(QString, flags);
        QFETCH(QString, expected);
        const KeyboardSceneBuilder b = built(base, custom, flags);
        QCOMPARE(describe(b.scene(300)), expected);
        QCOMPARE(b.layout().size(), b.layout().card().size() + QSizeF(40, 40)); // the clear margin
    }

    // German compact: card (20, 20, 186, 50), keys from (30, 30), 30 wide, 4 apart; two dots.
    void hitTesting_data() {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<bool>("closeShown");
        QTest::addColumn<KeyboardHit>("hit");
        const auto row = [](const char* name, QPointF p, bool shown, KeyboardHit::Kind kind, int index = -1) {
            QTest::newRow(name) << p << shown << KeyboardHit{kind, index};
        };
        row("first key", {45, 45}, true, KeyboardHit::Element, 0);
        row("gap between keys", {62, 45}, true, KeyboardHit::Background);
        row("close button, outside the card", {207.5, 27}, true, KeyboardHit::CloseButton, 0);
        row("close button hidden", {196, 27}, false, KeyboardHit::Background);
        row("rounded card corner", {21, 21}, true, KeyboardHit::Nothing);
        row("second dot, below the card", {124.5, 74}, true, KeyboardHit::Dot, 1);
    }
    void hitTesting() {
        QFETCH(QPointF, point);
        QFETCH(bool, closeShown);
        QFETCH(KeyboardHit, hit);
        QCOMPARE(built("äöüß", "", "dots=10").layout().hitTest(point, closeShown), hit);
    }

    // Typical states rendered offscreen at device pixel ratios 1 and 2 into renders/ in the build
    // folder, for looking at, with what must hold in them.
    void renders_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"german-compact", "german-full-shift", "german-compact-opaque"})
            QTest::newRow(name) << QString(name);
    }
    void renders() {
        QFETCH(QString, name);
        KeyboardViewFixture f;
        f.state.setActiveSetId(f.preset("preset_german").idText());
        if (name.contains("full"))
            f.state.setKeyboardSize(KeyboardSize::Full);
        if (name.contains("shift"))
            f.state.setShiftPressed(true);
        if (name.contains("opaque"))
            f.view->setTranslucent(false);
        // The renders mean to show the dots too: give the main set a companion.
        if (!name.contains("compact"))
            f.sets.toggleAdditional(f.preset("preset_math").id);

        f.view->resize(f.view->sizeHint());
        for (qreal dpr : {1.0, 2.0}) {
            QImage image((QSizeF(f.view->sizeHint()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(dpr);
            image.fill(Qt::transparent);
            f.view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            QVERIFY(QDir().mkpath(RUNEBOARD_RENDER_DIR));
            QVERIFY(image.save(RUNEBOARD_RENDER_DIR "/" + name + (dpr > 1 ? "@2x.png" : ".png")));
            QCOMPARE(image.pixelColor(2, 2).alpha(), 0); // the margin stays clear
            // The card: translucent unless told there is no compositor.
            QCOMPARE(image.pixelColor(image.width() / 2, int(23 * dpr)).alpha() == 255,
                     name.contains("opaque"));
            if (name == "german-full-shift") {
                // Faces are sharp: the first key's left edge (at 40) lies on a device pixel, the
                // column just inside fully covered, the one outside only card and shadow.
                QCOMPARE(image.pixelColor(int(40 * dpr), int(63 * dpr)).alpha(), 255);
                QVERIFY(image.pixelColor(int(40 * dpr) - 1, int(63 * dpr)).alpha() < 255);
            }
        }
    }
};

QTEST_MAIN(TestKeyboardLayout)
#include "tst_keyboardlayout.moc"
