#include "ConfigDir.h"
#include "StdoutCapture.h"
#include "storage/IniFormat.h"
#include "storage/SettingsStore.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

class TestSettingsStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sameFileAsQSettings_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>(
            "sameBytes"); // otherwise QSettings' own bytes would not read back as the value
        const auto row = [](const char* name, const QVariant& value, bool sameBytes = true) {
            QTest::newRow(name) << value << sameBytes;
        };
        row("needs quotes", QStringLiteral(" a, b=c; \"d\"\\ "));
        row("leading @", QStringLiteral("@Invalid()"));
        row("controls before hex digits", QString::fromUtf16(u"\x1f"
                                                             u"a\tb\x7f"));
        row("NUL", QString::fromUtf16(u"a\0"
                                      u"1",
                                      3));
        row("beyond ASCII", QStringLiteral("Қазақ € 👨‍👩‍👧"));
        row("U+FEFF after raw text and an escape", QString::fromUtf16(u"a\x1f\xfeff"));
        row("U+FEFF opening the value",
            QStringView(u"\xfeff"
                        u"a")
                .toString(),
            false);
        QByteArray everyByte;
        for (int i = 0; i < 256; ++i)
            everyByte += char(i);
        row("every byte", QVariant(everyByte));
    }

    // What Runeboard writes QSettings reads as the same value, and the other way
    // round; the bytes are QSettings' own wherever those read back right.
    void sameFileAsQSettings() {
        QFETCH(QVariant, value);
        QFETCH(bool, sameBytes);
        const bool isData = value.typeId() == QMetaType::QByteArray;
        // Any text can be an unsaved symbol; stored sets are read as data before they are decoded.
        const SettingKey key = isData ? SettingKey::SavedSymbolSets : SettingKey::TemporaryCustomCharacters;
        const QString name = SettingsTable::row(key).name;
        ConfigDir ours, qt;
        {
            SettingsStore store(ours.path());
            store.setValue(key, value);
            QSettings settings(qt.path(), QSettings::IniFormat);
            settings.setValue(name, value);
        }
        QCOMPARE(ours.bytes() == qt.bytes(), sameBytes);
        QCOMPARE(QSettings(ours.path(), QSettings::IniFormat).value(name), value);
        const SettingsStore reread(qt.path());
        QCOMPARE(isData ? QVariant(*reread.data(key)) : reread.value(key), value);
        QVERIFY(IniFormat::parse(ours.bytes()).rejectedLines.isEmpty());
    }

    void rewritesMeanTheSameToQSettings_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QVariant>(
            "expected"); // what QSettings reads after the rewrite; invalid: as before it
        const auto row = [](const char* name, const QByteArray& line, const QVariant& expected = {}) {
            QTest::newRow(name) << line << expected;
        };
        // QSettings turns an unfinished UTF-8 sequence into U+FFFD when blanks
        // follow, and drops it at the end of the value.
        row("unknown key: unfinished UTF-8, then blanks", "x=a\xE2  ");
        // Stored raw by earlier versions, which QSettings read without it.
        row("text opening with U+FEFF", "temporaryCustomCharacters=\xEF\xBB\xBFx",
            QStringView(u"\xfeff"
                        u"x")
                .toString());
        row("raw bytes in @ByteArray(…)", "y=@ByteArray(\xC3\xA9)", QByteArray("\xC3\xA9"));
    }

    // What Runeboard keeps of a file, it keeps with the meaning QSettings gives
    // it; where QSettings read the old spelling otherwise, the rewritten one says
    // what Runeboard read.
    void rewritesMeanTheSameToQSettings() {
        QFETCH(QByteArray, line);
        QFETCH(QVariant, expected);
        ConfigDir config;
        config.write("[General]\n" + line + "\n");
        const QString key = QSettings(config.path(), QSettings::IniFormat).allKeys().value(0);
        if (!expected.isValid())
            expected = QSettings(config.path(), QSettings::IniFormat).value(key);
        SettingsStore store(config.path());
        store.setValue(SettingKey::AppLanguage, QStringLiteral("ru"));
        QVERIFY(config.bytes().contains("appLanguage=ru"));
        QCOMPARE(QSettings(config.path(), QSettings::IniFormat).value(key), expected);
    }

    void hostileFiles_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("unreadable"); // what the start line names; empty: all of it reads
        QTest::addColumn<QByteArray>("kept");    // still in the file after a write
        const auto row = [](const char* name, const QByteArray& body, const char* unreadable,
                            const QByteArray& kept = "keyboardSize=Full") {
            QTest::newRow(name) << body << QString::fromUtf8(unreadable) << kept;
        };
        row("= replaced by a space", "[General]\nkeyboardSize=Full\nsavedSymbolPalettes__v2 @ByteArray([])\n",
            "line 3 is not a setting");
        row("unclosed other section", "[General]\nkeyboardSize=Full\n[Old\nappLanguage=ru\n",
            "lines 3, 4 are not");
        row("later line wins", "[General]\nkeyboardSize=Compact\nkeyboardSize=Full\n",
            "\"keyboardSize\" is given more than once (lines 2, 3), and only line 3 is read");
        row("@Variant", "[General]\nkeyboardSize=Full\nseparateCustomSymbols=@Variant(\\0\\0\\0\\x1\\x1)\n",
            "\"separateCustomSymbols\" is not true or false");
        row("sets stored as text", "[General]\nkeyboardSize=Full\nsavedSymbolPalettes__v2=[]\n",
            "\"savedSymbolPalettes__v2\" is not a @ByteArray(...) value");
        row("byte order mark", "\xEF\xBB\xBF[General]\nkeyboardSize=Full\n", "");
        row("what others keep stays", "[General]\nkeyboardSize=Full\n\n[Other]\nx=\"a,b\"\n", "",
            "\n\n[Other]\nx=\"a,b\"\n");
    }

    // Whatever the file holds, the start says what cannot be read, in one line;
    // the first write keeps the whole original first, once, and the rewritten
    // file holds what could be read.
    void hostileFiles() {
        QFETCH(QByteArray, file);
        QFETCH(QString, unreadable);
        QFETCH(QByteArray, kept);
        ConfigDir config;
        config.write(file);
        StdoutCapture output;
        SettingsStore store(config.path());
        QCoreApplication::processEvents();
        QCOMPARE(output.lines().filter(u"Cannot read all").size(), unreadable.isEmpty() ? 0 : 1);
        if (!unreadable.isEmpty())
            QVERIFY2(output.lines().first().contains(unreadable), qPrintable(output.lines().first()));
        QCOMPARE(store.value(SettingKey::KeyboardSize), QVariant(QStringLiteral("Full")));
        QCOMPARE(config.bytes(), file); // reading alone changes nothing

        store.setValue(SettingKey::ActiveSetId, QStringLiteral("A"));
        store.setValue(SettingKey::ActiveSetId, QStringLiteral("B"));
        QCOMPARE(config.copies().size(), unreadable.isEmpty() ? 0 : 1);
        if (!unreadable.isEmpty())
            QCOMPARE(config.onlyCopy(), file);
        QVERIFY(config.bytes().contains(kept));
        QVERIFY(config.bytes().contains("activePaletteID=B"));
        QCOMPARE(output.lines().filter(u"[Settings]").size(), unreadable.isEmpty() ? 0 : 2);

        // Read again, the file has nothing left to complain about: no line it cannot parse either.
        SettingsStore again(config.path());
        QCoreApplication::processEvents();
        QCOMPARE(output.lines().filter(u"Cannot read all").size(), unreadable.isEmpty() ? 0 : 1);
    }

    // A full disk (here: a file may not grow past 16 KiB, ulimit -f, which by default ends the
    // process that tries) leaves the file as it was, says so once, and recovers when there is room.
    void failedWritesLeaveTheFile() {
        ConfigDir config;
        const QByteArray original =
            "[General]\nsavedSymbolPalettes__v2=@ByteArray(" + QByteArray(39000, 'x') + ")\n";
        config.write(original);
        SettingsStore store(config.path());
        StdoutCapture output;

        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{16384, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &small);
        store.setValue(SettingKey::SeparateCustomSymbols, false);
        store.setValue(SettingKey::AppLanguage, QStringLiteral("ru"));
        ::setrlimit(RLIMIT_FSIZE, &saved);

        QCOMPARE(config.bytes(), original);
        QCOMPARE(QDir(config.dir.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("runeboard.conf")});
        QVERIFY(!store.isWritable());
        QCOMPARE(store.boolean(SettingKey::SeparateCustomSymbols), false);
        const QStringList failures = output.lines().filter(u"Cannot ");
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures.last().contains(QStringLiteral("Cannot write")) &&
                     failures.last().contains(QStringLiteral("(ulimit -f) allows 16384")),
                 qPrintable(failures.last()));
        store.setValue(SettingKey::KeyboardSize, QStringLiteral("Full")); // room again
        QVERIFY(store.isWritable());
        QCOMPARE(output.lines().filter(u"again").size(), 1);
    }

    void leftoversOfInterruptedWrites_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("lockHeld");
        QTest::addColumn<bool>("removed");
        const QByteArray cut = "[General]\nkeyboardSize=Full\nsavedSymbolPalettes__v2=@ByteArray([{\"id\":";
        QTest::newRow("cut short mid-line") << cut << false << true;
        QTest::newRow("not settings") << QByteArray("Dear diary,\ntoday\n") << false << false;
        QTest::newRow("while a write holds the lock") << cut << true << false;
    }

    // A write cut short (a crash, a kill) leaves its temporary file (named as QSaveFile names it,
    // private); the next start removes it when it is plainly one, and nothing else.
    void leftoversOfInterruptedWrites() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, lockHeld);
        QFETCH(bool, removed);
        ConfigDir config;
        config.write("[General]\nkeyboardSize=Full\n");
        QFile file(config.dir.filePath(QStringLiteral("runeboard.conf.aB3xY9")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush());
        QVERIFY(::fchmod(file.handle(), 0600) == 0);
        QLockFile writer(config.path() + QStringLiteral(".lock"));
        QVERIFY(!lockHeld || writer.tryLock(0));

        StdoutCapture output;
        const SettingsStore store(config.path());
        QCOMPARE(!file.exists(), removed);
        QCOMPARE(output.lines().filter(u"Removed what interrupted writes left").size(), removed ? 1 : 0);
    }

    void newFilesFollowTheUmask_data() {
        QTest::addColumn<int>("existing"); // 0: no file yet
        QTest::addColumn<int>("expected");
        QTest::newRow("new, umask 077") << 0 << 0600;
        QTest::newRow("existing keeps its own") << 0640 << 0640;
    }

    // As QSettings creates it: what the umask allows of 0666.
    void newFilesFollowTheUmask() {
        QFETCH(int, existing);
        QFETCH(int, expected);
        ConfigDir config;
        if (existing) {
            config.write("[General]\n");
            QVERIFY(::chmod(QFile::encodeName(config.path()).constData(), existing) == 0);
        }
        const mode_t saved = ::umask(077);
        {
            SettingsStore store(config.path());
            store.setValue(SettingKey::KeyboardSize, QStringLiteral("Full"));
        }
        ::umask(saved);
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(config.path()).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), expected);
    }

    void stuckLockIsGivenUp() {
        ConfigDir config;
        QVERIFY(QDir().mkdir(config.path() + QStringLiteral(".lock")));
        SettingsStore store(config.path());
        StdoutCapture output;
        QElapsedTimer clock;
        clock.start();
        store.setValue(SettingKey::KeyboardSize, QStringLiteral("Full"));
        QVERIFY(clock.elapsed() < 3000);
        clock.restart();
        store.setValue(SettingKey::AppLanguage, QStringLiteral("ru"));
        QVERIFY(clock.elapsed() < 500); // waited for once, not at every write
        QVERIFY(config.bytes().contains("appLanguage=ru"));
        QCOMPARE(output.lines().filter(u"Gave up waiting for the lock").size(), 1);
    }

    void anotherProcessesChangesAreTakenIn() {
        ConfigDir config;
        SettingsStore mine(config.path());
        SettingsStore theirs(config.path());
        QSignalSpy changes(&mine, &SettingsStore::changed);

        theirs.setValue(SettingKey::KeyboardSize, QStringLiteral("Full"));
        QTRY_COMPARE(mine.text(SettingKey::KeyboardSize), QStringLiteral("Full"));
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.first().at(1).toBool(), true);

        // Before the file's change is noticed, a write still carries it along.
        theirs.setValue(SettingKey::AppLanguage, QStringLiteral("ru"));
        mine.setValue(SettingKey::ActiveSetId, QStringLiteral("mine"));
        QVERIFY(config.bytes().contains("appLanguage=ru"));
        QCOMPARE(mine.text(SettingKey::AppLanguage), QStringLiteral("ru"));

        // The last writer of a key wins; our own writes never come back as theirs.
        mine.setValue(SettingKey::KeyboardSize, QStringLiteral("Compact"));
        QTRY_COMPARE(theirs.text(SettingKey::KeyboardSize), QStringLiteral("Compact"));
        changes.clear();
        QTest::qWait(200);
        QCOMPARE(changes.size(), 0);
        QCOMPARE(mine.text(SettingKey::KeyboardSize), QStringLiteral("Compact"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
