#pragma once

#include <QHash>
#include <QRectF>
#include <QString>

// How the keys report their frames to the view: each key adds its frame in the
// "keyboardGrid" space under its identifier, and the reports are combined.
struct ButtonFrameKey {
    using Value = QHash<QString, QRectF>;

    // "b:" or "c:" followed by the key's text.
    static QString identifier(const QString& text, bool isCustom) {
        return (isCustom ? QStringLiteral("c:") : QStringLiteral("b:")) + text;
    }

    // The union of both reports; on a shared identifier the later one wins.
    static void reduce(Value& value, const Value& next) {
        for (auto it = next.constBegin(); it != next.constEnd(); ++it)
            value.insert(it.key(), it.value());
    }
};
