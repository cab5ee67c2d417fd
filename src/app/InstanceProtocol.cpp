#include "InstanceProtocol.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <utility>

namespace {
using Command = AppRequest::Command;

constexpr std::array<std::pair<Command, const char*>, 10> commandNames{{
    {Command::Show, "show"},
    {Command::Toggle, "toggle"},
    {Command::Hide, "hide"},
    {Command::Settings, "settings"},
    {Command::About, "about"},
    {Command::Quit, "quit"},
    {Command::Type, "type"},
    {Command::Set, "set"},
    {Command::ExportSet, "export-set"},
    {Command::ImportSet, "import-set"},
}};

std::optional<QJsonObject> objectOf(const QByteArray& line) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QByteArray lineOf(const QJsonObject& object) {
    // Qt's reader drops a U+FEFF that starts a string, taking it for a byte
    // order mark; escaped, it arrives. Outside strings the line is ASCII.
    return QJsonDocument(object).toJson(QJsonDocument::Compact).replace("\xEF\xBB\xBF", "\\ufeff") + '\n';
}
} // namespace

AppRequest::Framing AppRequest::frame(QByteArrayView received) {
    const qsizetype end = received.first(qMin(received.size(), maximumLineBytes)).indexOf('\n');
    if (end >= 0)
        return {Framing::Kind::Complete, end + 1};
    return {received.size() >= maximumLineBytes ? Framing::Kind::TooLong : Framing::Kind::Incomplete, 0};
}

QByteArray AppRequest::encode() const {
    QJsonObject object;
    for (const auto& [value, name] : commandNames) {
        if (value == command)
            object.insert(QStringLiteral("command"), QLatin1String(name));
    }
    if (command == Command::Type || command == Command::ExportSet)
        object.insert(QStringLiteral("text"), text);
    if (command == Command::ExportSet || command == Command::ImportSet)
        object.insert(QStringLiteral("file"), file);
    if (command == Command::Set)
        object.insert(QStringLiteral("set"), set);
    return lineOf(object);
}

std::optional<AppRequest> AppRequest::decode(const QByteArray& line) {
    const std::optional<QJsonObject> object = objectOf(line);
    if (!object)
        return std::nullopt;
    const QJsonValue name = object->value(QStringLiteral("command"));
    for (const auto& [value, text] : commandNames) {
        if (name.toString() != QLatin1String(text))
            continue;
        AppRequest request;
        request.command = value;
        if (value == Command::ExportSet || value == Command::ImportSet) {
            // The running instance's folder is not the asker's: only whole paths mean the same file.
            const QJsonValue path = object->value(QStringLiteral("file"));
            if (!path.isString() || !path.toString().startsWith(u'/'))
                return std::nullopt;
            request.file = path.toString();
        }
        if (value == Command::Type || value == Command::ExportSet) {
            const QJsonValue typed = object->value(QStringLiteral("text"));
            if (!typed.isString())
                return std::nullopt;
            request.text = typed.toString();
        }
        if (value == Command::Set) {
            const int set = object->value(QStringLiteral("set")).toInt();
            if (set < 1 || set > 3)
                return std::nullopt;
            request.set = set;
        }
        return request;
    }
    return std::nullopt;
}

QByteArray AppReply::encode() const {
    QJsonObject object;
    object.insert(QStringLiteral("status"), status);
    object.insert(QStringLiteral("message"), message);
    return lineOf(object);
}

std::optional<AppReply> AppReply::decode(const QByteArray& line) {
    const std::optional<QJsonObject> object = objectOf(line);
    if (!object)
        return std::nullopt;
    const QJsonValue status = object->value(QStringLiteral("status"));
    const QJsonValue message = object->value(QStringLiteral("message"));
    if (!status.isDouble() || !message.isString())
        return std::nullopt;
    return AppReply{status.toInt(), message.toString()};
}
