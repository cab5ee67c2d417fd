#include "KeyboardViewFixture.h"

#include "ManualViewClock.h"
#include "keyboard/view/EditorField.h"

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

    static void save(const QImage& image, const QString& name) {
        const QDir dir(QStringLiteral(RUNEBOARD_RENDER_DIR));
        QVERIFY(dir.mkpath(QStringLiteral(".")));
        QVERIFY(image.save(dir.filePath(name + QStringLiteral(".png"))));
    }

    // The colour of a key's face just inside its bevel, halfway down (away from the label).
    static QColor faceAt(const QImage& image, const QRectF& key, qreal dpr) {
        const QPointF p(key.left() + 5, key.center().y());
        return image.pixelColor((p * dpr).toPoint());
    }

private Q_SLOTS:
    void typicalStates_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"german-compact", "ipa-full", "user-set-custom-keys", "german-full-shift",
                                 "unsaved-set-save-row", "german-compact-opaque"})
            QTest::newRow(name) << QString(name);
    }
    void typicalStates() {
        QFETCH(QString, name);
        KeyboardViewFixture f;
        if (name.startsWith("german")) {
            f.activate("preset_german");
        } else if (name == "ipa-full") {
            f.activate("preset_ipa");
        } else if (name == "user-set-custom-keys") {
            f.addSet("αβγδ", "ŋ\u001Fabc\u001F→\u001F∮");
        } else {
            f.useUnsaved("ŋ\u001Fə\u001Fʃʒ");
        }
        if (name.contains("full"))
            f.state.setKeyboardSize(KeyboardSize::Full);
        if (name.contains("shift"))
            f.state.setShiftPressed(true);
        if (name.contains("opaque"))
            f.view->setTranslucent(false);
        // The renders mean to show the dots too: give the main set a companion.
        if (!name.contains("compact"))
            f.palettes.toggleAdditional(f.preset("preset_math").id);

        for (qreal dpr : {1.0, 2.0}) {
            const QImage image = render(*f.view, dpr);
            save(image, name + (dpr > 1 ? QStringLiteral("@2x") : QString()));
            QCOMPARE(image.size(), f.view->sizeHint() * int(dpr));
            QCOMPARE(image.pixelColor(2, 2).alpha(), 0); // the margin stays clear
            const KeyboardLayout& layout = f.view->layout();
            // The card: translucent unless told there is no compositor.
            const QColor card = image.pixelColor(
                (layout.card().topLeft() + QPointF(layout.card().width() / 2, 3)).toPoint() * dpr);
            QCOMPARE(card.alpha() == 255, name.contains("opaque"));
            for (const KeyboardElement& e : layout.elements()) {
                if (e.kind != KeyboardElementKind::Key)
                    continue;
                // Base faces are the dark default, custom faces the lighter grey: about 0.19 and 0.30
                // halfway.
                const QColor face = faceAt(image, layout.toView(e.frame), dpr);
                QCOMPARE(face.alpha(), 255);
                const int expected = e.isCustom ? 77 : 47;
                QVERIFY2(qAbs(face.red() - expected) <= 6,
                         qPrintable(QStringLiteral("%1: %2").arg(e.text).arg(face.red())));
            }
        }
    }

    void editingStates_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"reorder-mode", "drag-in-progress", "add-field-open", "set-name-field-open"})
            QTest::newRow(name) << QString(name);
    }
    void editingStates() {
        QFETCH(QString, name);
        KeyboardViewFixture f;
        ManualViewClock clock;
        f.view->setClock(clock);
        f.showView();
        if (name == "set-name-field-open") {
            f.useUnsaved("ŋ\u001Fə\u001Fʃʒ");
            f.view->startSaving();
            clock.advance(1000);
            QTest::keyClicks(f.view->nameField(), "Phonetics");
        } else {
            f.addSet("αβγδεζ", "ŋ\u001Fabc");
        }
        if (name == "add-field-open") {
            f.view->startAdding(1);
            clock.advance(1000);
            f.view->addField()->insert(QStringLiteral("ŋ"));
        }
        if (name != "add-field-open" && name != "set-name-field-open") {
            const QPoint start = f.centreOf("β");
            QTest::mousePress(f.view.get(), Qt::LeftButton, {}, start);
            clock.advance(500);
            if (name == "drag-in-progress") {
                // Halfway between two keys, after the keys made room.
                const QPoint end = f.centreOf("δ");
                QTest::mouseMove(f.view.get(), start + QPoint(0, 12));
                QTest::mouseMove(f.view.get(), end + QPoint(-4, 9));
                clock.advance(120);
            } else {
                QTest::mouseRelease(f.view.get(), Qt::LeftButton, {}, start);
                clock.advance(300 + 600 * 2 - 150); // mid-breath
            }
        }
        for (qreal dpr : {1.0, 2.0}) {
            const QImage image = render(*f.view, dpr);
            save(image, name + (dpr > 1 ? QStringLiteral("@2x") : QString()));
            QCOMPARE(image.size(), f.view->sizeHint() * int(dpr));
        }
        if (name == "drag-in-progress")
            QVERIFY(f.view->scene().preview);
        if (name == "reorder-mode")
            QVERIFY(f.view->scene().pieces.first().scale < 0.99);
        f.view.reset(); // before the clock
    }

    void facesAreSharpAtBothRatios() {
        // The left edge of a key lies on a device pixel: the column just inside it is
        // fully covered, the one outside holds only card and shadow.
        KeyboardViewFixture f;
        f.activate("preset_ipa");
        f.state.setKeyboardSize(KeyboardSize::Full);
        for (qreal dpr : {1.0, 2.0}) {
            const QImage image = render(*f.view, dpr);
            const QRectF key = f.view->layout().toView(f.view->layout().elements().first().frame);
            const int y = int(key.center().y() * dpr);
            const int x = int(std::round(key.left() * dpr));
            const QColor inside = image.pixelColor(x, y), outside = image.pixelColor(x - 1, y);
            // The bevel's top-lit edge over an opaque face, against the translucent card.
            QCOMPARE(inside.alpha(), 255);
            QVERIFY2(outside.alpha() < 255, qPrintable(QString::number(outside.alpha())));
        }
    }
};

QTEST_MAIN(TestKeyboardRenders)
#include "tst_keyboardrenders.moc"
