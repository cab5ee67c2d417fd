#include "keyboard/view/BevelBackground.h"
#include "keyboard/view/KeyboardLayout.h"
#include "keyboard/view/WrapLayout.h"

#include <QImage>
#include <QPainter>
#include <QTest>

using Kind = KeyboardElementKind;

namespace {

QStringList letters(int n) {
    QStringList list;
    for (int i = 0; i < n; ++i)
        list.append(QString(QChar(u'a' + i % 26)) + (i >= 26 ? QString::number(i) : QString()));
    return list;
}

QList<QSizeF> squares(int n, qreal side) {
    return QList<QSizeF>(n, QSizeF(side, side));
}

QList<Kind> kindsOf(const KeyboardLayout& layout) {
    QList<Kind> kinds;
    for (const KeyboardElement& e : layout.elements())
        kinds.append(e.kind);
    return kinds;
}

} // namespace

class TestKeyboardLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wrapMeasure_data() {
        QTest::addColumn<QList<QSizeF>>("items");
        QTest::addColumn<qreal>("spacing");
        QTest::addColumn<QSizeF>("expected");
        QTest::newRow("nothing") << QList<QSizeF>{} << 4.0 << QSizeF(0, 0);
        QTest::newRow("one") << squares(1, 30) << 4.0 << QSizeF(30, 30);
        QTest::newRow("23 keys and add, compact") << squares(24, 30) << 4.0 << QSizeF(336, 3 * 30 + 2 * 4);
        QTest::newRow("23 keys and add, full") << squares(24, 46) << 6.0 << QSizeF(514, 3 * 46 + 2 * 6);
        QTest::newRow("exactly ten") << squares(10, 30) << 4.0 << QSizeF(336, 30);
        // Rows break by count, never by width; the widest row sets the width.
        QList<QSizeF> mixed = squares(11, 30);
        mixed[10] = QSizeF(400, 50);
        QTest::newRow("wide last row") << mixed << 4.0 << QSizeF(400, 30 + 4 + 50);
    }
    void wrapMeasure() {
        QFETCH(QList<QSizeF>, items);
        QFETCH(qreal, spacing);
        QFETCH(QSizeF, expected);
        QCOMPARE(WrapLayout(spacing, 10).measure(items), expected);
    }

    void wrapPlaceCentresRowsAndTopAligns() {
        const WrapLayout wrap(4, 10);
        QList<QSizeF> items = squares(24, 30);
        items[21] = QSizeF(39.3, 30);
        const QSizeF size = wrap.measure(items);
        const QList<QRectF> frames = wrap.place(QRectF(QPointF(5, 7), size), items);
        QCOMPARE(frames.size(), 24);
        QCOMPARE(frames[0], QRectF(5, 7, 30, 30));
        QCOMPARE(frames[9], QRectF(5 + 9 * 34, 7, 30, 30));
        QCOMPARE(frames[10].top(), 7 + 34.0);
        // Last row: 30 + 39.3 + 30 + 30 + 3 × 4 wide, centred in 336.
        const qreal lastRow = 30 + 39.3 + 30 + 30 + 12;
        QCOMPARE(frames[20].left(), 5 + (336 - lastRow) / 2);
        QCOMPARE(frames[20].top(), 7 + 68.0);
        QCOMPARE(frames[22].left(), frames[21].right() + 4);

        // Children of one row share their top edge whatever their heights.
        const QList<QRectF> tall = wrap.place(QRectF(0, 0, 100, 100), {QSizeF(10, 10), QSizeF(10, 40)});
        QCOMPARE(tall[0].top(), tall[1].top());
    }

    void keyWidthAndLabel_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("size");
        QTest::addColumn<qreal>("width");
        QTest::addColumn<qreal>("label");
        QTest::newRow("one letter") << "a" << int(KeyboardSize::Compact) << 30.0 << 14.0;
        QTest::newRow("abc compact") << "abc" << int(KeyboardSize::Compact) << 39.3 << 10.5;
        QTest::newRow("ab compact, just wider") << "ab" << int(KeyboardSize::Compact) << 30.2 << 10.5;
        QTest::newRow("abc full") << "abc" << int(KeyboardSize::Full) << 54.9 << 16.5;
        QTest::newRow("e and combining acute is one character")
            << "e\u0301" << int(KeyboardSize::Compact) << 30.0 << 14.0;
        QTest::newRow("flag emoji is one character")
            << "\U0001F1E9\U0001F1EA" << int(KeyboardSize::Full) << 46.0 << 22.0;
    }
    void keyWidthAndLabel() {
        QFETCH(QString, text);
        QFETCH(int, size);
        QFETCH(qreal, width);
        QFETCH(qreal, label);
        const KeyboardMetrics m = KeyboardMetrics::forSize(KeyboardSize(size));
        QCOMPARE(KeyboardLayout::keyWidth(text, m), width);
        QCOMPARE(KeyboardLayout::labelFontSize(text, m), label);
    }

    void wideLabelWidensItsKey() {
        KeyboardLayoutInput in;
        in.baseSymbols = {QStringLiteral("\uFDFD")};
        in.labelWidth = [](const QString&, qreal) { return 52.0; };
        QCOMPARE(KeyboardLayout::compute(in).elements().first().frame.width(), 52.0);
    }

    void twentyThreeKeysInRows() {
        KeyboardLayoutInput in;
        in.baseSymbols = letters(23);
        for (KeyboardSize size : {KeyboardSize::Compact, KeyboardSize::Full}) {
            in.size = size;
            const KeyboardLayout layout = KeyboardLayout::compute(in);
            const KeyboardMetrics& m = layout.metrics();
            const qreal fullRow = 10 * m.keySize + 9 * m.keySpacing;
            QCOMPARE(fullRow, size == KeyboardSize::Compact ? 336.0 : 514.0);
            QCOMPARE(layout.elements().size(), 24);
            const QList<KeyboardElement>& e = layout.elements();
            QCOMPARE(e[23].kind, Kind::AddKey);
            // Rows of 10, 10 and 3 keys plus the add key, each centred.
            QCOMPARE(e[0].frame.topLeft(), QPointF(0, 0));
            QCOMPARE(e[9].frame.right(), fullRow);
            QCOMPARE(e[10].frame.topLeft(), QPointF(0, m.keySize + m.keySpacing));
            const qreal lastRow = 4 * m.keySize + 3 * m.keySpacing;
            QCOMPARE(e[20].frame.left(), (fullRow - lastRow) / 2);
            QCOMPARE(e[23].frame.top(), 2 * (m.keySize + m.keySpacing));
            QCOMPARE(e[23].frame.right(), (fullRow + lastRow) / 2);
            QCOMPARE(layout.card().size(), QSizeF(fullRow + 2 * m.innerPadding,
                                                  3 * m.keySize + 2 * m.keySpacing + 2 * m.innerPadding));
            QCOMPARE(layout.size(), layout.card().size() + QSizeF(40, 40));
            QCOMPARE(layout.gridOrigin(), QPointF(20 + m.innerPadding, 20 + m.innerPadding));
        }
    }

    void keyAreaCases_data() {
        QTest::addColumn<QStringList>("base");
        QTest::addColumn<QStringList>("custom");
        QTest::addColumn<bool>("separate");
        QTest::addColumn<bool>("adding");
        QTest::addColumn<QList<Kind>>("kinds");
        QTest::addColumn<QList<QPointF>>("origins");
        const Kind K = Kind::Key;
        QTest::newRow("nothing: the add key alone") << QStringList{} << QStringList{} << true << false
                                                    << QList<Kind>{Kind::AddKey} << QList<QPointF>{{0, 0}};
        QTest::newRow("nothing, adding: the field alone")
            << QStringList{} << QStringList{} << true << true
            << QList<Kind>{Kind::AddField, Kind::AddConfirm, Kind::AddCancel}
            << QList<QPointF>{{0, 0}, {64 + 2, 0}, {64 + 2 + 30 + 2, 0}};
        QTest::newRow("one flow: base, custom, add")
            << QStringList{"a"} << QStringList{"x", "y"} << false << false
            << QList<Kind>{K, K, K, Kind::AddKey} << QList<QPointF>{{0, 0}, {34, 0}, {68, 0}, {102, 0}};
        QTest::newRow("separate, no custom: add in the base block")
            << QStringList{"a", "b"} << QStringList{} << true << false << QList<Kind>{K, K, Kind::AddKey}
            << QList<QPointF>{{0, 0}, {34, 0}, {68, 0}};
        // The custom block appears holding only the field; the add key leaves the base block.
        QTest::newRow("separate, adding: custom block with the field")
            << QStringList{"a", "b"} << QStringList{} << true << true
            << QList<Kind>{K, K, Kind::AddField, Kind::AddConfirm, Kind::AddCancel}
            << QList<QPointF>{{(128 - 64) / 2.0, 0}, {(128 - 64) / 2.0 + 34, 0}, {0, 34}, {66, 34}, {98, 34}};
        QTest::newRow("separate, both blocks: add only in the custom block, blocks centred")
            << QStringList{"a", "b", "c"} << QStringList{"x"} << true << false
            << QList<Kind>{K, K, K, K, Kind::AddKey}
            << QList<QPointF>{{0, 0}, {34, 0}, {68, 0}, {(98 - 64) / 2.0, 34}, {(98 - 64) / 2.0 + 34, 34}};
        QTest::newRow("separate, only custom")
            << QStringList{} << QStringList{"x"} << true << false << QList<Kind>{K, Kind::AddKey}
            << QList<QPointF>{{0, 0}, {34, 0}};
    }
    void keyAreaCases() {
        QFETCH(QStringList, base);
        QFETCH(QStringList, custom);
        QFETCH(bool, separate);
        QFETCH(bool, adding);
        QFETCH(QList<Kind>, kinds);
        QFETCH(QList<QPointF>, origins);
        KeyboardLayoutInput in;
        in.baseSymbols = base;
        in.customSymbols = custom;
        in.separateCustomSymbols = separate;
        in.isAddingMode = adding;
        in.activeAddingSection = 1;
        const KeyboardLayout layout = KeyboardLayout::compute(in);
        QCOMPARE(kindsOf(layout), kinds);
        for (qsizetype i = 0; i < origins.size(); ++i)
            QCOMPARE(layout.elements()[i].frame.topLeft(), origins[i]);
        // Base keys come first, then custom keys; only the flag tells them apart.
        int customKeys = 0;
        for (const KeyboardElement& e : layout.elements())
            customKeys += e.kind == Kind::Key && e.isCustom;
        QCOMPARE(customKeys, custom.size());
    }

    void saveRowUnderTheKeys() {
        KeyboardLayoutInput in;
        in.customSymbols = {"a", "b"};
        in.showSaveRow = true;
        in.saveTitleWidth = 30;
        KeyboardLayout layout = KeyboardLayout::compute(in);
        const KeyboardElement* save = layout.element(Kind::SaveButton);
        QVERIFY(save);
        // Key area 98 wide; the button is its title plus 12 on each side, 16 below the keys, centred.
        QCOMPARE(save->frame, QRectF((98 - 54) / 2.0, 30 + 16, 54, 30));
        QCOMPARE(layout.card().height(), 30 + 16 + 30 + 20.0);

        in.isSavingPalette = true;
        layout = KeyboardLayout::compute(in);
        QVERIFY(!layout.element(Kind::SaveButton));
        const KeyboardElement* field = layout.element(Kind::NameField);
        QVERIFY(field);
        // A field of 3 × 30 + 4 and two buttons: wider than the keys, so it sets the card's width.
        QCOMPARE(field->frame, QRectF(0, 46, 94, 30));
        QCOMPARE(layout.element(Kind::NameCancel)->frame.right(), 94 + 2 + 30 + 2 + 30.0);
        QCOMPARE(layout.card().width(), 158 + 20.0);
        QCOMPARE(layout.elements().first().frame.left(), (158 - 98) / 2.0);
    }

    void overlays() {
        KeyboardLayoutInput in;
        in.baseSymbols = {"ä", "ö", "ü", "ß"};
        in.dotCount = 3;
        const KeyboardLayout layout = KeyboardLayout::compute(in);
        const QRectF card = layout.card();
        QCOMPARE(card, QRectF(20, 20, 186, 50));
        QCOMPARE(layout.size(), QSizeF(226, 90)); // the German set, compact
        // The close button's corner sits 3 to the right of and 3 above the card's.
        QCOMPARE(layout.closeButton(), QRectF(186 + 20 - 20 + 3, 17, 20, 20));
        QCOMPARE(layout.dots().size(), 3);
        const qreal row = 3 * 11 + 2 * 12;
        QCOMPARE(layout.dots()[0], QRectF(card.center().x() - row / 2, card.bottom() + 6.5 - 11, 11, 11));
        QCOMPARE(layout.dots()[2].right(), card.center().x() + row / 2);
    }

    void buttonFramesByIdentifier() {
        KeyboardLayoutInput in;
        in.baseSymbols = {"a", "b"};
        in.customSymbols = {"a", "xyz"};
        const auto frames = KeyboardLayout::compute(in).buttonFrames();
        QCOMPARE(frames.size(), 4);
        // The custom block (a, xyz, add) is the wider one; the base block is centred over it.
        const qreal customRow = 30 + 4 + 39.3 + 4 + 30;
        QCOMPARE(frames.value("b:a"), QRectF((customRow - 64) / 2, 0, 30, 30));
        QCOMPARE(frames.value("c:a"), QRectF(0, 34, 30, 30));
        QVERIFY(frames.contains("c:xyz"));
    }

    void hitTesting_data() {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<bool>("closeShown");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("index");
        // German compact: card (20, 20, 186, 50), keys from (30, 30), 30 wide, 4 apart.
        const auto row = [](const char* name, QPointF point, bool closeShown, KeyboardHit::Kind kind,
                            int index) { QTest::newRow(name) << point << closeShown << int(kind) << index; };
        using H = KeyboardHit;
        row("first key", {45, 45}, true, H::Element, 0);
        row("fourth key edge", {30 + 3 * 34 + 29.5, 59}, true, H::Element, 3);
        row("add key", {30 + 4 * 34 + 15, 45}, true, H::Element, 4);
        row("gap between keys", {62, 45}, true, H::Background, -1);
        row("padding", {25, 45}, true, H::Background, -1);
        row("close button", {196, 27}, true, H::CloseButton, 0);
        row("close button hidden", {196, 27}, false, H::Background, -1);
        row("close button edge outside the card", {207.5, 27}, true, H::CloseButton, 0);
        row("corner of the close square", {189.5, 17.5}, true, H::Nothing, -1);
        row("rounded card corner", {21, 21}, true, H::Nothing, -1);
        row("margin", {10, 45}, true, H::Nothing, -1);
        row("second dot, below the card", {124.5, 74}, true, H::Dot, 1);
    }
    void hitTesting() {
        QFETCH(QPointF, point);
        QFETCH(bool, closeShown);
        QFETCH(int, kind);
        QFETCH(int, index);
        KeyboardLayoutInput in;
        in.baseSymbols = {"ä", "ö", "ü", "ß"};
        in.dotCount = 2;
        const KeyboardHit hit = KeyboardLayout::compute(in).hitTest(point, closeShown);
        QCOMPARE(int(hit.kind), kind);
        QCOMPARE(hit.index, index);
    }

    void facePriority_data() {
        QTest::addColumn<QString>("flags"); // Glass, Red, Blue, Custom
        QTest::addColumn<int>("face");
        using F = BevelBackground::Face;
        QTest::newRow("none") << QString() << int(F::Default);
        QTest::newRow("glass and blue") << QStringLiteral("GB") << int(F::Glass);
        QTest::newRow("red and blue") << QStringLiteral("RB") << int(F::Red);
        QTest::newRow("blue and custom") << QStringLiteral("BC") << int(F::Blue);
        QTest::newRow("custom") << QStringLiteral("C") << int(F::Custom);
        QTest::newRow("all") << QStringLiteral("GRBC") << int(F::Glass);
    }
    void facePriority() {
        QFETCH(QString, flags);
        QFETCH(int, face);
        BevelBackground b;
        b.isGlass = flags.contains(u'G');
        b.isRed = flags.contains(u'R');
        b.isBlue = flags.contains(u'B');
        b.isCustom = flags.contains(u'C');
        QCOMPARE(int(b.face()), face);
    }

    void bevelStaysInsideTheFace() {
        // A 4-wide bevel on a 60 × 60 default face: the outer 4 pixels of the
        // straight edges differ from the face, the fifth does not, outside is untouched.
        QImage withBevel(80, 80, QImage::Format_ARGB32_Premultiplied), plain = withBevel;
        withBevel.fill(Qt::transparent);
        plain.fill(Qt::transparent);
        const QRectF rect(10, 10, 60, 60);
        {
            QPainter p(&withBevel);
            BevelBackground{16, 4}.paintFace(p, rect);
            QPainter q(&plain);
            BevelBackground{16, 0}.paintFace(q, rect);
        }
        for (int y : {35, 40, 45}) {
            QCOMPARE(withBevel.pixel(9, y), plain.pixel(9, y));
            QCOMPARE(qAlpha(withBevel.pixel(9, y)), 0);
            for (int x = 10; x < 14; ++x)
                QVERIFY2(withBevel.pixel(x, y) != plain.pixel(x, y), qPrintable(QString::number(x)));
            QCOMPARE(withBevel.pixel(14, y), plain.pixel(14, y));
            QCOMPARE(withBevel.pixel(65, y), plain.pixel(65, y));
            QVERIFY(withBevel.pixel(66, y) != plain.pixel(66, y));
        }
        // The upper edge catches light, the lower edge darkens.
        QVERIFY(qGray(withBevel.pixel(40, 11)) > qGray(plain.pixel(40, 11)));
        QVERIFY(qGray(withBevel.pixel(40, 68)) < qGray(plain.pixel(40, 68)));
    }
};

QTEST_GUILESS_MAIN(TestKeyboardLayout)
#include "tst_keyboardlayout.moc"
