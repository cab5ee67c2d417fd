#pragma once

#include "platform/TypingSetup.h"
#include "platform/UserText.h"

#include <QStringList>

#include <memory>
#include <optional>

class GnomeShellLink;

// Whether Runeboard's GNOME Shell extension is installed, turned on and
// running, and the one step that turns it on. A running GNOME Shell loads an
// extension only if it was installed when the shell started: then turning it
// on takes effect at once; otherwise it is added to the user's list of
// enabled extensions, everything else on that list kept, and works from the
// next login.
class GnomeExtensionSetup : public TypingSetup {
    Q_OBJECT
public:
    static inline const QString uuid = QStringLiteral("typing@runeboard.org");

    // The shell's numbers for an extension's state (org.gnome.Shell.Extensions).
    enum ShellState { Unknown = 0, Enabled = 1, Disabled = 2, Error = 3, OutOfDate = 4, Initialized = 6 };

    // What decides the state, gathered from the disk, the shell and gsettings.
    struct Facts {
        bool answers = false;     // the extension serves this Runeboard
        QString claimProblem;     // why it does not, when the shell says it is on
        bool installed = false;   // a copy lies in one of the extension folders
        int shellState = Unknown; // what the running shell says (Unknown: it never loaded it)
        QString shellError;
        bool listedEnabled = false;
        bool listedDisabled = false;
    };
    struct Judgement {
        State state = State::Missing;
        QString detail;
    };
    static Judgement judge(const Facts& facts);

    GnomeExtensionSetup(std::shared_ptr<GnomeShellLink> link, QString claimProblem,
                        QObject* parent = nullptr);
    ~GnomeExtensionSetup() override;

    QString part() const override { return QStringLiteral("gnome_extension"); }
    State state() const override { return m_judgement.state; }
    QString detail() const override { return m_judgement.detail; }
    bool turnOn(QString* why) override;
    void refresh() override;

    // What the launch check says; empty when it works.
    UserText problem() const;

private:
    Facts gather() const;

    std::shared_ptr<GnomeShellLink> m_link;
    QString m_claimProblem;
    Judgement m_judgement;
};
