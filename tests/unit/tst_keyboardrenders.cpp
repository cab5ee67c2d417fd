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
        if (name.startsWith("german") || name.startsWith("ipa"))
            f.state.setActivePaletteID(
                f.preset(name.startsWith("ipa") ? "preset_ipa" : "preset_german").idText());
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
        } else if (name == "add-field-open") {
            f.click(f.at(editedSet(), KeyboardElementKind::AddKey));
        } else if (editing) {
            f.press(beta);
            f.clock.advance(500);
        }
        if (name.endsWith("field-open")) {
            f.clock.advance(1000);
            f.fields().value(0)->insert(name.startsWith("add") ? "ŋ" : "Phonetics");
        } else if (name == "reorder-mode") {
            f.release(beta);
            f.clock.advance(300 + 600 * 2 - 150); // mid-breath
        } else if (name == "drag-in-progress") {
            // Halfway between two keys, after the keys made room.
            f.move(beta + QPoint(0, 12));
            f.move(f.at(editedSet(), "δ") + QPoint(-4, 9));
            f.clock.advance(120);
        }

        for (qreal dpr : {1.0, 2.0}) {
            const QImage image = render(*f.view, dpr);
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

QTEST_MAIN(TestKeyboardRenders)
#include "tst_keyboardrenders.moc"
