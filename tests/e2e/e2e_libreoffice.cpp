// LibreOffice Writer, through its X11 plugin and through its GTK 3 plugin:
// `runeboard --type` of letters with symbols outside the BMP between them (and
// a ZWJ sequence) arrives in its order, run after run. Writer holds letters
// back while more key events wait and takes such a symbol at once, as an input
// method's text; what it got is read back through LibreOffice's own
// connection, since a select-all could land among keys still on their way.
#include "XSession.h"

#include <QTest>

namespace {
const QString text = QStringLiteral("ab𝔸cd😀ef👩\u200d💻gh ij𝔹kl😃mn op𝔻qr😎st");
constexpr int runs = 3;
// A first start would greet with the tip of the day, a dialog that takes the focus (and the keys).
constexpr char noTipOfTheDay[] =
    "<?xml version='1.0' encoding='UTF-8'?>\n"
    "<oor:items xmlns:oor='http://openoffice.org/2001/registry' xmlns:xs='http://www.w3.org/2001/XMLSchema' "
    "xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'>\n"
    "<item oor:path='/org.openoffice.Office.Common/Misc'><prop oor:name='ShowTipOfTheDay' oor:op='fuse'>"
    "<value>false</value></prop></item>\n</oor:items>\n";
} // namespace

class TestLibreOffice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
        QVERIFY2(QFileInfo(XSession::runeboardBinary()).isExecutable(), "RUNEBOARD_BINARY is not set");
    }

    void cleanup() { m_session.endPrograms(); }

    void symbolsOutsideTheBmpKeepTheirPlace_data() {
        QTest::addColumn<QString>("plugin");
        QTest::newRow("X11 plugin") << QStringLiteral("gen");
        QTest::newRow("GTK 3 plugin") << QStringLiteral("gtk3");
    }

    void symbolsOutsideTheBmpKeepTheirPlace() {
        QFETCH(QString, plugin);
        QProcessEnvironment env = m_session.environment();
        env.insert(QStringLiteral("SAL_USE_VCLPLUGIN"), plugin);
        env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
        env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
        const QString profile = m_session.scratchPath(QStringLiteral("profile-") + plugin);
        QVERIFY(
            XSession::writeFile(profile + QStringLiteral("/user/registrymodifications.xcu"), noTipOfTheDay));
        const QString pipe =
            QStringLiteral("runeboard-e2e-%1-%2").arg(plugin).arg(QCoreApplication::applicationPid());
        m_session.launch(
            QStringLiteral("soffice"),
            XSession::words(QStringLiteral("-env:UserInstallation=file://%1 --accept=pipe,name=%2;urp; "
                                           "--norestore --nologo --writer")
                                .arg(profile, pipe)),
            env);
        // A fresh profile makes the first start slow.
        const QString writer =
            m_session.waitForWindow(QStringLiteral("Untitled 1 - LibreOffice Writer"), 120000);
        QVERIFY2(!writer.isEmpty(), "LibreOffice Writer did not open (is libreoffice-writer installed?)");
        QVERIFY(m_session.focusWindow(writer));

        // Writer's window is active a while before its document takes keys (the GTK 3 plugin's
        // loses the first ones): a letter, again until one arrives, tells when it does.
        bool ready = false;
        for (int attempt = 0; attempt < 15 && !ready; ++attempt) {
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), QStringLiteral("x")});
            ready = XSession::waitFor([&] { return document(pipe).out.contains(u'x'); }, 2000);
        }
        QVERIFY2(ready, "Writer's document never took a key");
        QCOMPARE(document(pipe, {QStringLiteral("--clear")}).exitCode, 0);

        for (int run = 1; run <= runs; ++run) {
            const XSession::Result typed =
                m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), text});
            QVERIFY2(typed.finished && typed.exitCode == 0, qPrintable(typed.err));
            QString got;
            XSession::waitFor([&] { return (got = document(pipe).out) == text; });
            QCOMPARE(got, text);
            QCOMPARE(document(pipe, {QStringLiteral("--clear")}).exitCode, 0);
        }
    }

private:
    // The document's text, or its emptying, through LibreOffice's connection named `pipe`.
    XSession::Result document(const QString& pipe, const QStringList& arguments = {}) {
        return m_session.run(XSession::toolPath(QStringLiteral("rb-writer-text")),
                             QStringList{pipe} + arguments);
    }

    XSession m_session;
};

QTEST_GUILESS_MAIN(TestLibreOffice)
#include "e2e_libreoffice.moc"
