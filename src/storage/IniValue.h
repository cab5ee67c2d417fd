#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// One value of the configuration file, by the kind it is written as. Text
// and data are what Runeboard stores; everything else the INI form can hold
// (lists, @Invalid(), @Variant(…) and the like) is Other and is kept only as
// the file spells it.
struct IniValue {
    enum class Kind { Text, Data, Other };

    Kind kind = Kind::Text;
    QString text;    // Text
    QByteArray data; // Data; for Other the value as written in the file

    static IniValue fromText(QString text) { return {Kind::Text, std::move(text), {}}; }
    static IniValue fromData(QByteArray data) { return {Kind::Data, {}, std::move(data)}; }
    static IniValue other(QByteArray spelled) { return {Kind::Other, {}, std::move(spelled)}; }

    // The value part of a line, exactly as QSettings writes it.
    QByteArray spelled() const;
    // What the value part of a line holds; nothing when QSettings would not
    // read it the same way.
    static std::optional<IniValue> read(QByteArrayView spelled);

    bool operator==(const IniValue&) const = default;
};
