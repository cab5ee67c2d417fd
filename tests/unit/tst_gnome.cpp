// The GNOME backend's rules that need no shell: when a session counts as GNOME
// on Wayland, what the set-up says from what it found, the extension lists
// read from and written back to gsettings.
#include "DataRows.h"
#include "platform/gnome/GSettingsList.h"
#include "platform/gnome/GnomeExtensionSetup.h"
#include "platform/gnome/GnomePlatform.h"

#include <QTest>

using Facts = GnomeExtensionSetup::Facts;
using State = TypingSetup::State;

class TestGnome : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recognisesGnomeOnWayland_data() {
        stringRows({"desktop", "sessionType", "waylandDisplay", "gnome"},
                   {{"GNOME", "GNOME", "wayland", "wayland-0", "yes"},
                    {"Ubuntu's", "ubuntu:GNOME", "wayland", "", "yes"},
                    {"GNOME on Xorg", "GNOME", "x11", "", "no"},
                    {"a desktop that only names GNOME in a longer word", "GNOME-Flashback", "wayland",
                     "wayland-0", "no"}});
    }
    void recognisesGnomeOnWayland() {
        QFETCH(QString, desktop);
        QFETCH(QString, sessionType);
        QFETCH(QString, waylandDisplay);
        QFETCH(QString, gnome);
        QCOMPARE(
            GnomePlatform::isGnomeWayland(desktop.toUtf8(), sessionType.toUtf8(), waylandDisplay.toUtf8()),
            gnome == QLatin1String("yes"));
    }

    void judgesTheSetUp_data() {
        QTest::addColumn<Facts>("facts");
        QTest::addColumn<State>("state");
        using S = GnomeExtensionSetup::ShellState;
        const auto facts = [](bool installed, int shellState, bool enabled, bool disabled = false) {
            Facts f;
            f.installed = installed;
            f.shellState = shellState;
            f.listedEnabled = enabled;
            f.listedDisabled = disabled;
            f.claimProblem = QStringLiteral("the secret does not match");
            f.shellError = QStringLiteral("SyntaxError");
            return f;
        };
        Facts answers = facts(true, S::Enabled, true);
        answers.answers = true;
        QTest::newRow("it answers") << answers << State::Works;
        QTest::newRow("nowhere on disk, unknown to the shell")
            << facts(false, S::Unknown, true) << State::Missing;
        QTest::newRow("installed, not on the list") << facts(true, S::Unknown, false) << State::Off;
        QTest::newRow("on the list, the shell never loaded it")
            << facts(true, S::Unknown, true) << State::RestartNeeded;
        QTest::newRow("on both lists: the disabled one wins")
            << facts(true, S::Unknown, true, true) << State::Off;
        QTest::newRow("loaded, on the list, yet off (user extensions off)")
            << facts(true, S::Initialized, true) << State::Off;
        QTest::newRow("the shell reports an error") << facts(true, S::Error, true) << State::Failed;
        QTest::newRow("running but refusing this Runeboard")
            << facts(true, S::Enabled, true) << State::Failed;
    }
    void judgesTheSetUp() {
        QFETCH(Facts, facts);
        QFETCH(State, state);
        const GnomeExtensionSetup::Judgement judgement = GnomeExtensionSetup::judge(facts);
        QCOMPARE(judgement.state, state);
        // A failure always carries the shell's or the link's own words.
        QCOMPARE(judgement.detail.isEmpty(), state != State::Failed);
    }

    void readsExtensionLists_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<QStringList>>("list");
        using L = std::optional<QStringList>;
        QTest::newRow("empty, typed") << QStringLiteral("@as []\n") << L(QStringList());
        QTest::newRow("two") << QStringLiteral("['a@x.org', 'typing@runeboard.org']\n")
                             << L(QStringList{QStringLiteral("a@x.org"),
                                              QStringLiteral("typing@runeboard.org")});
        QTest::newRow("double quotes and escapes")
            << QStringLiteral("[\"it's\", 'a\\'b\\\\c']")
            << L(QStringList{QStringLiteral("it's"), QStringLiteral("a'b\\c")});
        QTest::newRow("a trailing comma") << QStringLiteral("['a',]") << L();
    }
    void readsExtensionLists() {
        QFETCH(QString, text);
        QFETCH(std::optional<QStringList>, list);
        QCOMPARE(GSettingsList::parse(text), list);
        // What is written back reads as the same list.
        if (list)
            QCOMPARE(GSettingsList::parse(GSettingsList::format(*list)), list);
    }
};

QTEST_GUILESS_MAIN(TestGnome)
#include "tst_gnome.moc"
