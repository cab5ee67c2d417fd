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
// The offer also names itself Runeboard's (`marker`) and asks clipboard
// histories not to keep it. An empty clipboard is put back as one that offers
// nothing to paste, so that no compositor brings the pasted text back.
class QtPasteClipboard : public PasteClipboard {
    Q_OBJECT
public:
    // The type that tells the compositor's side that the clipboard holds Runeboard's text.
    static inline const QString marker = QStringLiteral("application/x-runeboard-paste");

    explicit QtPasteClipboard(int compositorReads, QObject* parent = nullptr);
    ~QtPasteClipboard() override;

    void save() override;
    void offer(const QString& text) override;
    void restore() override;
    void forget() override;

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
