#include "KeyboardViewFixture.h"

#include <QDir>
#include <QImage>

// Renders typical states offscreen, at device pixel ratios 1 and 2, into
// renders/ in the build folder (for looking at), and checks what must hold in them.
class TestKeyboardRenders : public QObject {
    Q_OBJECT

    static QImage render(KeyboardView& view, qreal dpr) {
        view.resize(view.sizeHint());
        QImage image((QSizeF(view.sizeHint()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::transparent);
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    // A set of six base and two custom keys, as the editing states show it.
    static KeyboardLayoutInput editedSet() { return KeyboardViewFixture::symbols("αβγδεζ", {"ŋ", "abc"}); }

private Q_SLOTS:
    void states_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"german-compact", "ipa-full", "user-set-custom-keys", "german-full-shift",
                                 "unsaved-set-save-row", "german-compact-opaque", "reorder-mode",
                                 "drag-in-progress", "add-field-open", "set-name-field-open"})
            QTest::newRow(name) << QString(name);
    }
    void states() {
        QFETCH(QString, name);
        KeyboardViewFixture f;
        const bool editing = name.contains("-mode") || name.contains("-in-") || name.contains("field");
        if (editing)
            f.show();
        if (name.startsWith("german"))
            f.activate("preset_german");
        else if (name == "ipa-full")
            f.activate("preset_ipa");
        else if (name == "user-set-custom-keys")
            f.addSet("αβγδ", "ŋ\u001Fabc\u001F→\u001F∮");
        else if (name.startsWith("unsaved") || name.startsWith("set-name"))
            f.useUnsaved("ŋ\u001Fə\u001Fʃʒ");
        else
            f.addSet("αβγδεζ", "ŋ\u001Fabc");
        if (name.contains("full"))
            f.state.setKeyboardSize(KeyboardSize::Full);
        if (name.contains("shift"))
            f.state.setShiftPressed(true);
        if (name.contains("opaque"))
            f.view->setTranslucent(false);
        // The renders mean to show the dots too: give the main set a companion.
        if (!name.contains("compact") && !editing)
            f.palettes.toggleAdditional(f.preset("preset_math").id);

        const QPoint beta = f.at(editedSet(), "β");
        if (name == "set-name-field-open") {
            KeyboardLayoutInput in = f.symbols("", {"ŋ", "ə", "ʃʒ"});
            in.showSaveRow = true;
            f.click(f.at(in, KeyboardElementKind::SaveButton));
            f.clock.advance(1000);
            QTest::keyClicks(f.fields().value(0), "Phonetics");
        } else if (name == "add-field-open") {
            f.click(f.at(editedSet(), KeyboardElementKind::AddKey));
            f.clock.advance(1000);
            f.fields().value(0)->insert(QStringLiteral("ŋ"));
        } else if (name == "reorder-mode") {
            f.press(beta);
            f.clock.advance(500);
            f.release(beta);
            f.clock.advance(300 + 600 * 2 - 150); // mid-breath
        } else if (name == "drag-in-progress") {
            // Halfway between two keys, after the keys made room.
            f.press(beta);
            f.clock.advance(500);
            f.move(beta + QPoint(0, 12));
            f.move(f.at(editedSet(), "δ") + QPoint(-4, 9));
            f.clock.advance(120);
        }

        for (qreal dpr : {1.0, 2.0}) {
            const QImage image = render(*f.view, dpr);
            const QDir dir(QStringLiteral(RUNEBOARD_RENDER_DIR));
            QVERIFY(dir.mkpath(QStringLiteral(".")));
            QVERIFY(image.save(dir.filePath(name + (dpr > 1 ? QStringLiteral("@2x") : QString()) + ".png")));
            QCOMPARE(image.pixelColor(2, 2).alpha(), 0); // the margin stays clear
            // The card: translucent unless told there is no compositor.
            const QColor card = image.pixelColor(QPoint(image.width() / 2, int(23 * dpr)));
            QCOMPARE(card.alpha() == 255, name.contains("opaque"));
            if (name != "user-set-custom-keys")
                continue;
            // Base faces are the dark default, custom faces the lighter grey: about 0.19 and 0.30 halfway.
            const KeyboardLayoutInput in = f.symbols("αβγδ", {"ŋ", "abc", "→", "∮"});
            for (const auto& [key, isCustom, red] : {std::tuple{"β", false, 47}, {"→", true, 77}}) {
                const QColor face = image.pixelColor(((f.at(in, key, isCustom) - QPoint(10, 0)) * dpr));
                QCOMPARE(face.alpha(), 255);
                QVERIFY2(qAbs(face.red() - red) <= 6, qPrintable(QString::number(face.red())));
            }
        }
    }

    void facesAreSharpAtBothRatios() {
        // The left edge of a key lies on a device pixel: the column just inside it is
        // fully covered, the one outside holds only card and shadow.
        KeyboardViewFixture f;
        f.activate("preset_german");
        f.state.setKeyboardSize(KeyboardSize::Full);
        for (qreal dpr : {1.0, 2.0}) {
            const QImage image = render(*f.view, dpr);
            const int x = int(40 * dpr), y = int(63 * dpr); // the first key starts at 40, 40
            QCOMPARE(image.pixelColor(x, y).alpha(), 255);
            QVERIFY(image.pixelColor(x - 1, y).alpha() < 255);
        }
    }
};

QTEST_MAIN(TestKeyboardRenders)
#include "tst_keyboardrenders.moc"
