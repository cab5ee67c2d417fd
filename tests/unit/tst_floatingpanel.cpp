#include "keyboard/FloatingPanel.h"
#include "keyboard/PanelContent.h"
#include "platform/WindowSystem.h"
#include "storage/SettingsStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

namespace {
class RecordingWindowSystem : public WindowSystem {
public:
    void setIdentity(QWindow&, const QByteArray& role) override { roles.append(role); }
    void prepareFloatingShow(QWindow&) override { ++preparedShows; }
    void setAcceptsFocus(QWindow&, bool accepts) override { acceptsFocus = accepts; }
    bool isCompositing() const override { return compositing; }
    WindowId activeWindow() const override { return active; }
    void activateWindow(WindowId window) override { activated.append(window); }

    void setCompositing(bool on) {
        compositing = on;
        Q_EMIT compositingChanged(on);
    }

    QList<QByteArray> roles;
    int preparedShows = 0;
    std::optional<bool> acceptsFocus;
    bool compositing = false;
    WindowId active = 0;
    QList<WindowId> activated;
};

// A card whose left 40 pixels are background; the rest are "keys".
class TestContent : public QWidget, public PanelContent {
public:
    QSize sizeHint() const override { return size; }
    bool isBackgroundAt(const QPoint& position) const override { return position.x() < 40; }
    QPainterPath outline() const override {
        QPainterPath path;
        path.addRoundedRect(QRectF(QPointF(), QSizeF(size)), 12, 12);
        return path;
    }
    void setTranslucent(bool on) override { translucent = on; }
    void mousePressEvent(QMouseEvent*) override { ++presses; }

    QSize size{200, 100};
    std::optional<bool> translucent;
    int presses = 0;
};

QString positionKey() {
    return FloatingPanel::positionKey;
}

void drag(QWidget* widget, QPoint from, QPoint to) {
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    QTest::mouseMove(widget, to);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
}
} // namespace

class TestFloatingPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void savedFrameText_data();
    void savedFrameText();
    void placementOnScreens_data();
    void placementOnScreens();

    void firstShowIsCentredAndNotSaved();
    void savedPlaceOffEveryScreenIsBroughtBack();
    void hideAndShowKeepPlaceAndWindow();
    void draggingTheBackgroundMovesAndSaves();
    void pressesOnKeysAndFrozenPanelsDoNotMove();
    void sizeFollowsTheContent();
    void focusSwitchKeepsTheWindowAndReturnsTheFocus();
    void withoutCompositorTheWindowIsClippedToTheCard();

private:
    FloatingPanel& shownPanel();

    struct Env {
        QTemporaryDir dir;
        SettingsStore store{dir.filePath(QStringLiteral("runeboard.conf"))};
        RecordingWindowSystem windows;
        FloatingPanel panel{store, windows};
    };
    std::unique_ptr<Env> m;
    TestContent* m_content = nullptr;
};

void TestFloatingPanel::init() {
    m = std::make_unique<Env>();
    m_content = new TestContent;
    m->panel.setContent(m_content);
}

void TestFloatingPanel::cleanup() {
    m.reset();
}

FloatingPanel& TestFloatingPanel::shownPanel() {
    m->panel.orderFront();
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&m->panel);
    return m->panel;
}

void TestFloatingPanel::savedFrameText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("frame"); // null: unreadable
    QTest::newRow("plain") << "10 20 300 90" << QRect(10, 20, 300, 90);
    QTest::newRow("negative origin") << "-1280 -5 226 90" << QRect(-1280, -5, 226, 90);
    QTest::newRow("extra blanks") << " 1  2 3 4 " << QRect(1, 2, 3, 4);
    QTest::newRow("three numbers") << "1 2 3" << QRect();
    QTest::newRow("empty size") << "1 2 0 4" << QRect();
    QTest::newRow("not numbers") << "a b c d" << QRect();
    QTest::newRow("absurd") << "99999999999 0 10 10" << QRect();
}

void TestFloatingPanel::savedFrameText() {
    QFETCH(QString, text);
    QFETCH(QRect, frame);
    const std::optional<QRect> parsed = FloatingPanel::parseFrame(text);
    QCOMPARE(parsed.value_or(QRect()), frame);
    if (parsed)
        QCOMPARE(FloatingPanel::parseFrame(FloatingPanel::frameText(*parsed)), parsed);
}

void TestFloatingPanel::placementOnScreens_data() {
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("expected");
    // Two screens side by side: 0..1919 and 1920..3199 (the second 1280 × 1024).
    QTest::newRow("inside") << QRect(100, 100, 226, 90) << QRect(100, 100, 226, 90);
    QTest::newRow("mostly off, a corner still on")
        << QRect(1880, 1040, 226, 90) << QRect(1880, 1040, 226, 90);
    QTest::newRow("only a sliver on") << QRect(1900, 1050, 226, 90) << QRect(1920, 934, 226, 90);
    QTest::newRow("on the second screen") << QRect(2500, 900, 226, 90) << QRect(2500, 900, 226, 90);
    QTest::newRow("where a third screen was") << QRect(3500, 300, 226, 90) << QRect(2974, 300, 226, 90);
    QTest::newRow("below the second screen") << QRect(2500, 1500, 226, 90) << QRect(2500, 934, 226, 90);
    QTest::newRow("above and left of everything") << QRect(-900, -400, 226, 90) << QRect(0, 0, 226, 90);
    QTest::newRow("larger than the screen") << QRect(5000, 0, 1500, 90) << QRect(1920, 0, 1500, 90);
}

void TestFloatingPanel::placementOnScreens() {
    QFETCH(QRect, frame);
    QFETCH(QRect, expected);
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    QCOMPARE(FloatingPanel::placedOnScreens(frame, screens), expected);
}

void TestFloatingPanel::firstShowIsCentredAndNotSaved() {
    FloatingPanel& panel = shownPanel();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(panel.size(), QSize(200, 100));
    QVERIFY(qAbs(panel.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(panel.geometry().center().y() - screen.center().y()) <= 1);
    QCOMPARE(m->windows.roles, QList<QByteArray>{"keyboard"});
    QCOMPARE(m->windows.preparedShows, 1);
    QCOMPARE(panel.windowTitle(), QStringLiteral("Runeboard Keyboard"));
    QVERIFY(panel.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    QVERIFY(panel.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QTest::qWait(400);
    // Centring is no choice of the user's: with nothing saved the next start centres again.
    QVERIFY(!m->store.contains(positionKey()));
}

void TestFloatingPanel::savedPlaceOffEveryScreenIsBroughtBack() {
    const QString saved = QStringLiteral("40000 40 200 100");
    m->store.setString(positionKey(), saved);
    FloatingPanel& panel = shownPanel();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(panel.geometry()));
    QTest::qWait(400);
    // The saved place stays for when that screen comes back.
    QCOMPARE(m->store.string(positionKey()), saved);
}

void TestFloatingPanel::hideAndShowKeepPlaceAndWindow() {
    m->store.setString(positionKey(), QStringLiteral("30 40 200 100"));
    FloatingPanel& panel = shownPanel();
    QCOMPARE(panel.pos(), QPoint(30, 40));
    QWindow* window = panel.windowHandle();
    QSignalSpy appeared(&panel, &FloatingPanel::appeared);
    QTRY_COMPARE(appeared.count(), 1);
    panel.orderOut();
    QVERIFY(!panel.isVisible());
    panel.orderFront();
    QVERIFY(panel.isVisible());
    QCOMPARE(panel.windowHandle(), window);
    QCOMPARE(panel.pos(), QPoint(30, 40));
    // The window manager forgets desktop and states on hide; they are given again.
    QCOMPARE(m->windows.preparedShows, 2);
    QTest::qWait(50);
    QCOMPARE(appeared.count(), 1);
}

void TestFloatingPanel::draggingTheBackgroundMovesAndSaves() {
    m->store.setString(positionKey(), QStringLiteral("30 40 200 100"));
    FloatingPanel& panel = shownPanel();
    drag(m_content, QPoint(10, 10), QPoint(60, 35));
    QCOMPARE(m_content->presses, 0);
    QTRY_COMPARE(panel.pos(), QPoint(80, 65));
    QTRY_COMPARE(m->store.string(positionKey()), QStringLiteral("80 65 200 100"));

    // Back to exactly where it was restored: that is a choice too, and saved.
    drag(m_content, QPoint(10, 10), QPoint(-40, -15));
    QTRY_COMPARE(panel.pos(), QPoint(30, 40));
    QTRY_COMPARE(m->store.string(positionKey()), QStringLiteral("30 40 200 100"));
}

void TestFloatingPanel::pressesOnKeysAndFrozenPanelsDoNotMove() {
    m->store.setString(positionKey(), QStringLiteral("30 40 200 100"));
    FloatingPanel& panel = shownPanel();
    drag(m_content, QPoint(100, 10), QPoint(150, 35));
    QCOMPARE(m_content->presses, 1);

    panel.setMovableByBackground(false);
    drag(m_content, QPoint(10, 10), QPoint(60, 35));
    QCOMPARE(m_content->presses, 2);
    QTest::qWait(50);
    QCOMPARE(panel.pos(), QPoint(30, 40));
}

void TestFloatingPanel::sizeFollowsTheContent() {
    FloatingPanel& panel = shownPanel();
    m_content->size = QSize(514, 210);
    m_content->updateGeometry();
    QTRY_COMPARE(panel.size(), QSize(514, 210));
    m_content->size = QSize(226, 90);
    m_content->updateGeometry();
    QTRY_COMPARE(panel.size(), QSize(226, 90));
}

void TestFloatingPanel::focusSwitchKeepsTheWindowAndReturnsTheFocus() {
    FloatingPanel& panel = shownPanel();
    QWindow* window = panel.windowHandle();
    m->windows.active = 4242; // the editor the user types into

    QCOMPARE(m->windows.acceptsFocus, std::optional<bool>(false));
    panel.setAllowFocus(true);
    QCOMPARE(m->windows.acceptsFocus, std::optional<bool>(true));
    QVERIFY(!window->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    QVERIFY(!panel.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    QVERIFY(panel.isVisible());
    panel.makeKeyWindow();
    QTRY_VERIFY(panel.isActiveWindow());
    m->windows.active = panel.winId();

    panel.setAllowFocus(false);
    QCOMPARE(m->windows.acceptsFocus, std::optional<bool>(false));
    QVERIFY(window->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    QVERIFY(panel.isVisible());
    QCOMPARE(panel.windowHandle(), window);
    QCOMPARE(m->windows.activated, QList<WindowSystem::WindowId>{4242});

    // Giving up a focus the panel does not have moves nobody's focus.
    panel.setAllowFocus(true);
    m->windows.active = 77;
    panel.setAllowFocus(false);
    QCOMPARE(m->windows.activated.size(), 1);
}

void TestFloatingPanel::withoutCompositorTheWindowIsClippedToTheCard() {
    FloatingPanel& panel = shownPanel();
    QCOMPARE(m_content->translucent, std::optional<bool>(false));
    QVERIFY(!panel.mask().isEmpty());
    QVERIFY(!panel.mask().contains(QPoint(0, 0)));   // a rounded corner
    QVERIFY(panel.mask().contains(QPoint(100, 50))); // the middle of the card

    m->windows.setCompositing(true);
    QCOMPARE(m_content->translucent, std::optional<bool>(true));
    QVERIFY(panel.mask().isEmpty());
    QVERIFY(panel.isTranslucent());
}

QTEST_MAIN(TestFloatingPanel)
#include "tst_floatingpanel.moc"
