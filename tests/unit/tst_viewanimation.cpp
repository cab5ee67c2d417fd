#include "ManualViewClock.h"
#include "keyboard/view/ViewAnimation.h"

#include <QTest>

class TestViewAnimation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void springs_data() {
        QTest::addColumn<double>("response");
        QTest::addColumn<double>("damping");
        QTest::addColumn<bool>("overshoots");
        QTest::addColumn<int>("settledByMs");
        QTest::newRow("panel spring") << 0.5 << 1.0 << false << 1200;
        QTest::newRow("move spring") << 0.3 << 0.8 << true << 800;
        QTest::newRow("settle spring") << 0.3 << 0.75 << true << 800;
    }
    void springs() {
        QFETCH(double, response);
        QFETCH(double, damping);
        QFETCH(bool, overshoots);
        QFETCH(int, settledByMs);
        AnimatedValue v(0, 0.05);
        v.set(100, ViewAnimation{ViewAnimation::Kind::Spring, response, damping, 0}, 0);
        double peak = 0, previous = 0;
        bool monotonic = true;
        for (qint64 t = 0; t <= settledByMs; t += 4) {
            const double x = v.value(t);
            peak = std::max(peak, x);
            monotonic = monotonic && x >= previous - 1e-9;
            previous = x;
        }
        QCOMPARE(peak > 100.05, overshoots);
        QCOMPARE(monotonic, !overshoots);
        QVERIFY(!v.isMoving(settledByMs));
        QCOMPARE(v.value(settledByMs), 100.0);
        // About halfway within the first fifth of the response.
        QVERIFY(v.value(qint64(response * 200)) > 20);
    }

    void retargetingKeepsTheValueAndItsSpeed() {
        AnimatedValue v(0, 0.05);
        const ViewAnimation spring = ViewAnimation::moveSpring();
        v.set(100, spring, 0);
        const double at = v.value(100), before = v.value(96);
        v.set(-50, spring, 100);
        QCOMPARE(v.value(100), at);
        // Still moving up just after the new target was set below.
        QVERIFY(v.value(104) - at > 0.5 * (at - before));
        QVERIFY(!v.isMoving(2000));
        QCOMPARE(v.value(2000), -50.0);
    }

    void withoutAnimationItJumps() {
        AnimatedValue v(3);
        v.set(7, std::nullopt, 10);
        QCOMPARE(v.value(10), 7.0);
        QVERIFY(!v.isMoving(10));
    }

    void easeInOutTakesItsDuration() {
        AnimatedValue v(0, 0.001);
        v.set(1, ViewAnimation::standard(), 1000);
        QCOMPARE(v.value(1000), 0.0);
        QVERIFY(qAbs(v.value(1175) - 0.5) < 0.01);
        QVERIFY(v.value(1050) < 0.1); // eased in
        QVERIFY(v.isMoving(1349));
        QVERIFY(!v.isMoving(1350));
        QCOMPARE(v.value(1350), 1.0);
    }

    void pulseBreathesForever() {
        AnimatedValue v(1, 0.001);
        v.pulse(0.92, 100);
        QCOMPARE(v.value(100), 1.0);
        QVERIFY(qAbs(v.value(400) - 0.92) < 1e-6);
        QVERIFY(qAbs(v.value(700) - 1.0) < 1e-6);
        QVERIFY(qAbs(v.value(100 + 600 * 50 + 300) - 0.92) < 1e-6);
        QVERIFY(v.isMoving(1'000'000));
        v.set(1, ViewAnimation::standard(), 250);
        QVERIFY(!v.isMoving(600));
        QCOMPARE(v.value(600), 1.0);
    }

    void manualClockRunsTasksInOrder() {
        ManualViewClock clock;
        QStringList ran;
        clock.schedule(300, [&] { ran << QStringLiteral("300@%1").arg(clock.now()); });
        const int cancelled = clock.schedule(100, [&] { ran << QStringLiteral("cancelled"); });
        clock.schedule(0, [&] {
            ran << QStringLiteral("0@%1").arg(clock.now());
            clock.schedule(0, [&] { ran << QStringLiteral("next turn"); });
        });
        clock.cancel(cancelled);
        clock.advance(0);
        QCOMPARE(ran, QStringList({"0@0", "next turn"}));
        clock.advance(1000);
        QCOMPARE(ran.last(), QStringLiteral("300@300"));
        QCOMPARE(clock.now(), 1000);
        QCOMPARE(clock.pendingCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestViewAnimation)
#include "tst_viewanimation.moc"
