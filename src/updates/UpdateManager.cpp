#include "updates/UpdateManager.h"

#include "BuildInfo.h"

#include "localization/LocalizationManager.h"
#include "platform/Log.h"
#include "storage/SettingsStore.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QTimer>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

// A feed is a few kilobytes; anything far larger is not a feed and is not kept in memory.
constexpr qint64 maximumFeedSize = 2 * 1024 * 1024;

const QString sparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

struct Text {
    const char* key;
    const char* english;
    const char* russian;
};

// These texts belong to the update dialog only, so they live beside it rather
// than in the interface's shared string table.
constexpr Text texts[] = {
    {"up_to_date_title", "Runeboard is up to date", "Установлена последняя версия Runeboard"},
    {"up_to_date_message", "Version %1 is the newest version available.",
     "Версия %1 — самая новая из доступных."},
    {"available_title", "A new version of Runeboard is available", "Доступна новая версия Runeboard"},
    {"available_message", "Version %1 is available. You have version %2.",
     "Доступна версия %1. У вас установлена версия %2."},
    {"open_download_page", "Open Download Page", "Открыть страницу загрузки"},
    {"close", "Close", "Закрыть"},
    {"failed_title", "Could not check for updates", "Не удалось проверить обновления"},
    {"no_connection", "The update server could not be reached. Check your internet connection and try again.",
     "Не удалось связаться с сервером обновлений. Проверьте подключение к интернету и попробуйте ещё раз."},
    {"http_error", "The update server answered with an error (HTTP %1). Please try again later.",
     "Сервер обновлений ответил ошибкой (HTTP %1). Попробуйте ещё раз позже."},
    {"unreadable_feed", "The update information from the server could not be read. Please try again later.",
     "Не удалось прочитать сведения об обновлениях, полученные с сервера. Попробуйте ещё раз позже."},
    {"timed_out", "The update server did not answer in time. Check your internet connection and try again.",
     "Сервер обновлений не ответил вовремя. Проверьте подключение к интернету и попробуйте ещё раз."},
    {"secure_connection", "A secure connection to the update server could not be established.",
     "Не удалось установить защищённое соединение с сервером обновлений."},
    {"bad_address",
     "The update feed address is not a valid web address (updateFeedURL in the settings file).",
     "Адрес ленты обновлений не является правильным веб-адресом (updateFeedURL в файле настроек)."},
};

bool isWebAddress(const QUrl& url) {
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
}

bool isSparkle(const QStringView namespaceUri, const QStringView prefix) {
    return namespaceUri == sparkleNamespace || prefix == QLatin1String("sparkle");
}

} // namespace

UpdateManager::UpdateManager(SettingsStore& store, LocalizationManager& localization, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_localization(localization)
    , m_network(new QNetworkAccessManager(this))
    , m_deadline(new QTimer(this))
    , m_currentVersion(QString::fromUtf8(BuildInfo::version)) {
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        if (!m_reply)
            return;
        m_timedOut = true;
        m_reply->abort();
    });
    // Like an updater that has to start before it accepts a check, the button
    // becomes usable on the first turn of the event loop.
    QTimer::singleShot(0, this, [this] { setCanCheckForUpdates(!m_reply); });
}

UpdateManager::~UpdateManager() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QUrl UpdateManager::feedURL() const {
    if (const QString configured = m_store.text(SettingKey::UpdateFeedURL).trimmed(); !configured.isEmpty())
        return QUrl(configured);
    return QUrl(QString::fromUtf8(BuildInfo::updateFeedUrl));
}

void UpdateManager::setCanCheckForUpdates(bool canCheck) {
    if (m_canCheckForUpdates == canCheck)
        return;
    m_canCheckForUpdates = canCheck;
    Q_EMIT canCheckForUpdatesChanged(canCheck);
}

void UpdateManager::checkForUpdates() {
    if (!m_canCheckForUpdates || m_reply)
        return;
    setCanCheckForUpdates(false);
    m_checkedURL = feedURL();
    m_timedOut = false;
    if (!isWebAddress(m_checkedURL)) {
        // Reported after the click has been handled, as every other outcome is.
        QTimer::singleShot(0, this, [this] { finish(failure(UpdateCheckResult::Failure::BadAddress)); });
        return;
    }

    QNetworkRequest request(m_checkedURL);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Runeboard/%1")
                          .arg(m_currentVersion.isEmpty() ? QStringLiteral("0") : m_currentVersion));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [reply = m_reply](qint64 received, qint64) {
        if (received > maximumFeedSize)
            reply->abort();
    });
    connect(m_reply, &QNetworkReply::finished, this, &UpdateManager::onReplyFinished);
    m_deadline->start(m_timeout);
}

void UpdateManager::onReplyFinished() {
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_deadline->stop();
    reply->deleteLater();
    m_reply = nullptr;

    using Failure = UpdateCheckResult::Failure;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_timedOut)
        return finish(failure(Failure::TimedOut));
    if (status >= 400)
        return finish(failure(Failure::HttpError, status));
    if (reply->error() != QNetworkReply::NoError) {
        switch (reply->error()) {
        case QNetworkReply::OperationCanceledError:
            // Only the size guard cancels without a time-out.
            return finish(failure(Failure::UnreadableFeed));
        case QNetworkReply::SslHandshakeFailedError:
        case QNetworkReply::InsecureRedirectError:
            return finish(failure(Failure::SecureConnection, 0, reply->errorString()));
        case QNetworkReply::ProtocolUnknownError:
            return finish(failure(Failure::BadAddress));
        case QNetworkReply::TooManyRedirectsError:
            return finish(failure(Failure::UnreadableFeed));
        default:
            Log::line(
                QStringLiteral("[UpdateManager] %1: %2").arg(m_checkedURL.toString(), reply->errorString()));
            return finish(failure(Failure::NoConnection));
        }
    }

    const auto entry = newestEntry(reply->readAll(), m_checkedURL);
    if (!entry)
        return finish(failure(Failure::UnreadableFeed));

    UpdateCheckResult result;
    result.latestVersion = entry->version;
    result.closeButtonText = text("close");
    if (compareVersions(entry->version, m_currentVersion) > 0) {
        result.outcome = UpdateCheckResult::Outcome::UpdateAvailable;
        result.title = text("available_title");
        result.message = text("available_message").arg(entry->version, m_currentVersion);
        const QUrl site(QString::fromUtf8(BuildInfo::websiteUrl));
        result.downloadPage = isWebAddress(entry->link) ? entry->link : (isWebAddress(site) ? site : QUrl());
        if (!result.downloadPage.isEmpty())
            result.openButtonText = text("open_download_page");
    } else {
        result.outcome = UpdateCheckResult::Outcome::UpToDate;
        result.title = text("up_to_date_title");
        result.message = text("up_to_date_message").arg(m_currentVersion);
    }
    finish(result);
}

UpdateCheckResult UpdateManager::failure(UpdateCheckResult::Failure kind, int httpStatus,
                                         const QString& detail) const {
    using Failure = UpdateCheckResult::Failure;
    UpdateCheckResult result;
    result.outcome = UpdateCheckResult::Outcome::Failed;
    result.failure = kind;
    result.httpStatus = httpStatus;
    result.detail = detail;
    result.title = text("failed_title");
    result.closeButtonText = text("close");
    switch (kind) {
    case Failure::None:
    case Failure::NoConnection:
        result.message = text("no_connection");
        break;
    case Failure::HttpError:
        result.message = text("http_error").arg(httpStatus);
        break;
    case Failure::UnreadableFeed:
        result.message = text("unreadable_feed");
        break;
    case Failure::TimedOut:
        result.message = text("timed_out");
        break;
    case Failure::SecureConnection:
        result.message = text("secure_connection");
        break;
    case Failure::BadAddress:
        result.message = text("bad_address");
        break;
    }
    return result;
}

void UpdateManager::finish(UpdateCheckResult result) {
    if (result.outcome == UpdateCheckResult::Outcome::Failed)
        Log::line(QStringLiteral("[UpdateManager] Update check of '%1' failed: %2")
                      .arg(m_checkedURL.toString(), result.message));
    setCanCheckForUpdates(true);
    Q_EMIT checkFinished(result);
    if (m_presenter)
        m_presenter(result);
    else
        showDialog(result);
}

QString UpdateManager::text(const char* key) const {
    const bool russian = m_localization.currentLanguage() == QLatin1String("ru");
    for (const Text& entry : texts) {
        if (qstrcmp(entry.key, key) == 0)
            return QString::fromUtf8(russian ? entry.russian : entry.english);
    }
    return QString::fromLatin1(key);
}

void UpdateManager::showDialog(const UpdateCheckResult& result) {
    auto* box = new QMessageBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Runeboard"));
    box->setIcon(result.outcome == UpdateCheckResult::Outcome::Failed ? QMessageBox::Warning
                                                                      : QMessageBox::Information);
    box->setText(result.title);
    box->setInformativeText(result.message);
    if (!result.detail.isEmpty())
        box->setDetailedText(result.detail);
    if (!result.downloadPage.isEmpty()) {
        QPushButton* open = box->addButton(result.openButtonText, QMessageBox::AcceptRole);
        const QUrl page = result.downloadPage;
        QObject::connect(open, &QPushButton::clicked, box, [page] { QDesktopServices::openUrl(page); });
        box->setDefaultButton(open);
    }
    box->setEscapeButton(box->addButton(result.closeButtonText, QMessageBox::RejectRole));
    box->show();
    box->raise();
    box->activateWindow();
}

int UpdateManager::compareVersions(const QString& a, const QString& b) {
    auto parts = [](QString text) {
        text = text.trimmed();
        if (text.startsWith(QLatin1Char('v'), Qt::CaseInsensitive))
            text.remove(0, 1);
        QList<quint64> numbers;
        for (const QString& part : text.split(QLatin1Char('.'))) {
            qsizetype digits = 0;
            while (digits < part.size() && part.at(digits).isDigit() && part.at(digits).unicode() < 128)
                ++digits;
            numbers.append(part.left(qMin<qsizetype>(digits, 18)).toULongLong());
        }
        return numbers;
    };
    const QList<quint64> left = parts(a);
    const QList<quint64> right = parts(b);
    for (qsizetype i = 0; i < qMax(left.size(), right.size()); ++i) {
        const quint64 l = i < left.size() ? left.at(i) : 0;
        const quint64 r = i < right.size() ? right.at(i) : 0;
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

std::optional<UpdateManager::FeedEntry> UpdateManager::newestEntry(const QByteArray& feed,
                                                                   const QUrl& feedURL) {
    QXmlStreamReader xml(feed);
    std::optional<FeedEntry> newest;
    QUrl channelLink;
    bool inItem = false;
    QString version, shortVersion;
    QUrl link, enclosure;

    auto resolved = [&feedURL](const QString& text) { return feedURL.resolved(QUrl(text.trimmed())); };
    auto hasDigit = [](const QString& text) {
        return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
    };

    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringView name = xml.name();
            const bool sparkle = isSparkle(xml.namespaceUri(), xml.prefix());
            if (name == QLatin1String("item") && !sparkle) {
                inItem = true;
                version.clear();
                shortVersion.clear();
                link.clear();
                enclosure.clear();
            } else if (sparkle && name == QLatin1String("version") && inItem) {
                version = xml.readElementText().trimmed();
            } else if (sparkle && name == QLatin1String("shortVersionString") && inItem) {
                shortVersion = xml.readElementText().trimmed();
            } else if (!sparkle && name == QLatin1String("link") && xml.prefix().isEmpty()) {
                (inItem ? link : channelLink) = resolved(xml.readElementText());
            } else if (!sparkle && name == QLatin1String("enclosure") && inItem) {
                for (const QXmlStreamAttribute& attribute : xml.attributes()) {
                    if (!isSparkle(attribute.namespaceUri(), attribute.prefix())) {
                        if (attribute.name() == QLatin1String("url"))
                            enclosure = resolved(attribute.value().toString());
                        continue;
                    }
                    if (attribute.name() == QLatin1String("version") && version.isEmpty())
                        version = attribute.value().trimmed().toString();
                    else if (attribute.name() == QLatin1String("shortVersionString") &&
                             shortVersion.isEmpty())
                        shortVersion = attribute.value().trimmed().toString();
                }
            }
        } else if (xml.isEndElement() && inItem && xml.name() == QLatin1String("item") &&
                   xml.prefix().isEmpty()) {
            inItem = false;
            // The short version is the one people read and the one a build calls itself.
            const QString itemVersion = hasDigit(shortVersion) ? shortVersion : version;
            if (!hasDigit(itemVersion))
                continue;
            FeedEntry entry{itemVersion, isWebAddress(link) ? link : enclosure};
            if (!newest || compareVersions(entry.version, newest->version) > 0)
                newest = entry;
        }
    }
    if (xml.hasError())
        return std::nullopt;
    if (newest && !isWebAddress(newest->link))
        newest->link = channelLink;
    return newest;
}
