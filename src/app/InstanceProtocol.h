#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What a second `runeboard` asks of the running one, and its answer. Each is
// sent as one line of JSON over the instance socket.
struct AppRequest {
    enum class Command { Show, Toggle, Hide, Settings, About, Quit, Type, Set };

    Command command = Command::Show;
    QString text; // for Type
    int set = 0;  // for Set: 1, 2 or 3, as the hotkeys "1", "2" and "3"

    bool operator==(const AppRequest&) const = default;

    QByteArray encode() const;
    static std::optional<AppRequest> decode(const QByteArray& line);
};

struct AppReply {
    int status = 0;
    QString message; // printed by the asking process, may be empty

    bool operator==(const AppReply&) const = default;

    QByteArray encode() const;
    static std::optional<AppReply> decode(const QByteArray& line);
};
