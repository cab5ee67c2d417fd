#include "ConfigDir.h"
#include "StdoutCapture.h"
#include "palettes/PaletteManager.h"
#include "palettes/PaletteMerge.h"
#include "palettes/PresetCatalogue.h"
#include "storage/SettingsStore.h"

#include <QSignalSpy>
#include <QTest>

namespace {
const QString sep(customSymbolSeparator);

QUuid idOf(const PaletteManager& manager, const QString& name) {
    for (const SymbolPalette& p : manager.palettes()) {
        if (p.name == name)
            return p.id;
    }
    return {};
}

QStringList names(const QList<SymbolPalette>& palettes) {
    QStringList list;
    for (const SymbolPalette& p : palettes)
        list.append(p.name);
    return list;
}

// Sets written as "A1 B2*": set A with custom characters "1", set B with "2", main.
QList<SymbolPalette> sets(const QString& spec) {
    QList<SymbolPalette> list;
    for (const QString& word : spec.split(u' ', Qt::SkipEmptyParts)) {
        const QUuid id = QUuid::createUuidV5(QUuid(), word.left(1));
        list.append({id, word.left(1), {}, word.mid(1).remove(u'*'), word.endsWith(u'*'), false, false});
    }
    return list;
}

QString specOf(const QList<SymbolPalette>& list) {
    QStringList words;
    for (const SymbolPalette& p : list)
        words.append(p.name + p.customCharacters + (p.isMain ? QStringLiteral("*") : QString()));
    return words.join(u' ');
}
} // namespace

class TestPaletteManager : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writesTheExactDocument();
    void strictReadingRejects_data();
    void strictReadingRejects();
    void readingAcceptsLenientForms();
    void symbols_data();
    void symbols();
    void appendingCustomSymbol_data();
    void appendingCustomSymbol();
    void firstRunChoosesMainByLanguage_data();
    void firstRunChoosesMainByLanguage();
    void firstRunWritesNothingUntilTheFirstChange();
    void undecodableSetsAreToldAndKept_data();
    void undecodableSetsAreToldAndKept();
    void operationsKeepTheRules();
    void handEditedListLoadsUnchanged();
    void restoreDiscardsUserSets();
    void merge_data();
    void merge();
    void twoRunebardsSharingTheFileKeepBothEdits();
};

void TestPaletteManager::writesTheExactDocument() {
    const SymbolPalette greek{*SymbolPalette::parseId(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e")),
                              QStringLiteral("Greek \"α\""),
                              QStringLiteral("αβ"),
                              QStringLiteral("x") + sep + QStringLiteral("yz"),
                              true,
                              false,
                              false};
    QCOMPARE(QString::fromUtf8(SymbolPalette::encodeList({greek})),
             QStringLiteral("[{\"id\":\"0F8FAD5B-D9CB-469F-A165-70867728950E\",\"name\":\"Greek \\\"α\\\"\","
                            "\"baseCharacters\":\"αβ\",\"customCharacters\":\"x\\u001fyz\",\"isMain\":true,"
                            "\"isAdditional\":false,\"isSystem\":false}]"));
    QList<SymbolPalette> list = presetCatalogue();
    list.append(greek);
    list[5].customCharacters = QStringLiteral("a\\b\n\t") + sep + QStringLiteral("👨‍👩‍👧");
    QCOMPARE(SymbolPalette::decodeList(SymbolPalette::encodeList(list), nullptr), list);
}

void TestPaletteManager::strictReadingRejects_data() {
    QTest::addColumn<QByteArray>("json");
    const QByteArray ok = R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"n","baseCharacters":"a",)"
                          R"("customCharacters":"","isMain":false,"isAdditional":false)";
    const QByteArray whole = "[" + ok + R"(,"isSystem":true}])";
    QTest::newRow("missing isSystem") << QByteArray("[" + ok + "}]");
    QTest::newRow("number for a boolean") << QByteArray(whole).replace(R"("isMain":false)", R"("isMain":1)");
    QTest::newRow("null name") << QByteArray(whole).replace(R"("name":"n")", R"("name":null)");
    QTest::newRow("short id") << QByteArray(whole).replace("950E", "950");
    QTest::newRow("braced id")
        << QByteArray(whole).replace("\"0F8FAD5B", "\"{0F8FAD5B").replace("950E", "950E}");
    QTest::newRow("not hexadecimal") << QByteArray(whole).replace("0F8F", "0G8F");
    QTest::newRow("object, not list") << QByteArray(ok + R"(,"isSystem":true})");
    QTest::newRow("element not object") << QByteArray("[1]");
    QTest::newRow("not JSON") << QByteArray("[{oops");
}

void TestPaletteManager::strictReadingRejects() {
    QFETCH(QByteArray, json);
    QString error;
    QVERIFY(!SymbolPalette::decodeList(json, &error));
    QVERIFY(!error.isEmpty());
}

void TestPaletteManager::readingAcceptsLenientForms() {
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

void TestPaletteManager::symbols_data() {
    QTest::addColumn<bool>("base");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("symbols");
    QTest::newRow("custom: empty") << false << QString() << QStringList();
    QTest::newRow("custom: plain text, one per character") << false << "abc" << QStringList{"a", "b", "c"};
    QTest::newRow("custom: separated keeps pieces whole")
        << false << ("a" + sep + "bc") << QStringList{"a", "bc"};
    QTest::newRow("custom: empty pieces dropped") << false << (sep + sep + "a" + sep) << QStringList{"a"};
    QTest::newRow("base: combining acute") << true << "e\u0301a" << QStringList{"e\u0301", "a"};
    QTest::newRow("base: family emoji")
        << true << "👨‍👩‍👧x" << QStringList{"👨‍👩‍👧", "x"};
    QTest::newRow("base: separator is a character") << true << ("a" + sep) << QStringList{"a", sep};
}

void TestPaletteManager::symbols() {
    QFETCH(bool, base);
    QFETCH(QString, text);
    QFETCH(QStringList, symbols);
    SymbolPalette palette;
    (base ? palette.baseCharacters : palette.customCharacters) = text;
    QCOMPARE(base ? palette.baseSymbols() : palette.customSymbols(), symbols);
}

void TestPaletteManager::appendingCustomSymbol_data() {
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("result");
    QTest::newRow("to empty") << QString() << "x"
                              << "x";
    // Stays one symbol: without the trailing separator it would read back as "x", "y".
    QTest::newRow("several characters to empty") << QString() << "xy" << ("xy" + sep);
    QTest::newRow("one cluster to empty") << QString() << "e\u0301"
                                          << "e\u0301";
    QTest::newRow("plain form converted") << "xy"
                                          << "z" << ("x" + sep + "y" + sep + "z");
}

void TestPaletteManager::appendingCustomSymbol() {
    QFETCH(QString, existing);
    QFETCH(QString, symbol);
    QFETCH(QString, result);
    QCOMPARE(SymbolPalette::appendingCustomSymbol(existing, symbol), result);
}

void TestPaletteManager::firstRunChoosesMainByLanguage_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("main");
    for (const char* language : {"ru", "kk", "en", "de", "", "TR"})
        QTest::newRow(language) << language << "preset_kazakh_cyr";
    QTest::newRow("tr") << "tr"
                        << "preset_turkish";
}

void TestPaletteManager::firstRunChoosesMainByLanguage() {
    QFETCH(QString, language);
    QFETCH(QString, main);
    ConfigDir config;
    SettingsStore store(config.path());
    PaletteManager manager(store, language);
    QCOMPARE(manager.palettes().size(), 16);
    QCOMPARE(names(manager.quickAccessPalettes()), QStringList{main});
}

void TestPaletteManager::firstRunWritesNothingUntilTheFirstChange() {
    ConfigDir config;
    {
        SettingsStore store(config.path());
        PaletteManager manager(store, QStringLiteral("tr"));
        QVERIFY(!QFile::exists(config.path()));
        manager.toggleAdditional(idOf(manager, QStringLiteral("preset_german")));
    }
    SettingsStore reread(config.path());
    PaletteManager again(reread, QStringLiteral("en"));
    QCOMPARE(again.palettes().size(), 16);
    QCOMPARE(names(again.quickAccessPalettes()), (QStringList{"preset_turkish", "preset_german"}));
}

void TestPaletteManager::undecodableSetsAreToldAndKept_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("not JSON") << QByteArray("[{\"id\": typo");
    QTest::newRow("missing member") << QByteArray("[{\"id\":\"0F8FAD5B-D9CB-469F-A165-70867728950E\"}]");
}

void TestPaletteManager::undecodableSetsAreToldAndKept() {
    QFETCH(QByteArray, value);
    ConfigDir config;
    SettingsStore(config.path()).setData(PaletteManager::storageKey, value);
    const QByteArray original = config.bytes();

    StdoutCapture output;
    SettingsStore store(config.path());
    PaletteManager manager(store, QStringLiteral("en"));
    QCoreApplication::processEvents();
    QCOMPARE(manager.palettes().size(), 16);
    QCOMPARE(output.lines().filter(QStringLiteral("[PaletteManager] Failed to decode palettes: ")).size(), 1);
    QCOMPARE(output.lines().filter(QStringLiteral("\"savedSymbolPalettes__v2\":")).size(), 1);

    manager.deletePalette(manager.palettes().first().id);
    QCOMPARE(config.onlyCopy(), original);
    QCOMPARE(SymbolPalette::decodeList(*store.data(PaletteManager::storageKey), nullptr)->size(), 15);
}

void TestPaletteManager::operationsKeepTheRules() {
    ConfigDir config;
    SettingsStore store(config.path());
    PaletteManager manager(store, QStringLiteral("en"));
    QSignalSpy published(&manager, &PaletteManager::palettesChanged);
    const QUuid main = manager.mainPalette()->id;
    const QUuid german = idOf(manager, QStringLiteral("preset_german"));
    const QUuid french = idOf(manager, QStringLiteral("preset_french"));

    manager.toggleAdditional(main); // the main set is never additional
    manager.toggleAdditional(german);
    manager.toggleAdditional(french);
    manager.toggleAdditional(idOf(manager, QStringLiteral("preset_polish"))); // a third is refused
    QCOMPARE(names(manager.additionalPalettes()), (QStringList{"preset_german", "preset_french"}));
    QCOMPARE(published.count(), 2);

    manager.setMainPalette(german);
    QCOMPARE(names(manager.quickAccessPalettes()), (QStringList{"preset_german", "preset_french"}));
    QVERIFY(!manager.palette(main)->isMain && !manager.palette(main)->isAdditional);

    manager.deletePalette(german); // deleting the main set promotes nothing
    QVERIFY(!manager.mainPalette());
    QCOMPARE(names(manager.quickAccessPalettes()), QStringList{"preset_french"});
    const auto stored = SymbolPalette::decodeList(*store.data(PaletteManager::storageKey), nullptr);
    QCOMPARE(*stored, manager.palettes());
}

void TestPaletteManager::handEditedListLoadsUnchanged() {
    ConfigDir config;
    SettingsStore store(config.path());
    QList<SymbolPalette> list = sets(QStringLiteral("P Q R S*"));
    for (int i = 0; i < 3; ++i)
        list[i].isAdditional = true;
    store.setData(PaletteManager::storageKey, SymbolPalette::encodeList(list));
    PaletteManager manager(store, QStringLiteral("en"));
    QCOMPARE(manager.palettes(), list);
    QCOMPARE(names(manager.quickAccessPalettes()), (QStringList{"S", "P", "Q"}));
    manager.toggleAdditional(list[3].id);
    QCOMPARE(manager.palettes(), list);
}

void TestPaletteManager::restoreDiscardsUserSets() {
    ConfigDir config;
    SettingsStore store(config.path());
    PaletteManager manager(store, QStringLiteral("tr"));
    const QList<SymbolPalette> before = manager.palettes();
    manager.addPalette(sets(QStringLiteral("Gαβ")).first());
    manager.restoreFactoryDefaults();
    QCOMPARE(names(manager.palettes()), names(before));
    QCOMPARE(manager.mainPalette()->name, QStringLiteral("preset_turkish"));
    QVERIFY(manager.palettes().first().id != before.first().id);
}

void TestPaletteManager::merge_data() {
    QTest::addColumn<QString>("base"); // "-": no readable list when this process read the file
    QTest::addColumn<QString>("mine");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const char* base, const char* mine, const char* theirs,
                        const char* expected) { QTest::newRow(name) << base << mine << theirs << expected; };
    row("only they changed a set", "A B", "A B", "A B2", "A B2");
    row("each changed another set", "A B C", "A1 B C", "A B C3", "A1 B C3");
    row("both changed one set: ours", "A B", "A1 B", "A2 B", "A1 B");
    row("they deleted an untouched set", "A B", "A B", "A", "A");
    row("they deleted a set we edited", "A B", "A B1", "A", "A B1");
    row("we deleted a set they edited", "A B", "A", "A B2", "A");
    row("both added", "A", "A B", "A C", "A C B");
    row("both chose a main set: ours", "A* B C", "A B* C", "A B C*", "A B* C");
    row("nothing readable before: both kept", "-", "A", "B", "B A");
}

void TestPaletteManager::merge() {
    QFETCH(QString, base);
    QFETCH(QString, mine);
    QFETCH(QString, theirs);
    QFETCH(QString, expected);
    const std::optional<QList<SymbolPalette>> baseList =
        base == QLatin1String("-") ? std::nullopt : std::optional(sets(base));
    QCOMPARE(specOf(PaletteMerge::merged(baseList, sets(mine), sets(theirs))), expected);
}

// Two Runeboards on two displays, one configuration: a set turned off on one
// stays off after an edit on the other.
void TestPaletteManager::twoRunebardsSharingTheFileKeepBothEdits() {
    ConfigDir config;
    SettingsStore firstStore(config.path());
    PaletteManager first(firstStore, QStringLiteral("en"));
    const QUuid german = idOf(first, QStringLiteral("preset_german"));
    first.toggleAdditional(german);
    SettingsStore secondStore(config.path());
    PaletteManager second(secondStore, QStringLiteral("en"));
    QCOMPARE(second.additionalPalettes().size(), 1);

    first.toggleAdditional(german);
    SymbolPalette french = *second.palette(idOf(second, QStringLiteral("preset_french")));
    french.customCharacters = QStringLiteral("x");
    QVERIFY(second.updatePalette(french)); // before the other's change was noticed
    QVERIFY(second.additionalPalettes().isEmpty());

    QSignalSpy published(&first, &PaletteManager::palettesChanged);
    QTRY_COMPARE(first.palette(french.id)->customCharacters, QStringLiteral("x"));
    QCOMPARE(published.count(), 1);
    SettingsStore reread(config.path());
    const auto stored = SymbolPalette::decodeList(*reread.data(PaletteManager::storageKey), nullptr);
    QCOMPARE(*stored, second.palettes());
    QCOMPARE(*stored, first.palettes());
}

QTEST_GUILESS_MAIN(TestPaletteManager)
#include "tst_palettemanager.moc"
