#include "platform/gnome/GnomeExtensionSetup.h"

#include "platform/gnome/GSettingsList.h"
#include "platform/gnome/GnomeShellLink.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {
const QString shellSchema = QStringLiteral("org.gnome.shell");
const QString enabledKey = QStringLiteral("enabled-extensions");
const QString disabledKey = QStringLiteral("disabled-extensions");

// gsettings' own answer, or nothing when it could not be run or failed.
std::optional<QString> gsettings(const QStringList& arguments, QString* why = nullptr) {
    QProcess process;
    process.start(QStringLiteral("gsettings"), arguments);
    if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (why)
            *why = QStringLiteral("gsettings %1 failed: %2")
                       .arg(arguments.join(u' '),
                            QString::fromLocal8Bit(process.readAllStandardError()).trimmed() +
                                process.errorString());
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList listSetting(const QString& key) {
    const std::optional<QString> text = gsettings({QStringLiteral("get"), shellSchema, key});
    return text ? GSettingsList::parse(*text).value_or(QStringList()) : QStringList();
}

// The folders GNOME Shell looks in: the user's own first, then the system's.
bool installedAnywhere() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    QStringList folders{dataHome};
    const QString dataDirs =
        qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    folders += dataDirs.split(u':', Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        if (QFileInfo::exists(folder + QStringLiteral("/gnome-shell/extensions/") +
                              GnomeExtensionSetup::uuid + QStringLiteral("/metadata.json")))
            return true;
    }
    return false;
}

QDBusMessage shellExtensions(const QString& method) {
    return QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"),
                                          QStringLiteral("/org/gnome/Shell"),
                                          QStringLiteral("org.gnome.Shell.Extensions"), method)
           << GnomeExtensionSetup::uuid;
}
} // namespace

GnomeExtensionSetup::Judgement GnomeExtensionSetup::judge(const Facts& facts) {
    if (facts.answers)
        return {State::Works, {}};
    if (facts.shellState == Error)
        return {State::Failed, facts.shellError};
    if (facts.shellState == OutOfDate)
        return {State::Failed, QStringLiteral("it is not made for this version of GNOME Shell")};
    if (!facts.installed && facts.shellState == Unknown)
        return {State::Missing, {}};
    if (facts.shellState == Enabled)
        return {State::Failed, facts.claimProblem};
    if (!facts.listedEnabled || facts.listedDisabled || facts.shellState != Unknown)
        return {State::Off, {}};
    return {State::RestartNeeded, {}};
}

GnomeExtensionSetup::GnomeExtensionSetup(std::shared_ptr<GnomeShellLink> link, QString claimProblem,
                                         QObject* parent)
    : TypingSetup(parent)
    , m_link(std::move(link))
    , m_claimProblem(std::move(claimProblem)) {
    m_judgement = judge(gather());
    connect(m_link.get(), &GnomeShellLink::reclaimed, this, &GnomeExtensionSetup::refresh);
    connect(m_link.get(), &GnomeShellLink::lost, this, &GnomeExtensionSetup::refresh);
}

GnomeExtensionSetup::~GnomeExtensionSetup() = default;

GnomeExtensionSetup::Facts GnomeExtensionSetup::gather() const {
    Facts facts;
    facts.answers = m_link->isClaimed();
    if (facts.answers)
        return facts; // nothing else matters, and asking costs a process
    facts.claimProblem = m_claimProblem;
    facts.installed = installedAnywhere();
    const QDBusMessage info = QDBusConnection::sessionBus().call(
        shellExtensions(QStringLiteral("GetExtensionInfo")), QDBus::Block, 5000);
    const QVariantMap map = info.arguments().value(0).toMap();
    facts.shellState = int(map.value(QStringLiteral("state")).toDouble());
    facts.shellError = map.value(QStringLiteral("error")).toString();
    facts.listedEnabled = listSetting(enabledKey).contains(uuid);
    facts.listedDisabled = listSetting(disabledKey).contains(uuid);
    return facts;
}

void GnomeExtensionSetup::refresh() {
    const Judgement judgement = judge(gather());
    if (judgement.state == m_judgement.state && judgement.detail == m_judgement.detail)
        return;
    m_judgement = judgement;
    Q_EMIT stateChanged();
}

bool GnomeExtensionSetup::turnOn(QString* why) {
    const Facts facts = gather();
    bool done = false;
    if (facts.shellState == Disabled || facts.shellState == Initialized) {
        // The shell has loaded it before: it starts it now and keeps it on the list itself.
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            shellExtensions(QStringLiteral("EnableExtension")), QDBus::Block, 5000);
        done = reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
        if (!done)
            *why = QStringLiteral("GNOME Shell did not turn it on (%1)").arg(reply.errorMessage());
    } else {
        QStringList enabled = listSetting(enabledKey);
        QStringList disabled = listSetting(disabledKey);
        done = true;
        if (!enabled.contains(uuid))
            done = gsettings({QStringLiteral("set"), shellSchema, enabledKey,
                              GSettingsList::format(enabled << uuid)},
                             why)
                       .has_value();
        if (done && disabled.removeAll(uuid) > 0)
            done =
                gsettings({QStringLiteral("set"), shellSchema, disabledKey, GSettingsList::format(disabled)},
                          why)
                    .has_value();
    }
    refresh();
    return done;
}

UserText GnomeExtensionSetup::problem() const {
    switch (m_judgement.state) {
    case State::Works:
        return {};
    case State::Missing:
        return {QStringLiteral("gnome_extension_missing")};
    case State::Off:
        return {QStringLiteral("typing_gnome_extension_off")};
    case State::RestartNeeded:
        return {QStringLiteral("gnome_extension_restart")};
    case State::Failed:
        return {QStringLiteral("gnome_extension_failed"), {m_judgement.detail}};
    }
    return {};
}
