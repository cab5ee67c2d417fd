// The paste queue over a recording clipboard and keystroke: what it offers,
// when it presses the keys, what it joins, what it reports as lost, and when
// the user's clipboard comes back. Each row is a script of what happens
// around the queue and the log the clipboard and keystroke must have seen.
#include "RecordingPasteClipboard.h"
#include "RecordingPasteKeystroke.h"
#include "platform/paste/PasteQueue.h"

#include <QCoreApplication>
#include <QTest>

class TestPasteQueue : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void followsTheScript_data() {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("lost");

        const auto words = [](const char* text) { return QString::fromUtf8(text).split(u' '); };
        // "paste:X" queues X; "sent"/"refused" answer the keystroke; "read" is a program reading
        // the offer; "copy" the user copying something; "wait" lets the timers run; "finish" ends.
        QTest::newRow("what waits during a paste leaves as one")
            << words("paste:ŋ paste:ə paste:😀 sent read sent read wait")
            << QStringList({"save", "offer ŋ", "keys", "offer ə😀", "keys", "restore"}) << QStringList();
        QTest::newRow("a read before the keys' answer counts")
            << words("paste:ŋ read sent wait") << QStringList({"save", "offer ŋ", "keys", "restore"})
            << QStringList();
        QTest::newRow("no second paste before the first is read")
            << words("paste:ŋ sent paste:ə paste:∞") << QStringList({"save", "offer ŋ", "keys"})
            << QStringList();
        QTest::newRow("keys refused: said, and the next goes on")
            << words("paste:ŋ paste:ə refused sent read wait")
            << QStringList({"save", "offer ŋ", "keys", "offer ə", "keys", "restore"})
            << QStringList{QStringLiteral("ŋ")};
        QTest::newRow("never read: said after the time-out, the clipboard put back")
            << words("paste:ŋ sent wait") << QStringList({"save", "offer ŋ", "keys", "restore"})
            << QStringList{QStringLiteral("ŋ")};
        QTest::newRow("a paste while the last one settles: one copy, one restore")
            << words("paste:ŋ sent read paste:ə sent read wait")
            << QStringList({"save", "offer ŋ", "keys", "offer ə", "keys", "restore"}) << QStringList();
        QTest::newRow("the next burst copies the clipboard again")
            << words("paste:ŋ sent read wait paste:ə sent read wait")
            << QStringList({"save", "offer ŋ", "keys", "restore", "save", "offer ə", "keys", "restore"})
            << QStringList();
        QTest::newRow("the user's new copy during a paste is not overwritten")
            << words("paste:ŋ sent copy read wait") << QStringList({"save", "offer ŋ", "keys", "forget"})
            << QStringList();
        QTest::newRow("the user's new copy while settling is not overwritten")
            << words("paste:ŋ sent read copy wait") << QStringList({"save", "offer ŋ", "keys", "forget"})
            << QStringList();
        QTest::newRow("after the user's copy the next paste keeps that one")
            << words("paste:ŋ sent copy read paste:ə sent read wait")
            << QStringList({"save", "offer ŋ", "keys", "forget", "save", "offer ə", "keys", "restore"})
            << QStringList();
        // A receiver may still be reading the last paste; a new clipboard would cut it short.
        QTest::newRow("finish while the last paste settles restores after its moment, not before")
            << words("paste:ŋ sent read finish") << QStringList({"save", "offer ŋ", "keys"}) << QStringList();
        QTest::newRow("... and then restores")
            << words("paste:ŋ sent read finish wait")
            << QStringList({"save", "offer ŋ", "keys", "restore", "finished"}) << QStringList();
        QTest::newRow("... or ends when the user copies meanwhile")
            << words("paste:ŋ sent read finish copy")
            << QStringList({"save", "offer ŋ", "keys", "forget", "finished"}) << QStringList();
        QTest::newRow("finish drops what waits and restores at once; late answers change nothing")
            << words("paste:ŋ paste:ə finish sent read wait")
            << QStringList({"save", "offer ŋ", "keys", "restore", "finished"}) << QStringList();
    }
    void followsTheScript() {
        QFETCH(QStringList, script);
        QFETCH(QStringList, log);
        QFETCH(QStringList, lost);

        QStringList seen;
        RecordingPasteClipboard clipboard(seen);
        RecordingPasteKeystroke keystroke(seen);
        PasteQueue queue(clipboard, keystroke, PasteQueue::Timing{0, 0});
        QStringList failed;
        int idles = 0;
        connect(&queue, &PasteQueue::failed, this, [&](const QString& text, const QString& why) {
            QVERIFY(!why.isEmpty());
            failed.append(text);
            // Said before the queue reports being idle, so that whoever counts until then sees it.
            QCOMPARE(idles, 0);
        });
        connect(&queue, &PasteQueue::finished, this, [&] { seen.append(QStringLiteral("finished")); });
        connect(&queue, &PasteQueue::idle, this, [&] {
            ++idles;
            QVERIFY(queue.isIdle());
        });
        for (const QString& step : script) {
            if (step.startsWith(QLatin1String("paste:"))) {
                queue.paste(step.mid(6));
                QVERIFY(!queue.isIdle());
            } else if (step == QLatin1String("sent") || step == QLatin1String("refused")) {
                Q_EMIT keystroke.sent(step == QLatin1String("sent"), QStringLiteral("no focused window"));
            } else if (step == QLatin1String("read")) {
                Q_EMIT clipboard.read();
            } else if (step == QLatin1String("copy")) {
                Q_EMIT clipboard.replaced();
            } else if (step == QLatin1String("finish")) {
                queue.finish();
            } else {
                // A time-out of 0 ms fires on the next pass of the loop, the restore on the one after.
                for (int pass = 0; pass < 3; ++pass)
                    QCoreApplication::processEvents();
            }
        }
        QCOMPARE(seen, log);
        QCOMPARE(failed, lost);
    }
};

QTEST_GUILESS_MAIN(TestPasteQueue)
#include "tst_pastequeue.moc"
