#pragma once

#include "platform/paste/PasteClipboard.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>

#include <optional>

class KwinConnection;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

// The seat's clipboard through the data-control protocol, on Runeboard's own
// connection to KWin: every program that pastes asks this source for the text
// (KWin hands X11 programs' requests on too), so each read is seen. Offers
// carry a type of their own, by which a new selection is told apart from one
// of Runeboard's, and ask clipboard histories not to keep them.
class DataControlClipboard : public PasteClipboard {
    Q_OBJECT
public:
    // What every offer's own type starts with.
    static inline const QString markerPrefix = QStringLiteral("application/x-runeboard-paste");
    // The type by which a clipboard that Runeboard put back is known as its own.
    static inline const QString restoredMarker = QStringLiteral("application/x-runeboard-restored");
    // How long save() waits for the clipboard's owner to hand over its data.
    static constexpr int saveTimeoutMs = 1000;

    explicit DataControlClipboard(KwinConnection& connection, QObject* parent = nullptr);
    ~DataControlClipboard() override;

    // False where KWin offers no data-control.
    bool isAvailable() const { return m_device != nullptr; }

    void save() override;
    void offer(const QString& text) override;
    void restore() override;
    void forget() override;

private:
    zwlr_data_control_source_v1* publish(const QHash<QString, QByteArray>& data);
    void serve(zwlr_data_control_source_v1* source, const QString& mimeType, int fd);
    void dropSource(zwlr_data_control_source_v1* source);
    void onSelection(zwlr_data_control_offer_v1* offer);
    // The offer's data of that type; nothing when its owner does not hand it over in time.
    std::optional<QByteArray> receive(zwlr_data_control_offer_v1* offer, const QString& mimeType);

    static void onDataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    static void onSelectionEvent(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    static void onFinished(void* data, zwlr_data_control_device_v1*);
    static void onPrimarySelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    static void onOfferType(void* data, zwlr_data_control_offer_v1* offer, const char* mimeType);
    static void onSend(void* data, zwlr_data_control_source_v1* source, const char* mimeType, int32_t fd);
    static void onCancelled(void* data, zwlr_data_control_source_v1* source);

    KwinConnection& m_connection;
    zwlr_data_control_device_v1* m_device = nullptr;
    // Offers as KWin announces them, with their types, until the next selection replaces them.
    QHash<zwlr_data_control_offer_v1*, QStringList> m_offerTypes;
    zwlr_data_control_offer_v1* m_selection = nullptr;
    // Runeboard's sources still alive, with what each serves.
    QHash<zwlr_data_control_source_v1*, QHash<QString, QByteArray>> m_sources;
    // The source of the last offer() until it is replaced; reads of its text are the ones that count.
    zwlr_data_control_source_v1* m_offered = nullptr;
    quint64 m_offers = 0;
    bool m_hasSaved = false;
    QHash<QString, QByteArray> m_saved;
};
