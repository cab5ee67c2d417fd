#include "platform/DisplayName.h"

namespace {
bool isNumber(QStringView text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}
} // namespace

// Read by hand: this runs before every start, and a regular expression would
// bring its engine (and its compiled code) into every process for one line.
std::optional<DisplayName> DisplayName::parse(const QString& text) {
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon < 0)
        return std::nullopt;
    const QStringView numbers = QStringView(text).mid(colon + 1);
    const qsizetype dot = numbers.indexOf(u'.');
    const QStringView display = dot < 0 ? numbers : numbers.left(dot);
    const QStringView screen = dot < 0 ? QStringView() : numbers.mid(dot + 1);
    if (!isNumber(display) || (dot >= 0 && !isNumber(screen)))
        return std::nullopt;
    DisplayName name;
    name.host = text.left(colon);
    if (name.host == QLatin1String("unix"))
        name.host.clear();
    bool ok = false;
    name.display = display.toInt(&ok);
    if (!ok)
        return std::nullopt;
    name.screen = screen.isEmpty() ? 0 : screen.toInt();
    return name;
}

QString DisplayName::withoutScreen() const {
    return host + u':' + QString::number(display);
}
