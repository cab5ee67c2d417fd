#include "palettes/PresetCatalogue.h"
#include "palettes/SymbolPalette.h"

#include <QSet>
#include <QTest>

namespace {
const QString sep(customSymbolSeparator);

SymbolPalette sample() {
    return {*SymbolPalette::parseId(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e")),
            QStringLiteral("Greek \"α\""),
            QStringLiteral("αβ"),
            QStringLiteral("x") + sep + QStringLiteral("yz"),
            true,
            false,
            false};
}
} // namespace

class TestSymbolPalette : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writesTheExactDocument();
    void roundTripKeepsEveryField();
    void strictReadingRejects_data();
    void strictReadingRejects();
    void readingAcceptsLenientForms();
    void customSymbols_data();
    void customSymbols();
    void baseSymbolsAreGraphemeClusters_data();
    void baseSymbolsAreGraphemeClusters();
    void appendingCustomSymbol_data();
    void appendingCustomSymbol();
    void equalityAndHashCoverEveryField();
    void catalogueHasTheSixteenPresets();
};

void TestSymbolPalette::writesTheExactDocument() {
    const QByteArray json = SymbolPalette::encodeList({sample()});
    QCOMPARE(QString::fromUtf8(json),
             QStringLiteral("[{\"id\":\"0F8FAD5B-D9CB-469F-A165-70867728950E\",\"name\":\"Greek \\\"α\\\"\","
                            "\"baseCharacters\":\"αβ\",\"customCharacters\":\"x\\u001fyz\",\"isMain\":true,"
                            "\"isAdditional\":false,\"isSystem\":false}]"));
    QCOMPARE(SymbolPalette::encodeList({}), QByteArray("[]"));
}

void TestSymbolPalette::roundTripKeepsEveryField() {
    QList<SymbolPalette> list = presetCatalogue();
    list.append(sample());
    list[3].isAdditional = true;
    list[5].customCharacters = QStringLiteral("a\\b\n\t") + sep + QStringLiteral("👨‍👩‍👧");
    QString error;
    const auto decoded = SymbolPalette::decodeList(SymbolPalette::encodeList(list), &error);
    QVERIFY2(decoded, qPrintable(error));
    QCOMPARE(*decoded, list);
}

void TestSymbolPalette::strictReadingRejects_data() {
    QTest::addColumn<QByteArray>("json");
    const QByteArray ok = R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"n","baseCharacters":"a",)"
                          R"("customCharacters":"","isMain":false,"isAdditional":false)";
    QTest::newRow("missing isSystem") << QByteArray("[" + ok + "}]");
    QTest::newRow("number for a boolean")
        << QByteArray("[" + ok + R"(,"isSystem":0}])").replace(R"("isMain":false)", R"("isMain":1)");
    QTest::newRow("null name")
        << QByteArray("[" + ok + R"(,"isSystem":true}])").replace(R"("name":"n")", R"("name":null)");
    QTest::newRow("short id") << QByteArray("[" + ok + R"(,"isSystem":true}])").replace("950E", "950");
    QTest::newRow("braced id") << QByteArray("[" + ok + R"(,"isSystem":true}])")
                                      .replace(R"("0F8FAD5B-D9CB-469F-A165-70867728950E")",
                                               R"("{0F8FAD5B-D9CB-469F-A165-70867728950E}")");
    QTest::newRow("not hexadecimal")
        << QByteArray("[" + ok + R"(,"isSystem":true}])").replace("0F8F", "0G8F");
    QTest::newRow("object, not list") << QByteArray(ok + R"(,"isSystem":true})");
    QTest::newRow("element not object") << QByteArray("[1]");
    QTest::newRow("not JSON") << QByteArray("[{oops");
}

void TestSymbolPalette::strictReadingRejects() {
    QFETCH(QByteArray, json);
    QString error;
    QVERIFY(!SymbolPalette::decodeList(json, &error));
    QVERIFY(!error.isEmpty());
}

void TestSymbolPalette::readingAcceptsLenientForms() {
    // Lower-case identifier, any member order, upper-case escape, an extra member.
    const QByteArray json =
        R"([{"isSystem":true,"extra":[1,2],"customCharacters":"a\u001Fb","isAdditional":true,)"
        R"("isMain":false,"baseCharacters":"","name":"n","id":"0f8fad5b-d9cb-469f-a165-70867728950e"}])";
    const auto decoded = SymbolPalette::decodeList(json, nullptr);
    QVERIFY(decoded);
    QCOMPARE(decoded->first().customSymbols(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    const QByteArray rewritten = SymbolPalette::encodeList(*decoded);
    QVERIFY(!rewritten.contains("extra"));
    QVERIFY(rewritten.contains("\"id\":\"0F8FAD5B-D9CB-469F-A165-70867728950E\""));
}

void TestSymbolPalette::customSymbols_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("symbols");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("plain text, one per character") << QStringLiteral("abc") << QStringList{"a", "b", "c"};
    QTest::newRow("separated keeps pieces whole")
        << (QStringLiteral("a") + sep + QStringLiteral("bc")) << QStringList{"a", "bc"};
    QTest::newRow("empty pieces dropped") << (sep + sep + QStringLiteral("a") + sep) << QStringList{"a"};
    QTest::newRow("plain combining sequence") << QStringLiteral("e\u0301x") << QStringList{"e\u0301", "x"};
}

void TestSymbolPalette::customSymbols() {
    QFETCH(QString, text);
    QFETCH(QStringList, symbols);
    QCOMPARE(SymbolPalette::customSymbolsOf(text), symbols);
}

void TestSymbolPalette::baseSymbolsAreGraphemeClusters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("symbols");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("combining acute") << QStringLiteral("e\u0301a") << QStringList{"e\u0301", "a"};
    QTest::newRow("family emoji") << QStringLiteral("👨‍👩‍👧x")
                                  << QStringList{"👨‍👩‍👧", "x"};
    QTest::newRow("astral letter") << QStringLiteral("𝔸b") << QStringList{"𝔸", "b"};
    QTest::newRow("separator is a character here") << (QStringLiteral("a") + sep) << QStringList{"a", sep};
}

void TestSymbolPalette::baseSymbolsAreGraphemeClusters() {
    QFETCH(QString, text);
    QFETCH(QStringList, symbols);
    SymbolPalette palette;
    palette.baseCharacters = text;
    QCOMPARE(palette.baseSymbols(), symbols);
}

void TestSymbolPalette::appendingCustomSymbol_data() {
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("result");
    QTest::newRow("to empty") << QString() << QStringLiteral("x") << QStringLiteral("x");
    // Stays one symbol: without the trailing separator it would read back as "x", "y".
    QTest::newRow("several characters to empty")
        << QString() << QStringLiteral("xy") << (QStringLiteral("xy") + sep);
    QTest::newRow("one cluster to empty")
        << QString() << QStringLiteral("e\u0301") << QStringLiteral("e\u0301");
    QTest::newRow("to a list that reads empty") << (sep + sep) << QStringLiteral("x") << QStringLiteral("x");
    QTest::newRow("plain form converted")
        << QStringLiteral("xy") << QStringLiteral("z")
        << (QStringLiteral("x") + sep + QStringLiteral("y") + sep + QStringLiteral("z"));
    QTest::newRow("separated form") << (QStringLiteral("ab") + sep + QStringLiteral("c"))
                                    << QStringLiteral("👨‍👩‍👧")
                                    << (QStringLiteral("ab") + sep + QStringLiteral("c") + sep +
                                        QStringLiteral("👨‍👩‍👧"));
}

void TestSymbolPalette::appendingCustomSymbol() {
    QFETCH(QString, existing);
    QFETCH(QString, symbol);
    QFETCH(QString, result);
    QCOMPARE(SymbolPalette::appendingCustomSymbol(existing, symbol), result);
    QCOMPARE(SymbolPalette::customSymbolsOf(result).last(), symbol);
}

void TestSymbolPalette::equalityAndHashCoverEveryField() {
    const SymbolPalette base = sample();
    QList<SymbolPalette> variants(7, base);
    variants[0].id = QUuid::createUuid();
    variants[1].name += u'!';
    variants[2].baseCharacters += u'!';
    variants[3].customCharacters += u'!';
    variants[4].isMain = !base.isMain;
    variants[5].isAdditional = !base.isAdditional;
    variants[6].isSystem = !base.isSystem;
    QSet<SymbolPalette> set{base};
    for (const SymbolPalette& variant : variants) {
        QVERIFY(variant != base);
        set.insert(variant);
    }
    QCOMPARE(set.size(), 8);
    QVERIFY(set.contains(sample()));
}

void TestSymbolPalette::catalogueHasTheSixteenPresets() {
    const QList<SymbolPalette> first = presetCatalogue();
    const QList<SymbolPalette> second = presetCatalogue();
    QCOMPARE(first.size(), 16);
    const QList<qsizetype> counts{9, 7, 6, 4, 15, 5, 6, 9, 5, 5, 6, 10, 6, 12, 16, 14};
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(first[i].baseSymbols().size(), counts[i]);
        QCOMPARE(first[i].baseCharacters.size(), counts[i]); // all precomposed BMP code points
        QVERIFY(first[i].isSystem && !first[i].isMain && !first[i].isAdditional);
        QVERIFY(first[i].customCharacters.isEmpty());
        QCOMPARE(first[i].name, second[i].name);
        QVERIFY(first[i].id != second[i].id);
        QVERIFY(first[i].id != customPaletteID);
    }
    QCOMPARE(first[0].name, QStringLiteral("preset_kazakh_cyr"));
    QCOMPARE(first[0].baseCharacters.back(), QChar(0x0456));
    QVERIFY(first[2].baseCharacters.contains(QChar(0x0131)));
    QCOMPARE(first[8].baseCharacters.right(2), QStringLiteral("\u0219\u021B"));
    QCOMPARE(first[15].name, QStringLiteral("preset_typography"));
}

QTEST_GUILESS_MAIN(TestSymbolPalette)
#include "tst_symbolpalette.moc"
