#include "DataRows.h"
#include "names/CldrNameData.h"
#include "names/NameIndex.h"

#include <QtTest>

#include <memory>

// Searching symbols by name. The index is built once: it is the slow part.
namespace {
// Rows of a query and the symbol it finds first, written "query=symbol|query=symbol…".
void queryRows(const char16_t* rows) {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("first");
    for (const QString& row : QString::fromUtf16(rows).split(u'|'))
        QTest::newRow(qPrintable(row.section(u'=', 0, 0))) << row.section(u'=', 0, 0) << row.section(u'=', 1);
}
} // namespace

class TestNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        m_index = std::make_unique<NameIndex>();
        m_haveCldr = CldrNameData::size > 0;
        QVERIFY(m_index->nameCount() > 30000);
    }

    // Queries answered by the Unicode names alone, in English, whatever the build found.
    void firstResult_data() {
        // Letters and IPA; case and accents do not matter, capitals prefer capitals; maths,
        // punctuation, currency, arrows; a code point named directly.
        queryRows(u"eng=ŋ|lat sm eng=ŋ|eng small latin=ŋ|schwa=ə|ezh=ʒ|glottal stop=ʔ|"
                  u"e acute=é|thorn=þ|alpha=α|greek capital omega=Ω|ENG=Ŋ|schwä=ə|ÉSH=Ʃ|"
                  u"infinity=∞|not equal=≠|plus minus=±|square root=√|em dash=—|degree=°|"
                  u"tenge=₸|hryvnia=₴|bitcoin=₿|arrow right=→|U+14B=ŋ|u+1f600=😀");
    }

    void firstResult() {
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
    void russianNeedsTheCldrTable_data() {
        queryRows(
            u"тенге=₸|евро=€|рубль=₽|бесконечность=∞|не равно=≠|"
            u"квадратный корень=√|стрелка вправо=➡|градус=°|длинное тире=—|"
            u"многоточие=…|паровоз=🚂|ёлка=🌲|ЕЛКА=🌲|новогодняя елка=🎄|сумма=∑|"
            u"плюс минус=±|thumbs up=👍|grinning face=😀|christmas tree=🎄");
    }

    void russianNeedsTheCldrTable() {
        if (!m_haveCldr)
            QSKIP("built without the CLDR data");
        firstResult();
    }

    void noMatch_data() {
        QTest::addColumn<QString>("query");
        QTest::newRow("nothing") << QString();
        QTest::newRow("no such word") << QStringLiteral("qqzzxx");
        QTest::newRow("one word of two fits") << QStringLiteral("eng qqzzxx");
        QTest::newRow("no such code point") << QStringLiteral("U+110000");
        QTest::newRow("500 characters in words") << QStringLiteral("eng arrow qz ").repeated(38);
    }

    void noMatch() {
        QFETCH(QString, query);
        QVERIFY(m_index->find(query, 20).isEmpty());
    }

    void resultsAreDistinctAndLimited() {
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

    void nameOf_data() {
        // Beyond the first plane, and a sequence of two: the flag.
        stringRows(
            {"symbol", "language", "name", "table", "codePoints"},
            {{"letter", "ŋ", "en", "latin small letter eng", "Unicode", "U+014B"},
             {"letter in Russian", "ŋ", "ru", "latin small letter eng", "Unicode", "U+014B"},
             {"unassigned", "\u0378", "en", "", "Unicode", "U+0378"},
             {"two letters", "ab", "en", "", "Unicode", "U+0061 U+0062"},
             {"arrow in Russian", "→", "ru", "стрелка «направо»", "CLDR", "U+2192"},
             {"emoji with a presentation selector", "❤️", "en", "red heart", "CLDR", "U+2764 U+FE0F"},
             {"flag", "🇩🇪", "ru", "флаг: Германия", "CLDR", "U+1F1E9 U+1F1EA"}});
    }

    void nameOf() {
        QFETCH(QString, symbol);
        QFETCH(QString, language);
        QFETCH(QString, name);
        QFETCH(QString, table);
        QFETCH(QString, codePoints);
        QCOMPARE(NameIndex::codePoints(symbol), codePoints);
        if (table == QLatin1String("CLDR") && !m_haveCldr)
            QSKIP("built without the CLDR data");
        QCOMPARE(m_index->nameOf(symbol, language), name);
    }

private:
    std::unique_ptr<NameIndex> m_index;
    bool m_haveCldr = false;
};

QTEST_GUILESS_MAIN(TestNames)
#include "tst_names.moc"
