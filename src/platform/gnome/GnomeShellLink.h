#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Runeboard's side of its GNOME Shell extension (extension/service.js), on the
// session bus. The extension serves only a caller that shows it the secret it
// wrote into Runeboard's private runtime folder; the link shows it, and shows
// it again whenever the extension comes back (the shell re-enabled it), so the
// calls below keep working. One connection for everything: a call costs a
// fraction of a millisecond, a new process for each would cost a hundred.
class GnomeShellLink : public QObject {
    Q_OBJECT
public:
    static inline const QString service = QStringLiteral("org.runeboard.Runeboard.GnomeShell");
    static inline const QString path = QStringLiteral("/org/runeboard/Runeboard/GnomeShell");
    // The file in RuntimeFolder where the extension writes the secret.
    static inline const QString tokenFile = QStringLiteral("gnome-shell.token");
    // The oldest extension whose methods this side can use.
    static constexpr uint apiVersion = 1;

    // Where the extension sent a text: committed by the input method to the
    // focused text field, or left to Runeboard because the focused window is
    // an X11 one, takes no input method (paste it), or there is none.
    enum class Route { InputMethod, X11, Paste, NoFocus };

    explicit GnomeShellLink(const QDBusConnection& bus, QObject* parent = nullptr);

    // Proves to the extension that this is Runeboard. False, with the reason in
    // plain words, when it does not answer or refuses.
    bool claim(QString* why = nullptr);
    bool isClaimed() const { return m_claimed; }

    // Each answers once, from the event loop: a route (or why there is none).
    void commit(const QString& text, std::function<void(std::optional<Route>, const QString& why)> done);
    // Presses evdev keys once the clipboard offers the type `marker` (Runeboard's last offer);
    // `keysUnderShift` while the user holds Shift.
    void paste(const QList<uint>& keys, const QList<uint>& keysUnderShift, const QString& marker,
               std::function<void(bool ok, const QString& why)> done);

    // Asked at once (the answer takes a round trip); nothing when unknown.
    std::optional<bool> shiftHeld();
    // An action number for the accelerator, 0 when another program has it; nothing on failure.
    std::optional<uint> grabAccelerator(const QString& accelerator, QString* why);
    void ungrabAccelerator(uint action);

Q_SIGNALS:
    void shiftChanged(bool held);
    void acceleratorActivated(uint action);
    // The extension left the bus: disabled, or the shell ended.
    void lost();
    // Claimed after the extension came (back); grabs made before are gone.
    void reclaimed();

private Q_SLOTS:
    void onShiftChanged(bool held);
    void onAcceleratorActivated(uint action);

private:
    QDBusMessage method(const QString& name) const;

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    bool m_claimed = false;
};
