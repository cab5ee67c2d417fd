#include "platform/DisplayName.h"

#include <QRegularExpression>

std::optional<DisplayName> DisplayName::parse(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(.*):(\\d+)(?:\\.(\\d+))?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    DisplayName name;
    name.host = match.captured(1);
    if (name.host == QLatin1String("unix"))
        name.host.clear();
    bool ok = false;
    name.display = match.captured(2).toInt(&ok);
    if (!ok)
        return std::nullopt;
    name.screen = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    return name;
}

QString DisplayName::withoutScreen() const {
    return host + u':' + QString::number(display);
}
