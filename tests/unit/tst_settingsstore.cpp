#include "storage/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesReadOnlyAsTheirOwnKind_data();
    void valuesReadOnlyAsTheirOwnKind();
    void writesReachTheFileAtOnce();
    void unwritableFileKeepsValuesInMemoryAndSaysSoOnce();
    void preservedValueIsAByteExactCopy();
    void defaultPathFollowsXdgConfigHome();
};

void TestSettingsStore::valuesReadOnlyAsTheirOwnKind_data() {
    QTest::addColumn<QString>("fileText");
    QTest::addColumn<bool>("hasData");
    QTest::addColumn<bool>("hasString");
    QTest::addColumn<bool>("hasBoolean");
    QTest::newRow("data") << "k=@ByteArray(abc)" << true << false << false;
    QTest::newRow("string") << "k=Full" << false << true << false;
    QTest::newRow("boolean text") << "k=false" << false << true << true;
    QTest::newRow("number") << "k=12" << false << true << false;
    QTest::newRow("list") << "k=a, b" << false << false << false;
    QTest::newRow("absent") << "other=1" << false << false << false;
}

void TestSettingsStore::valuesReadOnlyAsTheirOwnKind() {
    QFETCH(QString, fileText);
    QFETCH(bool, hasData);
    QFETCH(bool, hasString);
    QFETCH(bool, hasBoolean);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runeboard.conf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(("[General]\n" + fileText + "\n").toUtf8());
    file.close();

    SettingsStore store(path);
    const QString key = QStringLiteral("k");
    QCOMPARE(store.data(key).has_value(), hasData);
    QCOMPARE(store.string(key).has_value(), hasString);
    QCOMPARE(store.boolean(key).has_value(), hasBoolean);
}

void TestSettingsStore::writesReachTheFileAtOnce() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/runeboard.conf"));
    SettingsStore writer(path);
    const QByteArray json = QStringLiteral("[{\"name\":\"Ω ä\\u001f\"}]").toUtf8();
    writer.setData(QStringLiteral("blob"), json);
    writer.setString(QStringLiteral("text"), QStringLiteral("Казахский"));
    writer.setBoolean(QStringLiteral("flag"), false);

    SettingsStore reader(path); // a second process would see the same
    QCOMPARE(reader.data(QStringLiteral("blob")), std::optional<QByteArray>(json));
    QCOMPARE(reader.string(QStringLiteral("text")), std::optional<QString>(QStringLiteral("Казахский")));
    QCOMPARE(reader.boolean(QStringLiteral("flag")), std::optional<bool>(false));
}

void TestSettingsStore::unwritableFileKeepsValuesInMemoryAndSaysSoOnce() {
    QTemporaryDir dir;
    // A regular file where the folder should be: no user, root included, can write below it.
    const QString blocker = dir.filePath(QStringLiteral("runeboard"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    SettingsStore store(blocker + QStringLiteral("/runeboard.conf"));
    store.setString(QStringLiteral("a"), QStringLiteral("1"));
    QVERIFY(!store.isWritable());
    store.setString(QStringLiteral("b"), QStringLiteral("2"));
    QCOMPARE(store.string(QStringLiteral("a")), std::optional<QString>(QStringLiteral("1")));
    QCOMPARE(store.string(QStringLiteral("b")), std::optional<QString>(QStringLiteral("2")));
}

void TestSettingsStore::preservedValueIsAByteExactCopy() {
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("runeboard.conf")));
    const QByteArray broken("[{\"id\": oops \xd0\x96");
    store.setData(QStringLiteral("savedSymbolPalettes__v2"), broken);

    const QString copy = store.preserveValue(QStringLiteral("savedSymbolPalettes__v2"));
    QVERIFY(copy.startsWith(dir.path()));
    QVERIFY(copy.contains(QStringLiteral("savedSymbolPalettes__v2")));
    QFile copied(copy);
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), broken);
    QVERIFY(store.preserveValue(QStringLiteral("absent")).isEmpty());

    // A hand-written line with commas reads back as a list; the copy keeps its text.
    QFile file(store.filePath());
    QVERIFY(file.open(QIODevice::Append));
    file.write("handWritten=[{\"a\": 1}, {\"b\": 2}]\n");
    file.close();
    SettingsStore reread(store.filePath());
    QFile listCopy(reread.preserveValue(QStringLiteral("handWritten")));
    QVERIFY(listCopy.open(QIODevice::ReadOnly));
    QCOMPARE(listCopy.readAll(), QByteArray("[{\"a\": 1}, {\"b\": 2}]"));
}

void TestSettingsStore::defaultPathFollowsXdgConfigHome() {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/somewhere");
    QCOMPARE(SettingsStore::defaultFilePath(), QStringLiteral("/tmp/somewhere/runeboard/runeboard.conf"));
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(SettingsStore::defaultFilePath().endsWith(QStringLiteral("/.config/runeboard/runeboard.conf")));
    qputenv("XDG_CONFIG_HOME", saved);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
