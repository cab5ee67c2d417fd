// The start-up trace the benchmarks read: times count from the clock reading
// they hand over, and each line names its phase with the memory then.
#include "StdoutCapture.h"
#include "platform/StartupTrace.h"

#include <QRegularExpression>
#include <QTest>

#include <ctime>

class TestStartupTrace : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void linesCountFromTheHandedOverClock() {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const double startedMs = double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6 - 250;
        qputenv("RUNEBOARD_TRACE_STARTUP", QByteArray::number(startedMs, 'f', 3));

        StdoutCapture captured(STDERR_FILENO);
        QVERIFY(StartupTrace::enabled());
        StartupTrace::mark("first phase");
        StartupTrace::mark("second phase");
        const QStringList lines = captured.lines();
        QCOMPARE(lines.size(), 2);
        const QRegularExpression shape(QStringLiteral(R"(^\[Start\] +(\d+\.\d) ms +(\d+\.\d) MB  (.+)$)"));
        double previous = 0;
        for (int i = 0; i < 2; ++i) {
            const QRegularExpressionMatch match = shape.match(lines.at(i));
            QVERIFY2(match.hasMatch(), qPrintable(lines.at(i)));
            const double ms = match.captured(1).toDouble();
            QVERIFY2(ms >= 250 && ms < 60000, qPrintable(lines.at(i)));
            QVERIFY(ms >= previous);
            previous = ms;
            QVERIFY(match.captured(2).toDouble() > 0);
            QCOMPARE(match.captured(3), i == 0 ? u"first phase" : u"second phase");
        }
    }
};

QTEST_GUILESS_MAIN(TestStartupTrace)
#include "tst_startuptrace.moc"
