#include "platform/kde/DataControlClipboard.h"

#include "platform/Log.h"
#include "platform/kde/KwinConnection.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace {
const QString utf8Text = QStringLiteral("text/plain;charset=utf-8");
const QString passwordHint = QStringLiteral("x-kde-passwordManagerHint");

// Waits for the pipe to take or give more, until the deadline; false when it will not in time.
bool await(int fd, short events, const QDeadlineTimer& deadline) {
    pollfd p{fd, events, 0};
    int ready;
    while ((ready = ::poll(&p, 1, int(deadline.remainingTime()))) < 0 && errno == EINTR) {
    }
    return ready > 0;
}

// Writes everything to a reader that may be slow; one that stops reading is given up on.
void writeAll(int fd, const QByteArray& bytes) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const QDeadlineTimer deadline(DataControlClipboard::saveTimeoutMs);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno == EAGAIN && await(fd, POLLOUT, deadline))
            continue;
        else
            break;
    }
}
} // namespace

DataControlClipboard::DataControlClipboard(KwinConnection& connection, QObject* parent)
    : PasteClipboard(parent)
    , m_connection(connection) {
    if (!connection.dataControl() || !connection.seat())
        return;
    static const zwlr_data_control_device_v1_listener listener{
        &DataControlClipboard::onDataOffer, &DataControlClipboard::onSelectionEvent,
        &DataControlClipboard::onFinished, &DataControlClipboard::onPrimarySelection};
    m_device = zwlr_data_control_manager_v1_get_data_device(connection.dataControl(), connection.seat());
    zwlr_data_control_device_v1_add_listener(m_device, &listener, this);
    // The clipboard as it is now arrives at once; save() may be asked for before the event loop runs.
    connection.roundtrip();
}

DataControlClipboard::~DataControlClipboard() {
    for (auto it = m_sources.cbegin(); it != m_sources.cend(); ++it)
        zwlr_data_control_source_v1_destroy(it.key());
    for (auto it = m_offerTypes.cbegin(); it != m_offerTypes.cend(); ++it)
        zwlr_data_control_offer_v1_destroy(it.key());
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    m_connection.flush();
}

void DataControlClipboard::save() {
    m_saved.clear();
    m_hasSaved = true;
    const QStringList types = m_offerTypes.value(m_selection);
    if (types.contains(restoredMarker)) {
        // Runeboard's own source: asking it through KWin would wait for this very event loop.
        for (auto it = m_sources.cbegin(); it != m_sources.cend(); ++it) {
            if (it.value().contains(restoredMarker))
                m_saved = it.value();
        }
        return;
    }
    for (const QString& type : types) {
        if (!type.contains(u'/') || type.startsWith(markerPrefix))
            continue;
        // A type that never came is left out rather than put back empty.
        if (const std::optional<QByteArray> data = receive(m_selection, type))
            m_saved.insert(type, *data);
    }
}

std::optional<QByteArray> DataControlClipboard::receive(zwlr_data_control_offer_v1* offer,
                                                        const QString& mimeType) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return std::nullopt;
    zwlr_data_control_offer_v1_receive(offer, mimeType.toUtf8().constData(), fds[1]);
    ::close(fds[1]);
    m_connection.flush();
    std::optional<QByteArray> bytes = QByteArray();
    const QDeadlineTimer deadline(saveTimeoutMs);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            bytes->append(buffer, n);
        else if (n == 0)
            break;
        else if (errno == EINTR || (errno == EAGAIN && await(fds[0], POLLIN, deadline)))
            continue;
        else {
            Log::line(QStringLiteral("[DataControlClipboard] The clipboard's owner did not hand over its %1 "
                                     "in time; it is not put back after pasting")
                          .arg(mimeType));
            bytes.reset();
            break;
        }
    }
    ::close(fds[0]);
    return bytes;
}

void DataControlClipboard::offer(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QHash<QString, QByteArray> data{
        {utf8Text, utf8}, {QStringLiteral("text/plain"), utf8}, {passwordHint, QByteArrayLiteral("secret")}};
    data.insert(markerPrefix + QStringLiteral(";offer=%1").arg(++m_offers), QByteArray());
    m_offered = publish(data);
}

void DataControlClipboard::restore() {
    m_offered = nullptr;
    if (!std::exchange(m_hasSaved, false) || !m_device)
        return;
    if (m_saved.isEmpty()) {
        zwlr_data_control_device_v1_set_selection(m_device, nullptr);
        m_connection.flush();
        return;
    }
    QHash<QString, QByteArray> data = std::exchange(m_saved, {});
    data.insert(restoredMarker, QByteArray());
    publish(data);
}

void DataControlClipboard::forget() {
    m_saved.clear();
    m_hasSaved = false;
}

zwlr_data_control_source_v1* DataControlClipboard::publish(const QHash<QString, QByteArray>& data) {
    if (!m_device)
        return nullptr;
    static const zwlr_data_control_source_v1_listener listener{&DataControlClipboard::onSend,
                                                               &DataControlClipboard::onCancelled};
    zwlr_data_control_source_v1* source =
        zwlr_data_control_manager_v1_create_data_source(m_connection.dataControl());
    zwlr_data_control_source_v1_add_listener(source, &listener, this);
    for (auto it = data.cbegin(); it != data.cend(); ++it)
        zwlr_data_control_source_v1_offer(source, it.key().toUtf8().constData());
    m_sources.insert(source, data);
    zwlr_data_control_device_v1_set_selection(m_device, source);
    m_connection.flush();
    return source;
}

void DataControlClipboard::serve(zwlr_data_control_source_v1* source, const QString& mimeType, int fd) {
    writeAll(fd, m_sources.value(source).value(mimeType));
    ::close(fd);
    // The password hint is read by clipboard histories, which then keep nothing; only the text is a paste.
    if (source == m_offered && mimeType.startsWith(QLatin1String("text/plain")))
        QMetaObject::invokeMethod(this, &PasteClipboard::read, Qt::QueuedConnection);
}

void DataControlClipboard::dropSource(zwlr_data_control_source_v1* source) {
    m_sources.remove(source);
    zwlr_data_control_source_v1_destroy(source);
    if (source != m_offered)
        return;
    // Something else took the clipboard's place: what the user has now.
    m_offered = nullptr;
    Q_EMIT replaced();
}

void DataControlClipboard::onSelection(zwlr_data_control_offer_v1* offer) {
    if (m_selection && m_selection != offer) {
        m_offerTypes.remove(m_selection);
        zwlr_data_control_offer_v1_destroy(m_selection);
    }
    m_selection = offer;
}

void DataControlClipboard::onDataOffer(void* data, zwlr_data_control_device_v1*,
                                       zwlr_data_control_offer_v1* offer) {
    static const zwlr_data_control_offer_v1_listener listener{&DataControlClipboard::onOfferType};
    static_cast<DataControlClipboard*>(data)->m_offerTypes.insert(offer, {});
    zwlr_data_control_offer_v1_add_listener(offer, &listener, data);
}

void DataControlClipboard::onSelectionEvent(void* data, zwlr_data_control_device_v1*,
                                            zwlr_data_control_offer_v1* offer) {
    static_cast<DataControlClipboard*>(data)->onSelection(offer);
}

void DataControlClipboard::onFinished(void* data, zwlr_data_control_device_v1*) {
    auto* self = static_cast<DataControlClipboard*>(data);
    zwlr_data_control_device_v1_destroy(self->m_device);
    self->m_device = nullptr;
}

void DataControlClipboard::onPrimarySelection(void* data, zwlr_data_control_device_v1*,
                                              zwlr_data_control_offer_v1* offer) {
    // Only the clipboard is used; the primary selection's offers are let go at once.
    if (offer) {
        static_cast<DataControlClipboard*>(data)->m_offerTypes.remove(offer);
        zwlr_data_control_offer_v1_destroy(offer);
    }
}

void DataControlClipboard::onOfferType(void* data, zwlr_data_control_offer_v1* offer, const char* mimeType) {
    auto& types = static_cast<DataControlClipboard*>(data)->m_offerTypes;
    if (types.contains(offer))
        types[offer].append(QString::fromUtf8(mimeType));
}

void DataControlClipboard::onSend(void* data, zwlr_data_control_source_v1* source, const char* mimeType,
                                  int32_t fd) {
    static_cast<DataControlClipboard*>(data)->serve(source, QString::fromUtf8(mimeType), fd);
}

void DataControlClipboard::onCancelled(void* data, zwlr_data_control_source_v1* source) {
    static_cast<DataControlClipboard*>(data)->dropSource(source);
}
