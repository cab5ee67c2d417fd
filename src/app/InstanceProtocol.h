#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// What a second `runeboard` asks of the running one, and its answer. Each is
// sent as one line of JSON over the instance socket.
struct AppRequest {
    enum class Command { Show, Toggle, Hide, Settings, About, Quit, Type, Set, ExportSet, ImportSet };

    // The longest request line, its line feed included. One command-line
    // argument holds at most 128 KiB; its JSON form stays below this even when
    // every other character is a line break.
    static constexpr qsizetype maximumLineBytes = 512 * 1024;

    // Where the request line ends in what a connection has sent so far.
    struct Framing {
        enum class Kind { Incomplete, Complete, TooLong };
        Kind kind = Kind::Incomplete;
        qsizetype length = 0; // Complete: the line's bytes, its line feed included
    };
    static Framing frame(QByteArrayView received);

    Command command = Command::Show;
    QString text; // for Type; for ExportSet, the set's name
    QString file; // for ExportSet and ImportSet: an absolute path
    int set = 0;  // for Set: 1, 2 or 3, as the set hotkeys count them

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
