#include "ManualViewClock.h"
#include "keyboard/KeyboardPanel.h"
#include "keyboard/view/EditSession.h"
#include "keyboard/view/FocusLender.h"
#include "keyboard/view/GestureRecogniser.h"
#include "palettes/SymbolPalette.h"

#include <QTest>

namespace {
using K = KeyboardElementKind;

// A strip of targets 100 points wide, from x = 0: the keys a and b (custom), the add key, the
// save button, the close button, the second dot, background, the name's confirm, the add cancel.
GestureTarget stripAt(const QPointF& p) {
    const int band = p.x() < 0 ? -1 : int(p.x()) / 100;
    const K elements[] = {K::Key, K::Key, K::AddKey,      K::SaveButton, K::Key,
                          K::Key, K::Key, K::NameConfirm, K::AddCancel};
    GestureTarget t;
    t.kind = band == 4                ? KeyboardHit::CloseButton
             : band == 5              ? KeyboardHit::Dot
             : band == 6              ? KeyboardHit::Background
             : band >= 0 && band <= 8 ? KeyboardHit::Element
                                      : KeyboardHit::Nothing;
    if (t.kind == KeyboardHit::Element)
        t.element = elements[band];
    t.text = band == 0 ? "a" : band == 1 ? "b" : "";
    t.isCustom = band == 1;
    t.dot = band == 5 ? 1 : -1;
    return t;
}

QString describe(const GestureIntent& i) {
    static const char* names[] = {"Type",    "Reorder", "Drag",  "Drop", "Delete",    "Open",
                                  "Confirm", "Cancel",  "Close", "Dot",  "Background"};
    QString s = names[i.kind];
    if (i.target.isKey())
        s += ":" + i.target.text;
    if (i.kind == GestureIntent::Open || i.kind == GestureIntent::Confirm || i.kind == GestureIntent::Cancel)
        s += i.field == K::NameField ? ":name" : ":add";
    if (i.kind == GestureIntent::DragChanged)
        s += QStringLiteral("@%1").arg(i.location.x());
    if (i.kind == GestureIntent::Dot)
        s += QString::number(i.target.dot);
    return s;
}

// Records the panel's side in the same log as the session hooks.
struct LoggingPanel : KeyboardPanel {
    QStringList* log;
    bool allowed = false;
    void orderFront() override {}
    void orderOut() override {}
    bool allowFocus() const override { return allowed; }
    void setAllowFocus(bool a) override { log->append((allowed = a) ? "allow" : "deny"); }
    void makeKeyWindow() override { log->append("key"); }
    void setMovableByBackground(bool) override {}
};
} // namespace

class TestKeyboardGestures : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Steps: p, m, r, c (press, move, release, context menu) at an x, w a wait in ms.
    void recognition_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("intents");
        QTest::newRow("a press alone types nothing") << "p50 w400"
                                                     << "";
        QTest::newRow("a click types on release") << "p50 w400 r60"
                                                  << "Type:a";
        QTest::newRow("released on another key") << "p50 r150"
                                                 << "";
        QTest::newRow("released outside") << "p50 r-5"
                                          << "";
        QTest::newRow("pressed elsewhere, released on the key") << "p650 r50"
                                                                << "";
        QTest::newRow("released without a press") << "r50"
                                                  << "";
        QTest::newRow("held 499 ms") << "p50 w499"
                                     << "";
        QTest::newRow("long press, then a click too") << "p50 w500 r50"
                                                      << "Reorder:a Type:a";
        QTest::newRow("10 points keep a long press") << "p50 m60 w500"
                                                     << "Reorder:a";
        QTest::newRow("11 points make a drag, no long press") << "p50 m61 w500 m52 r52"
                                                              << "Drag:a@41 Drag:a@32 Drop:a Type:a";
        QTest::newRow("a new press forgets the old one") << "p50 w300 p150 w499"
                                                         << "";
        QTest::newRow("moving off a button drags nothing") << "p650 m900 r650"
                                                           << "Background";
        QTest::newRow("context menu on a key") << "c150"
                                               << "Delete:b";
        QTest::newRow("context menu elsewhere") << "c250 c650"
                                                << "";
        QTest::newRow("buttons") << "p250 r250 p350 r350 p450 r450 p550 r550 p750 r750 p850 r850"
                                 << "Open:add Open:name Close Dot1 Confirm:name Cancel:add";
    }
    void recognition() {
        QFETCH(QString, steps);
        QFETCH(QString, intents);
        ManualViewClock clock;
        QStringList seen;
        GestureRecogniser g(clock, stripAt, [](const QPointF& p) { return p - QPointF(20, 0); });
        g.onIntent = [&seen](const GestureIntent& i) { seen.append(describe(i)); };
        for (const QString& step : steps.split(' ')) {
            const QPointF at(step.mid(1).toInt(), 30);
            switch (step[0].toLatin1()) {
            case 'p':
                g.press(at);
                break;
            case 'm':
                g.move(at);
                break;
            case 'r':
                g.release(at);
                break;
            case 'c':
                g.contextMenu(at, {});
                break;
            default:
                clock.advance(step.mid(1).toInt());
            }
        }
        QCOMPARE(seen.join(' '), intents);
    }

    // Steps on the add session (a, 7 graphemes) and the name session (n): open, cancel, commit,
    // edit=text (_ for a blank), w a wait in ms. The name commits only a name that is not blank.
    void editing_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("log");
        QTest::newRow("the field takes the focus 100 ms after opening") << "a.open w99 w1"
                                                                        << "a+ allow key a.focus@100";
        QTest::newRow("cancel gives the focus back") << "a.open a.cancel w200"
                                                     << "a+ allow key a- deny";
        QTest::newRow("seven characters stay, on the next turn") << "a.open a.edit=abcdefgh w0"
                                                                 << "a+ allow key a.cut=abcdefg";
        const QString e = QStringLiteral("e\u0301");
        QTest::newRow("a character is a grapheme cluster") << "a.open a.edit=" + e.repeated(8) + " w0"
                                                           << "a+ allow key a.cut=" + e.repeated(7);
        QTest::newRow("the name has no limit") << "n.open n.edit=abcdefghij w0"
                                               << "n+ allow key";
        QTest::newRow("a commit closes on the next turn") << "a.open a.edit=x a.commit a.commit w0"
                                                          << "a+ allow key a.commit=x a- deny";
        QTest::newRow("a blank name keeps the field open") << "n.open n.edit=_ n.commit w0"
                                                           << "n+ allow key";
        QTest::newRow("the focus is lent until the last field closes")
            << "a.open n.open a.cancel n.cancel"
            << "a+ allow key n+ key a- n.focus@0 n- deny";
    }
    void editing() {
        QFETCH(QString, steps);
        QFETCH(QString, log);
        ManualViewClock clock;
        QStringList seen;
        LoggingPanel panel;
        panel.log = &seen;
        FocusLender lender(&panel);
        EditSession add(clock, lender, 7), name(clock, lender);
        for (auto [session, id] :
             {std::pair{&add, QStringLiteral("a")}, std::pair{&name, QStringLiteral("n")}}) {
            session->onOpenChanged = [&seen, id](bool open) { seen.append(id + (open ? "+" : "-")); };
            session->onFocus = [&, id] {
                seen.append(QStringLiteral("%1.focus@%2").arg(id).arg(clock.now()));
            };
            session->onCut = [&seen, id](const QString& text) { seen.append(id + ".cut=" + text); };
        }
        add.onCommit = [&seen](const QString& text) {
            seen.append("a.commit=" + text);
            return true;
        };
        name.onCommit = [](const QString& text) { return !text.trimmed().isEmpty(); };
        for (const QString& step : steps.split(' ')) {
            EditSession& s = step.startsWith('a') ? add : name;
            const QString op = step.mid(2);
            if (step.startsWith('w'))
                clock.advance(step.mid(1).toInt());
            else if (op == "open")
                s.open();
            else if (op == "cancel")
                s.cancel();
            else if (op == "commit")
                s.commit();
            else
                s.edit(op.mid(5).replace('_', ' '));
        }
        QCOMPARE(seen.join(' '), log);
        QCOMPARE(panel.allowed, add.isOpen() || name.isOpen());
        QVERIFY(SymbolPalette::graphemes(add.text()).size() <= 7);
    }
};

QTEST_GUILESS_MAIN(TestKeyboardGestures)
#include "tst_keyboardgestures.moc"
