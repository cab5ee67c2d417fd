#pragma once

#include "platform/paste/PasteClipboard.h"

#include <QMimeData>

#include <memory>

class QClipboard;

// The clipboard through Qt: on GNOME the X11 clipboard of Xwayland, which the
// compositor hands to Wayland programs and asks Runeboard for whenever one of
// them pastes, so every read is seen. A compositor may itself read each new
// clipboard once before any program can (mutter keeps a copy for when its
// owner quits); `compositorReads` says how many reads of each offer are its.
// Each offer also carries a type of its own (offerMarker()), by which the
// compositor's side can tell that the clipboard holds that very offer, and
// asks clipboard histories not to keep it. An empty clipboard is put back as one that offers
// nothing to paste, so that no compositor brings the pasted text back.
class QtPasteClipboard : public PasteClipboard {
    Q_OBJECT
public:
    // What every offer's own type starts with.
    static inline const QString markerPrefix = QStringLiteral("application/x-runeboard-paste");

    explicit QtPasteClipboard(int compositorReads, QObject* parent = nullptr);
    ~QtPasteClipboard() override;

    void save() override;
    void offer(const QString& text) override;
    void restore() override;
    void forget() override;

    // The type of the last offer alone: "application/x-runeboard-paste;offer=N".
    QString offerMarker() const;

private:
    void onChanged();

    QClipboard& m_clipboard;
    const int m_compositorReads;
    int m_reads = 0;
    quint64 m_offers = 0;
    std::unique_ptr<QMimeData> m_saved;
    // Set while Runeboard itself changes the clipboard.
    bool m_changing = false;
    bool m_offering = false;
};
