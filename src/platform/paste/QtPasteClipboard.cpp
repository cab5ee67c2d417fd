#include "platform/paste/QtPasteClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>

#include <functional>

namespace {
// The offered text; a program asking for it is what the paste queue waits for.
class OfferedText : public QMimeData {
public:
    OfferedText(const QString& text, const QString& marker, std::function<void()> onRead)
        : m_onRead(std::move(onRead)) {
        setText(text);
        setData(marker, QByteArray());
        // Clipboard histories that honour it (KDE's, several of GNOME's) leave the text out.
        setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (mimeType.startsWith(QLatin1String("text/plain")))
            QMetaObject::invokeMethod(qApp, m_onRead, Qt::QueuedConnection);
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    std::function<void()> m_onRead;
};
} // namespace

QtPasteClipboard::QtPasteClipboard(int compositorReads, QObject* parent)
    : PasteClipboard(parent)
    , m_clipboard(*QGuiApplication::clipboard())
    , m_compositorReads(compositorReads) {
    connect(&m_clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            onChanged();
    });
}

QtPasteClipboard::~QtPasteClipboard() = default;

void QtPasteClipboard::save() {
    m_saved = std::make_unique<QMimeData>();
    const QMimeData* current = m_clipboard.mimeData(QClipboard::Clipboard);
    // Only MIME types: the rest are X11 target names that the X11 side makes up again by itself.
    for (const QString& format : current ? current->formats() : QStringList()) {
        if (format.contains(u'/') && !format.startsWith(markerPrefix))
            m_saved->setData(format, current->data(format));
    }
    if (m_saved->formats().isEmpty())
        m_saved->setData(QStringLiteral("application/x-runeboard-nothing"), QByteArray());
}

void QtPasteClipboard::offer(const QString& text) {
    QPointer<QtPasteClipboard> self(this);
    const quint64 serial = ++m_offers;
    m_reads = 0;
    m_changing = true;
    m_clipboard.setMimeData(new OfferedText(text, offerMarker(), [self, serial] {
        if (self && self->m_offering && self->m_offers == serial && ++self->m_reads > self->m_compositorReads)
            Q_EMIT self->read();
    }));
    m_changing = false;
    m_offering = true;
}

void QtPasteClipboard::restore() {
    m_offering = false;
    if (!m_saved)
        return;
    m_changing = true;
    m_clipboard.setMimeData(m_saved.release(), QClipboard::Clipboard);
    m_changing = false;
}

QString QtPasteClipboard::offerMarker() const {
    return markerPrefix + QStringLiteral(";offer=%1").arg(m_offers);
}

void QtPasteClipboard::forget() {
    m_saved.reset();
}

void QtPasteClipboard::onChanged() {
    if (m_changing || !m_offering || m_clipboard.ownsClipboard())
        return;
    m_offering = false;
    Q_EMIT replaced();
}
