#pragma once

#include "DesktopHotkeyChecks.h"

#include "keyboard/view/layout/KeyboardLayout.h"
#include "sets/SetStore.h"
#include "storage/SettingsStore.h"

#include <QPoint>

// Runeboard on a Wayland desktop's end-to-end test (GNOME, KDE Plasma), with
// a set of twenty keys that no key of the us layout carries as its main set.
namespace DesktopPanel {

// 115 symbols; 40 distinct ones that no key of the us layout carries, among them an astral
// symbol, a combining mark after a plain letter and an emoji joined by a zero-width joiner.
inline const QString sample =
    QStringLiteral("ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ əɛɔʃʒθðŋ ∑∫√∞≈≠ €£¥₸ αβγδ 𝔸 é e\u0301 ǅǈ abc");
inline const QString text = sample + QStringLiteral("👩\u200D💻") + sample;
inline const QStringList keys = QStringLiteral("ŋ ə ʃ ʒ θ ð æ ɛ ɔ ɲ ± × ÷ ∞ ≠ ≤ ≥ √ α β").split(u' ');

template <typename Session> class Runeboard {
public:
    explicit Runeboard(Session& session)
        : m_session(session) {
        KeyboardLayoutInput in;
        in.baseSymbols = keys;
        m_layout = KeyboardLayout::compute(in);
    }

    // Starts it on a fresh configuration (with a preset as a quick-access set); true once its
    // panel is on screen and takes clicks.
    bool start(const QString& quickAccess = {}) {
        const QString file = m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf");
        QFile::remove(file);
        {
            SettingsStore store(file);
            SetStore sets(store, QStringLiteral("en"));
            const SymbolSet set{QUuid::createUuid(), QStringLiteral("e2e"), keys.join(QString()), QString()};
            sets.addSet(set);
            sets.setMainSet(set.id);
            const QList<SymbolSet> all = sets.sets(); // choosing one rewrites the list
            for (const SymbolSet& preset : all) {
                if (preset.name == quickAccess)
                    sets.toggleAdditional(preset.id);
            }
        }
        m_session.handOver(m_session.configHome());
        m_process = m_session.launch(XSession::runeboardBinary(), {});
        m_said.clear();
        // The tray is looked for once the panel has been drawn: only then does it take clicks.
        return XSession::waitFor([&] { return said().contains(QLatin1String("[TrayMenu]")); }, 30000) &&
               XSession::waitFor(
                   [&] {
                       m_frame = m_session.windowGeometry(
                           m_session.findWindowByName(DesktopHotkeyChecks::panelTitle));
                       // Set dots make the panel taller, never narrower.
                       return m_frame.at(2) == int(m_layout.size().width());
                   },
                   30000);
    }

    // What it has written so far.
    QString said() {
        m_said += QString::fromUtf8(m_process->readAllStandardOutput());
        return m_said;
    }
    // Where a key, or an element, is on the screen.
    QPoint keyCentre(const QString& key) const { return onScreen(m_layout.key(key, false)->frame); }
    QPoint elementCentre(KeyboardElementKind kind) const { return onScreen(m_layout.element(kind)->frame); }

private:
    QPoint onScreen(const QRectF& frame) const {
        const QPointF p = m_layout.toView(frame).center();
        return {m_frame[0] + int(p.x()), m_frame[1] + int(p.y())};
    }

    Session& m_session;
    KeyboardLayout m_layout;
    QList<int> m_frame;
    QProcess* m_process = nullptr;
    QString m_said;
};

} // namespace DesktopPanel
