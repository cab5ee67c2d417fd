#include "names/CldrNameData.h"
#include "names/NameIndex.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

// Searching symbols by name. The index is built once: it is the slow part.
class TestNames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void firstResult_data();
    void firstResult();
    void russianNeedsTheCldrTable_data();
    void russianNeedsTheCldrTable();
    void noMatch_data();
    void noMatch();
    void resultsAreDistinctAndLimited();
    void nameOf_data();
    void nameOf();
    void codePoints_data();
    void codePoints();

private:
    std::unique_ptr<NameIndex> m_index;
    bool m_haveCldr = false;
};

void TestNames::initTestCase() {
    m_index = std::make_unique<NameIndex>();
    m_haveCldr = CldrNameData::size > 0;
    QVERIFY(m_index->nameCount() > 30000);
}

// Queries answered by the Unicode names alone, in English, whatever the build found.
void TestNames::firstResult_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("first");
    const QList<std::pair<const char*, const char*>> rows = {
        // letters and IPA
        {"eng", "ŋ"},
        {"lat sm eng", "ŋ"},
        {"eng small latin", "ŋ"},
        {"schwa", "ə"},
        {"esh", "ʃ"},
        {"ezh", "ʒ"},
        {"glottal stop", "ʔ"},
        {"e acute", "é"},
        {"thorn", "þ"},
        {"alpha", "α"},
        {"greek capital omega", "Ω"},
        // case and accents do not matter; capitals prefer capitals
        {"ENG", "Ŋ"},
        {"Eng", "Ŋ"},
        {"schwä", "ə"},
        {"ÉSH", "Ʃ"},
        // maths
        {"infinity", "∞"},
        {"not equal", "≠"},
        {"integral", "∫"},
        {"plus minus", "±"},
        {"square root", "√"},
        // punctuation
        {"em dash", "—"},
        {"ellipsis", "…"},
        {"section", "§"},
        {"degree", "°"},
        // currency
        {"tenge", "₸"},
        {"euro", "€"},
        {"hryvnia", "₴"},
        {"bitcoin", "₿"},
        // arrows
        {"arrow right", "→"},
        {"arrow left", "←"},
        // a code point named directly
        {"U+14B", "ŋ"},
        {"u+1f600", "😀"},
    };
    for (const auto& [query, first] : rows)
        QTest::newRow(query) << QString::fromUtf8(query) << QString::fromUtf8(first);
    QTest::newRow("500 characters, words repeated")
        << QStringLiteral("arrow ").repeated(82) + QStringLiteral("right arrow") << QStringLiteral("→");
}

void TestNames::firstResult() {
    QFETCH(QString, query);
    QFETCH(QString, first);
    const QList<NameIndex::Match> matches = m_index->find(query, 8);
    QVERIFY2(!matches.isEmpty(), qPrintable(query));
    QStringList shown;
    for (const NameIndex::Match& match : matches)
        shown.append(match.symbol + QLatin1Char(' ') + match.name);
    QVERIFY2(matches.first().symbol == first, qPrintable(shown.join(QLatin1String(" / "))));
}

// The short names of emoji and the Russian names come from the CLDR table.
void TestNames::russianNeedsTheCldrTable_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("first");
    const QList<std::pair<const char*, const char*>> rows = {
        {"тенге", "₸"},
        {"Тенге", "₸"},
        {"евро", "€"},
        {"рубль", "₽"},
        {"фунт", "£"},
        {"бесконечность", "∞"},
        {"не равно", "≠"},
        {"квадратный корень", "√"},
        {"корень квадратный", "√"},
        {"стрелка вправо", "➡"},
        {"градус", "°"},
        {"длинное тире", "—"},
        {"многоточие", "…"},
        {"паровоз", "🚂"},
        {"ёлка", "🌲"},
        {"ЕЛКА", "🌲"},
        {"новогодняя елка", "🎄"},
        {"сумма", "∑"},
        {"плюс минус", "±"},
        {"thumbs up", "👍"},
        {"grinning face", "😀"},
        {"locomotive", "🚂"},
        {"christmas tree", "🎄"},
        {"pound", "£"},
        {"ruble", "₽"},
    };
    for (const auto& [query, first] : rows)
        QTest::newRow(query) << QString::fromUtf8(query) << QString::fromUtf8(first);
}

void TestNames::russianNeedsTheCldrTable() {
    if (!m_haveCldr)
        QSKIP("built without the CLDR data");
    firstResult();
}

void TestNames::noMatch_data() {
    QTest::addColumn<QString>("query");
    QTest::newRow("nothing") << QString();
    QTest::newRow("spaces and signs") << QStringLiteral("  -- !! ");
    QTest::newRow("no such word") << QStringLiteral("qqzzxx");
    QTest::newRow("one word of two fits") << QStringLiteral("eng qqzzxx");
    QTest::newRow("no such code point") << QStringLiteral("U+110000");
    QTest::newRow("unassigned code point") << QStringLiteral("U+0378");
    QTest::newRow("500 letters") << QString(500, u'a');
    QTest::newRow("500 characters in words") << QStringLiteral("eng arrow qz ").repeated(38);
}

void TestNames::noMatch() {
    QFETCH(QString, query);
    QVERIFY(m_index->find(query, 20).isEmpty());
}

void TestNames::resultsAreDistinctAndLimited() {
    // "heart" names the same emoji in both languages' tables and in Unicode.
    for (const QString& query : {QStringLiteral("heart"), QStringLiteral("a"), QStringLiteral("arrow")}) {
        const QList<NameIndex::Match> matches = m_index->find(query, 24);
        QCOMPARE(matches.size(), 24);
        QSet<QString> symbols;
        for (const NameIndex::Match& match : matches) {
            QVERIFY2(!symbols.contains(match.symbol), qPrintable(query + u' ' + match.symbol));
            symbols.insert(match.symbol);
            QVERIFY(!match.name.isEmpty());
        }
    }
    QCOMPARE(m_index->find(QStringLiteral("eng"), 0).size(), 0);
}

void TestNames::nameOf_data() {
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fromCldr");
    QTest::newRow("letter") << QStringLiteral("ŋ") << QStringLiteral("en")
                            << QStringLiteral("latin small letter eng") << false;
    QTest::newRow("letter in Russian")
        << QStringLiteral("ŋ") << QStringLiteral("ru") << QStringLiteral("latin small letter eng") << false;
    QTest::newRow("unassigned") << QStringLiteral("\u0378") << QStringLiteral("en") << QString() << false;
    QTest::newRow("two letters") << QStringLiteral("ab") << QStringLiteral("en") << QString() << false;
    QTest::newRow("arrow") << QStringLiteral("→") << QStringLiteral("en")
                           << QStringLiteral("right-pointing arrow") << true;
    QTest::newRow("arrow in Russian")
        << QStringLiteral("→") << QStringLiteral("ru") << QStringLiteral("стрелка «направо»") << true;
    QTest::newRow("emoji with a presentation selector")
        << QStringLiteral("❤️") << QStringLiteral("en") << QStringLiteral("red heart") << true;
    QTest::newRow("flag") << QStringLiteral("🇩🇪") << QStringLiteral("ru") << QStringLiteral("флаг: Германия")
                          << true;
}

void TestNames::nameOf() {
    QFETCH(QString, symbol);
    QFETCH(QString, language);
    QFETCH(QString, name);
    QFETCH(bool, fromCldr);
    if (fromCldr && !m_haveCldr)
        QSKIP("built without the CLDR data");
    QCOMPARE(m_index->nameOf(symbol, language), name);
}

void TestNames::codePoints_data() {
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("codePoints");
    QTest::newRow("one") << QStringLiteral("ŋ") << QStringLiteral("U+014B");
    QTest::newRow("beyond the first plane") << QStringLiteral("😀") << QStringLiteral("U+1F600");
    QTest::newRow("sequence") << QStringLiteral("🇩🇪") << QStringLiteral("U+1F1E9 U+1F1EA");
}

void TestNames::codePoints() {
    QFETCH(QString, symbol);
    QFETCH(QString, codePoints);
    QCOMPARE(NameIndex::codePoints(symbol), codePoints);
}

QTEST_GUILESS_MAIN(TestNames)
#include "tst_names.moc"
