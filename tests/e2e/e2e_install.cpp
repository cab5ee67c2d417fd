// What `make install` and `make package` deliver: exactly the expected files,
// each accepted by the tool that reads it, and a program that runs from there.
#include "XSession.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Relative to the install prefix.
QStringList expectedFiles() {
    QStringList files = {
        QStringLiteral("bin/runeboard"),
        QStringLiteral("lib/runeboard/runeboard-network.so"),
        QStringLiteral("share/applications/runeboard.desktop"),
        QStringLiteral("share/applications/runeboard-input-method.desktop"),
        QStringLiteral("share/gnome-shell/extensions/typing@runeboard.org/extension.js"),
        QStringLiteral("share/gnome-shell/extensions/typing@runeboard.org/extension/__init__.js"),
        QStringLiteral("share/gnome-shell/extensions/typing@runeboard.org/metadata.json"),
        QStringLiteral("share/gnome-shell/extensions/typing@runeboard.org/service.js"),
        QStringLiteral("share/icons/hicolor/scalable/apps/runeboard.svg"),
        QStringLiteral("share/man/man1/runeboard.1"),
        QStringLiteral("share/metainfo/org.runeboard.Runeboard.metainfo.xml")};
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        files.append(QStringLiteral("share/icons/hicolor/%1x%1/apps/runeboard.png").arg(size));
    files.sort();
    return files;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void installsExactlyTheExpectedValidFiles();
    void packageHoldsTheSameFilesUnderUsr();

private:
    // Runs a program to its end; no display is started for it.
    XSession::Result run(const QString& program, const QStringList& arguments,
                         const QProcessEnvironment& env = {}) {
        return m_tools.run(program, arguments, 120000, env);
    }

    XSession m_tools;
};

void TestInstall::installsExactlyTheExpectedValidFiles() {
    QTemporaryDir destdir;
    QProcessEnvironment env = m_tools.environment();
    env.insert(QStringLiteral("DESTDIR"), destdir.path());
    const XSession::Result install = run(QStringLiteral(RUNEBOARD_CMAKE),
                                         {QStringLiteral("--install"), QStringLiteral(RUNEBOARD_BUILD_DIR),
                                          QStringLiteral("--prefix"), QStringLiteral("/usr/local")},
                                         env);
    QVERIFY2(install.exitCode == 0, qPrintable(install.err));
    const QDir prefix(destdir.filePath(QStringLiteral("usr/local")));
    QStringList installed;
    for (QDirIterator it(prefix.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        installed.append(prefix.relativeFilePath(it.next()));
    installed.sort();
    QCOMPARE(installed, expectedFiles());

    const XSession::Result version =
        run(prefix.filePath(QStringLiteral("bin/runeboard")), {QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QStringLiteral("runeboard " RUNEBOARD_VERSION "\n"));

    // GNOME Shell loads an extension only from the folder named after its uuid.
    const QString metadata = XSession::readFile(
        prefix.filePath(QStringLiteral("share/gnome-shell/extensions/typing@runeboard.org/metadata.json")));
    QCOMPARE(QJsonDocument::fromJson(metadata.toUtf8()).object().value(QStringLiteral("uuid")).toString(),
             QStringLiteral("typing@runeboard.org"));
    // Each checker and the file it reads last, under share/.
    for (const QString& check :
         {QStringLiteral("desktop-file-validate applications/runeboard.desktop"),
          QStringLiteral("desktop-file-validate applications/runeboard-input-method.desktop"),
          QStringLiteral("appstreamcli validate --no-net metainfo/org.runeboard.Runeboard.metainfo.xml"),
          QStringLiteral("groff -man -ww -z man/man1/runeboard.1")}) {
        QStringList words = XSession::words(check);
        words.last() = prefix.filePath(QStringLiteral("share/") + words.last());
        const XSession::Result ran = run(words.first(), words.mid(1));
        // Warnings count as failures too: each of these tools writes them to standard error.
        QVERIFY2(ran.exitCode == 0 && ran.err.isEmpty(),
                 qPrintable(words.join(u' ') + u'\n' + ran.out + ran.err));
    }
}

void TestInstall::packageHoldsTheSameFilesUnderUsr() {
    QTemporaryDir output;
    const XSession::Result cpack =
        run(QStringLiteral(RUNEBOARD_CPACK),
            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
             QStringLiteral(RUNEBOARD_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), output.path()});
    QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.out + cpack.err));
    const QString architecture =
        run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).out.trimmed();
    const QString deb =
        output.filePath(QStringLiteral("runeboard_" RUNEBOARD_VERSION "_%1.deb").arg(architecture));
    QVERIFY2(QFile::exists(deb), qPrintable(cpack.out));

    // dpkg-deb -c lists "mode owner size date time ./path"; folders end in '/'.
    QStringList packaged;
    const XSession::Result contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
    for (const QString& line : contents.out.split(u'\n', Qt::SkipEmptyParts)) {
        const QString path = line.section(u' ', -1);
        QVERIFY2(line.startsWith(QLatin1String(path.endsWith(u'/') ? "d" : "-")) &&
                     line.contains(QLatin1String(" root/root ")),
                 qPrintable(line));
        if (!path.endsWith(u'/'))
            packaged.append(path.mid(QStringLiteral("./usr/").size()));
    }
    packaged.sort();
    QCOMPARE(packaged, expectedFiles());

    const QString depends =
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")}).out;
    // The network module's libraries count too, though the program loads it only when checking for updates.
    QVERIFY2(depends.contains(QLatin1String("libqt6widgets6")) &&
                 depends.contains(QLatin1String("libxcb1")) &&
                 depends.contains(QLatin1String("libqt6network6")),
             qPrintable(depends));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "e2e_install.moc"
