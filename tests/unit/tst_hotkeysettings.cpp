#include "hotkeys/HotkeySettings.h"
#include "storage/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QByteArray defaultText = "{\"toggleKeyboard\":{\"keyCode\":40,\"modifiers\":2560},"
                               "\"switchPalette1\":{\"keyCode\":18,\"modifiers\":2560},"
                               "\"switchPalette2\":{\"keyCode\":19,\"modifiers\":2560},"
                               "\"switchPalette3\":{\"keyCode\":20,\"modifiers\":2560}}";

// A readable document whose values all differ from the defaults.
const QByteArray customText = "{\"toggleKeyboard\":{\"keyCode\":0,\"modifiers\":0},"
                              "\"switchPalette1\":{\"keyCode\":122,\"modifiers\":4096},"
                              "\"switchPalette2\":{\"keyCode\":0,\"modifiers\":256},"
                              "\"switchPalette3\":{\"keyCode\":4294967295,\"modifiers\":512}}";

QByteArray replaced(QByteArray text, const QByteArray& from, const QByteArray& to) {
    Q_ASSERT(text.contains(from));
    return text.replace(from, to);
}
} // namespace

class TestHotkeySettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void nothingStoredGivesDefaultsAndWritesNothing();
    void loading_data();
    void loading();
    void assignmentSavesEvenWhenUnchanged();
    void resetAssignsInOrderAndSavesEachTime();
    void unreadableValueIsCopiedBeforeTheFirstWrite_data();
    void unreadableValueIsCopiedBeforeTheFirstWrite();
    void readableValueIsNotCopied();
    void valueThatCannotBeCopiedIsNotReplaced();

private:
    QStringList copies() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
};

void TestHotkeySettings::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("runeboard.conf")));
}

QStringList TestHotkeySettings::copies() const {
    return QDir(m_dir->path())
        .entryList({HotkeySettings::storageKey + QStringLiteral(".unreadable-*")}, QDir::Files);
}

void TestHotkeySettings::nothingStoredGivesDefaultsAndWritesNothing() {
    HotkeySettings settings(*m_store);
    QCOMPARE(settings.encoded(), defaultText);
    QCOMPARE(settings.toggleKeyboard(), (HotkeyConfig{40, 2560}));
    QVERIFY(!m_store->contains(HotkeySettings::storageKey));
}

void TestHotkeySettings::loading_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("expected"); // what the four values encode to after loading

    QTest::newRow("custom values kept as stored") << customText << customText;
    const QByteArray cleared =
        replaced(defaultText, "\"keyCode\":19,\"modifiers\":2560", "\"keyCode\":0,\"modifiers\":0");
    QTest::newRow("empty combination kept") << cleared << cleared;
    QTest::newRow("other member order, extra members ignored")
        << QByteArray("{\"switchPalette3\":{\"modifiers\":512,\"keyCode\":4294967295,\"label\":\"x\"},"
                      "\"version\":2,\"switchPalette2\":{\"keyCode\":0,\"modifiers\":256},"
                      "\"switchPalette1\":{\"keyCode\":122,\"modifiers\":4096},"
                      "\"toggleKeyboard\":{\"keyCode\":0,\"modifiers\":0}}")
        << customText;
    const QByteArray spaced = " {\n \"toggleKeyboard\" : {\"keyCode\": 0, \"modifiers\": 0}," +
                              customText.mid(customText.indexOf("\"switchPalette1\""));
    QTest::newRow("with whitespace") << spaced << customText;

    // Any unreadable part gives all four defaults, also those that were readable.
    const QByteArray firstMember = "\"toggleKeyboard\":{\"keyCode\":0,\"modifiers\":0}";
    const auto broken = [](const char* name, const QByteArray& stored) {
        QTest::newRow(name) << stored << defaultText;
    };
    broken("member missing",
           replaced(customText, ",\"switchPalette3\":{\"keyCode\":4294967295,\"modifiers\":512}", ""));
    broken("keyCode missing", replaced(customText, firstMember, "\"toggleKeyboard\":{\"modifiers\":0}"));
    broken("negative", replaced(customText, "\"modifiers\":4096", "\"modifiers\":-1"));
    broken("above 32 bits", replaced(customText, "\"modifiers\":4096", "\"modifiers\":4294967296"));
    broken("fraction", replaced(customText, "\"keyCode\":122", "\"keyCode\":40.5"));
    broken("string instead of number", replaced(customText, "\"keyCode\":122", "\"keyCode\":\"122\""));
    broken("null instead of number", replaced(customText, "\"keyCode\":122", "\"keyCode\":null"));
    broken("member not an object", replaced(customText, firstMember, "\"toggleKeyboard\":[0,0]"));
    broken("not JSON", "toggleKeyboard=K");
    broken("truncated", customText.left(customText.size() - 1));
    broken("array at the top", QByteArray("[") + customText + "]");
    broken("empty", QByteArray());
}

void TestHotkeySettings::loading() {
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, expected);
    m_store->setData(HotkeySettings::storageKey, stored);
    QFile file(m_store->filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray fileBefore = file.readAll();
    file.close();

    HotkeySettings settings(*m_store);
    QCOMPARE(settings.encoded(), expected);

    // Loading never writes, whatever it found.
    QCOMPARE(m_store->data(HotkeySettings::storageKey), std::optional<QByteArray>(stored));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), fileBefore);
    QVERIFY(copies().isEmpty());
}

void TestHotkeySettings::assignmentSavesEvenWhenUnchanged() {
    HotkeySettings settings(*m_store);
    QSignalSpy own(&settings, &HotkeySettings::switchPalette2Changed);
    QSignalSpy other(&settings, &HotkeySettings::toggleKeyboardChanged);
    QSignalSpy any(&settings, &HotkeySettings::changed);

    settings.setSwitchPalette2(settings.switchPalette2());
    QCOMPARE(m_store->data(HotkeySettings::storageKey), std::optional<QByteArray>(defaultText));
    QCOMPARE(own.count(), 1);
    QCOMPARE(other.count(), 0);
    QCOMPARE(any.count(), 1);

    settings.setSwitchPalette2(HotkeyConfig{});
    SettingsStore reopened(m_store->filePath());
    HotkeySettings reloaded(reopened);
    QCOMPARE(reloaded.switchPalette2(), HotkeyConfig{}); // a cleared hotkey stays cleared
    QCOMPARE(reloaded.switchPalette3(), (HotkeyConfig{20, 2560}));
}

void TestHotkeySettings::resetAssignsInOrderAndSavesEachTime() {
    m_store->setData(HotkeySettings::storageKey, customText);
    HotkeySettings settings(*m_store);

    // At each notification the store already holds what was just assigned.
    QStringList order;
    QList<QByteArray> storedAtEach;
    auto record = [&](const QString& name) {
        order << name;
        storedAtEach << m_store->data(HotkeySettings::storageKey).value_or(QByteArray());
    };
    connect(&settings, &HotkeySettings::toggleKeyboardChanged, this, [&] { record(QStringLiteral("K")); });
    connect(&settings, &HotkeySettings::switchPalette1Changed, this, [&] { record(QStringLiteral("1")); });
    connect(&settings, &HotkeySettings::switchPalette2Changed, this, [&] { record(QStringLiteral("2")); });
    connect(&settings, &HotkeySettings::switchPalette3Changed, this, [&] { record(QStringLiteral("3")); });
    QSignalSpy any(&settings, &HotkeySettings::changed);

    settings.resetToDefaults();

    QCOMPARE(order, (QStringList{"K", "1", "2", "3"}));
    QCOMPARE(any.count(), 4);
    QCOMPARE(storedAtEach.size(), 4);
    QCOMPARE(storedAtEach.first(),
             replaced(customText, "\"keyCode\":0,\"modifiers\":0", "\"keyCode\":40,\"modifiers\":2560"));
    QCOMPARE(storedAtEach.last(), defaultText);
    QCOMPARE(settings.encoded(), defaultText);
}

void TestHotkeySettings::unreadableValueIsCopiedBeforeTheFirstWrite_data() {
    QTest::addColumn<bool>("asText");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("broken JSON") << false << QByteArray("{\"toggleKeyboard\":{\"keyCode\":40,,}");
    QTest::newRow("one member unreadable")
        << false << replaced(customText, "\"keyCode\":122", "\"keyCode\":40.5");
    QTest::newRow("hand-written as plain text") << true << QByteArray("ctrl+alt+k");
}

void TestHotkeySettings::unreadableValueIsCopiedBeforeTheFirstWrite() {
    QFETCH(bool, asText);
    QFETCH(QByteArray, stored);
    if (asText)
        m_store->setString(HotkeySettings::storageKey, QString::fromUtf8(stored));
    else
        m_store->setData(HotkeySettings::storageKey, stored);

    HotkeySettings settings(*m_store);
    QCOMPARE(settings.encoded(), defaultText);
    QVERIFY(copies().isEmpty()); // loading alone keeps the value where it is

    settings.setToggleKeyboard(HotkeyConfig{122, 4096});
    const QStringList made = copies();
    QCOMPARE(made.size(), 1);
    QFile copy(QDir(m_dir->path()).filePath(made.first()));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), stored);
    QCOMPARE(m_store->data(HotkeySettings::storageKey),
             std::optional<QByteArray>(replaced(defaultText, "\"keyCode\":40,\"modifiers\":2560",
                                                "\"keyCode\":122,\"modifiers\":4096")));

    // The stored value is ours now: later writes make no more copies.
    settings.resetToDefaults();
    QCOMPARE(copies().size(), 1);
}

void TestHotkeySettings::readableValueIsNotCopied() {
    m_store->setData(HotkeySettings::storageKey, customText);
    HotkeySettings settings(*m_store);
    settings.resetToDefaults();
    QVERIFY(copies().isEmpty());
}

void TestHotkeySettings::valueThatCannotBeCopiedIsNotReplaced() {
    // A folder so deep that the configuration fits the system's path limit but
    // the longer name of the copy does not: the copy fails, the store works.
    QString folder = m_dir->path();
    while (folder.size() < 4060)
        folder += u'/' + QString(qMin(200, 4060 - int(folder.size()) - 1), u'd');
    QVERIFY(QDir().mkpath(folder));
    SettingsStore store(folder + QStringLiteral("/runeboard.conf"));
    const QByteArray broken = "{\"toggleKeyboard\":";
    store.setData(HotkeySettings::storageKey, broken);
    QVERIFY(store.isWritable());

    HotkeySettings settings(store);
    settings.setToggleKeyboard(HotkeyConfig{122, 4096});
    settings.setSwitchPalette1(HotkeyConfig{});
    QCOMPARE(settings.toggleKeyboard(), (HotkeyConfig{122, 4096})); // the change lives on in memory
    SettingsStore reopened(store.filePath());
    QCOMPARE(reopened.data(HotkeySettings::storageKey), std::optional<QByteArray>(broken));
}

QTEST_GUILESS_MAIN(TestHotkeySettings)
#include "tst_hotkeysettings.moc"
