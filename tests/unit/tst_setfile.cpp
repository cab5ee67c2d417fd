#include "sets/SetFile.h"

#include <QTemporaryDir>
#include <QtTest>

// Sets as text files: what is read back, and what is refused with nothing made.
class TestSetFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decode_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("problem");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("base");
        QTest::addColumn<QStringList>("added");
        const int none = int(SetFile::Problem::None);
        const QByteArray written =
            "Runeboard set\nName: Phonetics\nBase keys:\nə\nŋ\nAdded keys:\neng\ne\xcc\x81\n";
        QTest::newRow("as written") << written << none << "Phonetics" << QStringList{"ə", "ŋ"}
                                    << QStringList{"eng", "e\u0301"};
        QTest::newRow("byte order mark and CRLF")
            << "\xef\xbb\xbf" + QByteArray(written).replace("\n", "\r\n") << none << "Phonetics"
            << QStringList{"ə", "ŋ"} << QStringList{"eng", "e\u0301"};
        QTest::newRow("no name: the file's") << QByteArray("Runeboard set\nAdded keys:\n→\n") << none
                                             << "file" << QStringList{} << QStringList{"→"};
        QTest::newRow("plain text: each character a key, blanks left out")
            << QByteArray("ä ö\nü\te\xcc\x81\n") << none << "file" << QStringList{"ä", "ö", "ü", "e\u0301"}
            << QStringList{};
        QTest::newRow("control characters dropped, long keys cut to seven")
            << QByteArray("Runeboard set\nAdded keys:\na\x1b\x7f"
                          "b\nabcdefghij\n")
            << none << "file" << QStringList{} << QStringList{"ab", "abcdefg"};
        QTest::newRow("10,000 symbols") << QByteArray("x").repeated(10000) << none << "file"
                                        << QStringList(10000, QStringLiteral("x")) << QStringList{};

        QTest::newRow("not UTF-8") << QByteArray("abc\xff\xfe") << int(SetFile::Problem::NotText) << ""
                                   << QStringList{} << QStringList{};
        QTest::newRow("empty") << QByteArray() << int(SetFile::Problem::Empty) << "" << QStringList{}
                               << QStringList{};
        QTest::newRow("a header and no keys")
            << QByteArray("Runeboard set\nName: X\nBase keys:\n") << int(SetFile::Problem::Empty) << ""
            << QStringList{} << QStringList{};
        QTest::newRow("10,001 symbols") << QByteArray("x").repeated(10001) << int(SetFile::Problem::TooLarge)
                                        << "" << QStringList{} << QStringList{};
    }

    void decode() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, problem);
        QFETCH(QString, name);
        QFETCH(QStringList, base);
        QFETCH(QStringList, added);
        const SetFile::Result read = SetFile::decode(bytes, QStringLiteral("file"));
        QCOMPARE(int(read.problem), problem);
        QCOMPARE(read.set.has_value(), problem == int(SetFile::Problem::None));
        if (!read.set)
            return;
        QCOMPARE(read.set->name, name);
        QCOMPARE(read.set->baseSymbols(), base);
        QCOMPARE(read.set->customSymbols(), added);
        QVERIFY(!read.set->id.isNull() && !read.set->isMain && !read.set->isSystem);
    }

    void filesThatCannotBeReadOrWritten() {
        QTemporaryDir dir;
        const SetFile::Result missing = SetFile::read(dir.filePath(QStringLiteral("missing.txt")));
        QCOMPARE(int(missing.problem), int(SetFile::Problem::CannotOpen));
        QVERIFY(!missing.detail.isEmpty());

        QFile big(dir.filePath(QStringLiteral("big.txt")));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(SetFile::maximumBytes + 1));
        big.close();
        QCOMPARE(int(SetFile::read(big.fileName()).problem), int(SetFile::Problem::TooLarge));

        QString detail;
        const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/set.txt"));
        QCOMPARE(int(SetFile::write(nowhere, QStringLiteral("x"), SymbolSet{}, &detail)),
                 int(SetFile::Problem::CannotWrite));
        QVERIFY(!detail.isEmpty() && !QFile::exists(nowhere));
    }
};

QTEST_GUILESS_MAIN(TestSetFile)
#include "tst_setfile.moc"
