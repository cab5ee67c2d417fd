#include "keyboard/FloatingPanel.h"
#include "keyboard/PanelContent.h"
#include "platform/WindowSystem.h"
#include "storage/SettingsStore.h"

#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

// Showing, moving and focus of the panel; what the window manager makes of it is end to end.
namespace {
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

// A card whose left 40 pixels are background; the rest are "keys".
class TestContent : public QWidget, public PanelContent {
public:
    QSize sizeHint() const override { return {200, 100}; }
    bool isBackgroundAt(const QPoint& position) const override { return position.x() < 40; }
    QPainterPath outline() const override { return {}; }
    void setTranslucent(bool) override {}
    void mousePressEvent(QMouseEvent*) override { ++presses; }
    int presses = 0;
};

struct Panel {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("runeboard.conf"))};
    RecordingWindowSystem windows;
    FloatingPanel panel{store, windows};
    TestContent* content = new TestContent;

    Panel() {
        panel.setContent(content);
        panel.orderFront();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&panel);
    }
};
} // namespace

class TestFloatingPanel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placementOnScreens_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("expected");
        // Two screens side by side: 0..1919 and 1920..3199 (the second 1280 × 1024).
        QTest::newRow("mostly off, a corner still on")
            << QRect(1880, 1040, 226, 90) << QRect(1880, 1040, 226, 90);
        QTest::newRow("only a sliver on") << QRect(1900, 1050, 226, 90) << QRect(1920, 934, 226, 90);
        QTest::newRow("where a third screen was") << QRect(3500, 300, 226, 90) << QRect(2974, 300, 226, 90);
        QTest::newRow("above and left of everything") << QRect(-900, -400, 226, 90) << QRect(0, 0, 226, 90);
    }
    void placementOnScreens() {
        QFETCH(QRect, frame);
        QFETCH(QRect, expected);
        const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        QCOMPARE(FloatingPanel::placedOnScreens(frame, screens), expected);
    }

    void onlyTheBackgroundOfAMovablePanelMovesIt() {
        Panel p;
        const QPoint start = p.panel.pos();
        auto drag = [&p](QPoint from) {
            QTest::mousePress(p.content, Qt::LeftButton, {}, from);
            QTest::mouseMove(p.content, from + QPoint(50, 25));
            QTest::mouseRelease(p.content, Qt::LeftButton, {}, from + QPoint(50, 25));
        };
        drag(QPoint(100, 10)); // a key
        QCOMPARE(p.content->presses, 1);
        p.panel.setMovableByBackground(false); // keys are being reordered
        drag(QPoint(10, 10));
        QCOMPARE(p.content->presses, 2);
        QTest::qWait(50);
        QCOMPARE(p.panel.pos(), start);
        p.panel.setMovableByBackground(true);
        drag(QPoint(10, 10));
        QCOMPARE(p.content->presses, 2);
        QTRY_COMPARE(p.panel.pos(), start + QPoint(50, 25));
    }

    void focusIsGivenBackOnlyWhenThePanelHasIt() {
        Panel p;
        p.windows.active = 4242; // the editor the user types into
        p.panel.setAllowFocus(true);
        p.panel.makeKeyWindow();
        QTRY_VERIFY(p.panel.isActiveWindow());
        p.windows.active = p.panel.winId();
        p.panel.setAllowFocus(false);
        QVERIFY(!p.windows.acceptsFocus &&
                p.panel.windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QCOMPARE(p.windows.activated, QList<WindowSystem::WindowId>{4242});
        // Giving up a focus the panel does not have moves nobody's focus.
        p.panel.setAllowFocus(true);
        p.windows.active = 77;
        p.panel.setAllowFocus(false);
        QCOMPARE(p.windows.activated.size(), 1);
    }
};

QTEST_MAIN(TestFloatingPanel)
#include "tst_floatingpanel.moc"
