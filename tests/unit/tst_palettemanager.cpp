#include "palettes/PaletteManager.h"
#include "storage/SettingsStore.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

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

} // namespace

class TestPaletteManager : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void firstRunChoosesMainByLanguage_data();
    void firstRunChoosesMainByLanguage();
    void firstRunWritesNothingUntilTheFirstChange();
    void storedEmptyListStaysEmpty();
    void unreadableValueIsCopiedBeforeItIsReplaced_data();
    void unreadableValueIsCopiedBeforeItIsReplaced();
    void toggleAdditionalKeepsTheLimits();
    void setMainPaletteDemotesTheOldMain();
    void deletingTheMainSetPromotesNothing();
    void handEditedListLoadsUnchanged();
    void restoreDiscardsUserSets();
    void everyChangeIsPublishedAndStored();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
};

void TestPaletteManager::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("runeboard.conf")));
}

void TestPaletteManager::firstRunChoosesMainByLanguage_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("main");
    QTest::newRow("tr") << "tr"
                        << "preset_turkish";
    QTest::newRow("ru") << "ru"
                        << "preset_kazakh_cyr";
    QTest::newRow("kk") << "kk"
                        << "preset_kazakh_cyr";
    QTest::newRow("en") << "en"
                        << "preset_kazakh_cyr";
    QTest::newRow("de") << "de"
                        << "preset_kazakh_cyr";
    QTest::newRow("none") << ""
                          << "preset_kazakh_cyr";
    QTest::newRow("TR is not tr") << "TR"
                                  << "preset_kazakh_cyr";
}

void TestPaletteManager::firstRunChoosesMainByLanguage() {
    QFETCH(QString, language);
    QFETCH(QString, main);
    PaletteManager manager(*m_store, language);
    QCOMPARE(manager.palettes().size(), 16);
    QCOMPARE(manager.mainPalette()->name, main);
    QVERIFY(manager.additionalPalettes().isEmpty());
    QCOMPARE(names(manager.quickAccessPalettes()), QStringList{main});
}

void TestPaletteManager::firstRunWritesNothingUntilTheFirstChange() {
    {
        PaletteManager manager(*m_store, QStringLiteral("tr"));
        QVERIFY(!m_store->contains(PaletteManager::storageKey));
        manager.toggleAdditional(idOf(manager, QStringLiteral("preset_german")));
    }
    SettingsStore reread(m_store->filePath());
    const auto stored = SymbolPalette::decodeList(*reread.data(PaletteManager::storageKey), nullptr);
    QVERIFY(stored);
    QCOMPARE(stored->size(), 16);
    PaletteManager again(reread, QStringLiteral("en"));
    QCOMPARE(names(again.quickAccessPalettes()), (QStringList{"preset_turkish", "preset_german"}));
}

void TestPaletteManager::storedEmptyListStaysEmpty() {
    m_store->setData(PaletteManager::storageKey, "[]");
    PaletteManager manager(*m_store, QStringLiteral("en"));
    QVERIFY(manager.palettes().isEmpty());
    QVERIFY(!manager.mainPalette());
    QVERIFY(manager.quickAccessPalettes().isEmpty());
}

void TestPaletteManager::unreadableValueIsCopiedBeforeItIsReplaced_data() {
    QTest::addColumn<bool>("asData");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("reportsDecodeFailure");
    QTest::newRow("not JSON") << true << QByteArray("[{\"id\": typo") << true;
    QTest::newRow("missing member") << true
                                    << QByteArray("[{\"id\":\"0F8FAD5B-D9CB-469F-A165-70867728950E\"}]")
                                    << true;
    QTest::newRow("text instead of data") << false << QByteArray("my sets") << false;
}

void TestPaletteManager::unreadableValueIsCopiedBeforeItIsReplaced() {
    QFETCH(bool, asData);
    QFETCH(QByteArray, value);
    QFETCH(bool, reportsDecodeFailure);
    if (asData)
        m_store->setData(PaletteManager::storageKey, value);
    else
        m_store->setString(PaletteManager::storageKey, QString::fromUtf8(value));
    const QString folder = QFileInfo(m_store->filePath()).absolutePath();
    const QStringList copyFilter{PaletteManager::storageKey + QStringLiteral(".unreadable-*")};

    PaletteManager manager(*m_store, QStringLiteral("en"));
    Q_UNUSED(reportsDecodeFailure); // the line itself goes to standard output
    QCOMPARE(manager.palettes().size(), 16);
    QVERIFY(QDir(folder).entryList(copyFilter).isEmpty()); // loading alone changes nothing

    manager.deletePalette(manager.palettes().first().id);
    const QStringList copies = QDir(folder).entryList(copyFilter);
    QCOMPARE(copies.size(), 1);
    QFile copy(folder + u'/' + copies.first());
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), value);
    QCOMPARE(SymbolPalette::decodeList(*m_store->data(PaletteManager::storageKey), nullptr)->size(), 15);

    manager.deletePalette(manager.palettes().first().id);
    QCOMPARE(QDir(folder).entryList(copyFilter).size(), 1); // copied once, not at every write
}

void TestPaletteManager::toggleAdditionalKeepsTheLimits() {
    PaletteManager manager(*m_store, QStringLiteral("en"));
    const QUuid main = manager.mainPalette()->id;
    const QUuid german = idOf(manager, QStringLiteral("preset_german"));
    const QUuid french = idOf(manager, QStringLiteral("preset_french"));
    const QUuid polish = idOf(manager, QStringLiteral("preset_polish"));

    manager.toggleAdditional(main);
    QVERIFY(manager.additionalPalettes().isEmpty());
    manager.toggleAdditional(german);
    manager.toggleAdditional(french);
    manager.toggleAdditional(polish); // a third is refused
    QCOMPARE(names(manager.additionalPalettes()), (QStringList{"preset_german", "preset_french"}));
    manager.toggleAdditional(german); // removing is never refused
    QCOMPARE(names(manager.additionalPalettes()), QStringList{"preset_french"});
    manager.toggleAdditional(QUuid::createUuid());
    QCOMPARE(names(manager.additionalPalettes()), QStringList{"preset_french"});
}

void TestPaletteManager::setMainPaletteDemotesTheOldMain() {
    PaletteManager manager(*m_store, QStringLiteral("en"));
    const QUuid oldMain = manager.mainPalette()->id;
    const QUuid german = idOf(manager, QStringLiteral("preset_german"));
    manager.toggleAdditional(german);
    manager.toggleAdditional(idOf(manager, QStringLiteral("preset_ipa")));

    manager.setMainPalette(german);
    QCOMPARE(manager.mainPalette()->id, german);
    QCOMPARE(names(manager.additionalPalettes()), QStringList{"preset_ipa"});
    const SymbolPalette former = *manager.palette(oldMain);
    QVERIFY(!former.isMain && !former.isAdditional);

    manager.setMainPalette(QUuid::createUuid()); // unknown: nothing is main any more
    QVERIFY(!manager.mainPalette());
}

void TestPaletteManager::deletingTheMainSetPromotesNothing() {
    PaletteManager manager(*m_store, QStringLiteral("en"));
    manager.toggleAdditional(idOf(manager, QStringLiteral("preset_ipa")));
    manager.deletePalette(manager.mainPalette()->id);
    QCOMPARE(manager.palettes().size(), 15);
    QVERIFY(!manager.mainPalette());
    QCOMPARE(names(manager.quickAccessPalettes()), QStringList{"preset_ipa"});
}

void TestPaletteManager::handEditedListLoadsUnchanged() {
    QList<SymbolPalette> list;
    for (int i = 0; i < 4; ++i)
        list.append({QUuid::createUuid(),
                     QStringLiteral("s%1").arg(i),
                     QStringLiteral("a"),
                     {},
                     i == 3,
                     i < 3,
                     false});
    m_store->setData(PaletteManager::storageKey, SymbolPalette::encodeList(list));
    PaletteManager manager(*m_store, QStringLiteral("en"));
    QCOMPARE(manager.palettes(), list);
    QCOMPARE(names(manager.additionalPalettes()), (QStringList{"s0", "s1"}));
    QCOMPARE(names(manager.quickAccessPalettes()), (QStringList{"s3", "s0", "s1"}));
    manager.toggleAdditional(list[3].id);
    QCOMPARE(manager.palettes(), list);
}

void TestPaletteManager::restoreDiscardsUserSets() {
    PaletteManager manager(*m_store, QStringLiteral("tr"));
    const QList<SymbolPalette> before = manager.palettes();
    manager.addPalette(
        {QUuid::createUuid(), QStringLiteral("Greek"), {}, QStringLiteral("αβ"), false, false, false});
    manager.restoreFactoryDefaults();
    QCOMPARE(names(manager.palettes()), names(before));
    QCOMPARE(manager.mainPalette()->name, QStringLiteral("preset_turkish"));
    for (int i = 0; i < before.size(); ++i)
        QVERIFY(manager.palettes()[i].id != before[i].id);
}

void TestPaletteManager::everyChangeIsPublishedAndStored() {
    PaletteManager manager(*m_store, QStringLiteral("en"));
    QSignalSpy spy(&manager, &PaletteManager::palettesChanged);
    SymbolPalette german = *manager.palette(idOf(manager, QStringLiteral("preset_german")));
    german.customCharacters = QStringLiteral("x");
    german.isSystem = false;
    QVERIFY(manager.updatePalette(german));
    QCOMPARE(spy.count(), 1);
    const auto stored = SymbolPalette::decodeList(*m_store->data(PaletteManager::storageKey), nullptr);
    QVERIFY(stored->contains(german));
    QVERIFY(!manager.updatePalette({QUuid::createUuid(), {}, {}, {}, false, false, false}));
    QCOMPARE(spy.count(), 1);
}

QTEST_GUILESS_MAIN(TestPaletteManager)
#include "tst_palettemanager.moc"
