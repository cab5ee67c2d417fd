#include "ConfigDir.h"
#include "DataRows.h"
#include "StdoutCapture.h"
#include "sets/PresetCatalogue.h"
#include "sets/SetMerge.h"
#include "sets/SetStore.h"
#include "storage/SettingsStore.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace {
const QString sep(customSymbolSeparator);

QUuid idOf(const SetStore& manager, const QString& name) {
    const QList<SymbolSet> all = manager.sets();
    return std::ranges::find(all, name, &SymbolSet::name)->id;
}

QStringList names(const QList<SymbolSet>& sets) {
    QStringList list;
    for (const SymbolSet& p : sets)
        list.append(p.name);
    return list;
}

// Sets written as "A1 B2* C+": set A with custom characters "1", set B with
// "2" and main, set C additional.
QList<SymbolSet> sets(const QString& words) {
    QList<SymbolSet> list;
    for (QString word : words.split(u' ', Qt::SkipEmptyParts)) {
        const bool isMain = word.endsWith(u'*'), isAdditional = word.endsWith(u'+');
        if (isMain || isAdditional)
            word.chop(1);
        const QString name = word.left(1);
        list.append({QUuid::createUuidV5(QUuid(), name), name, {}, word.mid(1), isMain, isAdditional, false});
    }
    return list;
}

QString described(const QList<SymbolSet>& list) {
    QStringList words;
    for (const SymbolSet& p : list)
        words.append(p.name + p.customCharacters + (p.isMain ? "*" : p.isAdditional ? "+" : ""));
    return words.join(u' ');
}

} // namespace

class TestSetStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writesTheExactDocument() {
        const QUuid id = *SymbolSet::parseId(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"));
        const SymbolSet greek{id, "Greek \"α\"", "αβ", "x" + sep + "yz", true, false, false};
        QCOMPARE(
            QString::fromUtf8(SymbolSet::encodeList({greek})),
            QStringLiteral("[{\"id\":\"0F8FAD5B-D9CB-469F-A165-70867728950E\",\"name\":\"Greek \\\"α\\\"\","
                           "\"baseCharacters\":\"αβ\",\"customCharacters\":\"x\\u001fyz\",\"isMain\":true,"
                           "\"isAdditional\":false,\"isSystem\":false}]"));
        QList<SymbolSet> list = presetCatalogue();
        list.append(greek);
        list[5].customCharacters =
            "a\\b\n\t" + sep + "👨‍👩‍👧" + QChar(0xDDDD); // a lone surrogate too
        QCOMPARE(SymbolSet::decodeList(SymbolSet::encodeList(list), nullptr), list);
    }

    void reading_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("rewritten"); // empty: refused
        const QByteArray ok =
            R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"n","baseCharacters":"a",)"
            R"("customCharacters":"","isMain":false,"isAdditional":false)";
        const QByteArray whole = "[" + ok + R"(,"isSystem":true}])";
        const auto row = [](const char* name, const QByteArray& json, const QByteArray& rewritten = {}) {
            QTest::newRow(name) << json << rewritten;
        };
        row("missing isSystem", "[" + ok + "}]");
        row("object, not list", ok + R"(,"isSystem":true})");
        row("not JSON", "[{oops");
        row("lower-case id, other order, extra member",
            R"([{"isSystem":true,"extra":[1],"customCharacters":"","isAdditional":false,"isMain":false,)"
            R"("baseCharacters":"a","name":"n","id":"0f8fad5b-d9cb-469f-a165-70867728950e"}])",
            whole);
    }

    void reading() {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, rewritten);
        QString error;
        const auto decoded = SymbolSet::decodeList(json, &error);
        QCOMPARE(error.isEmpty(), decoded.has_value());
        QCOMPARE(decoded ? SymbolSet::encodeList(*decoded) : QByteArray(), rewritten);
    }

    void symbols_data() {
        QTest::addColumn<bool>("base");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("appended"); // null: nothing appended
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("symbols");
        const auto row = [](const char* name, bool base, const QString& text, const QString& appended,
                            const QString& result, const QStringList& symbols) {
            QTest::newRow(name) << base << text << appended << result << symbols;
        };
        const QString none;
        row("custom: plain text, one per character", false, "abc", none, "abc", {"a", "b", "c"});
        row("custom: separated keeps pieces whole", false, "a" + sep + "bc", none, "a" + sep + "bc",
            {"a", "bc"});
        row("custom: empty pieces dropped", false, sep + sep + "a" + sep, none, sep + sep + "a" + sep, {"a"});
        // Stays one symbol: without the trailing separator it would read back as "x", "y".
        row("several characters appended to empty", false, "", "xy", "xy" + sep, {"xy"});
        row("one cluster appended to empty", false, "", "e\u0301", "e\u0301", {"e\u0301"});
        row("plain form converted", false, "xy", "z", "x" + sep + "y" + sep + "z", {"x", "y", "z"});
        row("base: combining acute", true, "e\u0301a", none, "e\u0301a", {"e\u0301", "a"});
        row("base: separator is a character", true, "a" + sep, none, "a" + sep, {"a", sep});
    }

    void symbols() {
        QFETCH(bool, base);
        QFETCH(QString, text);
        QFETCH(QString, appended);
        QFETCH(QString, result);
        QFETCH(QStringList, symbols);
        SymbolSet set;
        (base ? set.baseCharacters : set.customCharacters) =
            appended.isNull() ? text : SymbolSet::appendingCustomSymbol(text, appended);
        QCOMPARE(base ? set.baseCharacters : set.customCharacters, result);
        QCOMPARE(base ? set.baseSymbols() : set.customSymbols(), symbols);
    }

    void firstRunChoosesMainByLanguage_data() {
        stringRows({"language", "main"}, {{"ru", "ru", "preset_kazakh_cyr"},
                                          {"none", "", "preset_kazakh_cyr"},
                                          {"TR", "TR", "preset_kazakh_cyr"},
                                          {"tr", "tr", "preset_turkish"}});
    }

    void firstRunChoosesMainByLanguage() {
        QFETCH(QString, language);
        QFETCH(QString, main);
        ConfigDir config;
        {
            SettingsStore store(config.path());
            SetStore manager(store, language);
            QCOMPARE(manager.sets().size(), 16);
            QCOMPARE(names(manager.quickAccessSets()), QStringList{main});
            QVERIFY(!QFile::exists(config.path())); // nothing written until the first change
            manager.toggleAdditional(idOf(manager, QStringLiteral("preset_german")));
        }
        SettingsStore reread(config.path());
        SetStore again(reread, QStringLiteral("tr"));
        QCOMPARE(names(again.quickAccessSets()), (QStringList{main, "preset_german"}));
    }

    void undecodableSetsAreToldAndKept() {
        ConfigDir config;
        SettingsStore(config.path()).setValue(SettingKey::SavedSymbolSets, QByteArray("[{\"id\": typo"));
        const QByteArray original = config.bytes();

        StdoutCapture output;
        SettingsStore store(config.path());
        SetStore manager(store, QStringLiteral("en"));
        QCoreApplication::processEvents();
        QCOMPARE(manager.sets().size(), 16);
        QCOMPARE(
            output.lines().filter(QStringLiteral("[SetStore] Failed to decode the stored sets: ")).size(), 1);
        QCOMPARE(output.lines().filter(QStringLiteral("\"savedSymbolPalettes__v2\":")).size(), 1);

        manager.deleteSet(manager.sets().first().id);
        QCOMPARE(config.onlyCopy(), original);
        QCOMPARE(SymbolSet::decodeList(*store.data(SettingKey::SavedSymbolSets), nullptr)->size(), 15);
    }

    void operations_data() {
        // operation: +X toggles X additional, *X makes it main, -X deletes it
        stringRows({"stored", "operation", "expected", "quickAccess"},
                   {{"the main set is never additional", "A* B", "+A", "A* B", "A"},
                    {"a third additional set is refused", "A* B+ C+ D", "+D", "A* B+ C+ D", "A B C"},
                    {"removing is never refused", "A* B+ C+", "+B", "A* B C+", "A C"},
                    {"a new main set is no longer additional", "A* B+", "*B", "A B*", "B"},
                    {"deleting the main set promotes nothing", "A* B+", "-A", "B+", "B"},
                    {"hand-edited list loads as it is", "A+ B+ C+ D*", "", "A+ B+ C+ D*", "D A B"},
                    {"stored empty list stays empty", "", "", "", ""}});
    }

    void operations() {
        QFETCH(QString, stored);
        QFETCH(QString, operation);
        QFETCH(QString, expected);
        QFETCH(QString, quickAccess);
        ConfigDir config;
        SettingsStore store(config.path());
        store.setValue(SettingKey::SavedSymbolSets, SymbolSet::encodeList(sets(stored)));
        SetStore manager(store, QStringLiteral("en"));
        const QUuid target = QUuid::createUuidV5(QUuid(), operation.mid(1));
        if (operation.startsWith(u'+'))
            manager.toggleAdditional(target);
        else if (operation.startsWith(u'*'))
            manager.setMainSet(target);
        else if (operation.startsWith(u'-'))
            manager.deleteSet(target);
        QCOMPARE(described(manager.sets()), expected);
        QCOMPARE(names(manager.quickAccessSets()).join(u' '), quickAccess);
        QCOMPARE(SymbolSet::decodeList(*store.data(SettingKey::SavedSymbolSets), nullptr), manager.sets());
    }

    void merge_data() {
        // base "-": no readable list when this process read the file
        stringRows({"base", "mine", "theirs", "expected"},
                   {{"each changed another set", "A B C", "A1 B C", "A B C3", "A1 B C3"},
                    {"both changed one set: ours", "A B", "A1 B", "A2 B", "A1 B"},
                    {"they deleted an untouched set", "A B", "A B", "A", "A"},
                    {"they deleted a set we edited", "A B", "A B1", "A", "A B1"},
                    {"we deleted a set they edited", "A B", "A", "A B2", "A"},
                    {"both added", "A", "A B", "A C", "A C B"},
                    {"both chose a main set: ours", "A* B C", "A B* C", "A B C*", "A B* C"},
                    {"nothing readable before: both kept", "-", "A", "B", "B A"}});
    }

    void merge() {
        QFETCH(QString, base);
        QFETCH(QString, mine);
        QFETCH(QString, theirs);
        QFETCH(QString, expected);
        const std::optional<QList<SymbolSet>> baseList =
            base == QLatin1String("-") ? std::nullopt : std::optional(sets(base));
        QCOMPARE(described(SetMerge::merged(baseList, sets(mine), sets(theirs))), expected);
    }

    // Two Runeboards on two displays, one configuration: a set turned off on one
    // stays off after an edit on the other.
    void twoRunebardsSharingTheFileKeepBothEdits() {
        ConfigDir config;
        SettingsStore firstStore(config.path());
        SetStore first(firstStore, QStringLiteral("en"));
        const QUuid german = idOf(first, QStringLiteral("preset_german"));
        first.toggleAdditional(german);
        SettingsStore secondStore(config.path());
        SetStore second(secondStore, QStringLiteral("en"));
        QCOMPARE(second.additionalSets().size(), 1);

        first.toggleAdditional(german);
        SymbolSet french = *second.find(idOf(second, QStringLiteral("preset_french")));
        french.customCharacters = QStringLiteral("x");
        QVERIFY(second.updateSet(french)); // before the other's change was noticed
        QVERIFY(second.additionalSets().isEmpty());

        QSignalSpy published(&first, &SetStore::setsChanged);
        QTRY_COMPARE(first.find(french.id)->customCharacters, QStringLiteral("x"));
        QCOMPARE(published.count(), 1);
        SettingsStore reread(config.path());
        const auto stored = SymbolSet::decodeList(*reread.data(SettingKey::SavedSymbolSets), nullptr);
        QCOMPARE(*stored, second.sets());
        QCOMPARE(*stored, first.sets());
    }
};

QTEST_GUILESS_MAIN(TestSetStore)
#include "tst_setstore.moc"
