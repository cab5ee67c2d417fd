#include "platform/gnome/GSettingsList.h"

namespace GSettingsList {

std::optional<QStringList> parse(const QString& text) {
    QString rest = text.trimmed();
    if (rest.startsWith(QLatin1String("@as ")))
        rest = rest.mid(4).trimmed();
    if (!rest.startsWith(u'[') || !rest.endsWith(u']'))
        return std::nullopt;
    QStringList list;
    qsizetype i = 1;
    const qsizetype end = rest.size() - 1;
    const auto skipBlanks = [&] {
        while (i < end && rest.at(i).isSpace())
            ++i;
    };
    skipBlanks();
    while (i < end) {
        const QChar quote = rest.at(i);
        if (quote != u'\'' && quote != u'"')
            return std::nullopt;
        QString item;
        for (++i;; ++i) {
            if (i >= end)
                return std::nullopt;
            QChar c = rest.at(i);
            if (c == quote)
                break;
            if (c == u'\\') {
                if (++i >= end)
                    return std::nullopt;
                c = rest.at(i);
            }
            item += c;
        }
        list.append(item);
        ++i;
        skipBlanks();
        if (i < end) {
            if (rest.at(i) != u',')
                return std::nullopt;
            ++i;
            skipBlanks();
            if (i >= end)
                return std::nullopt; // a comma with nothing after it
        }
    }
    return list;
}

QString format(const QStringList& list) {
    QStringList quoted;
    for (QString item : list) {
        item.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        quoted.append(u'\'' + item + u'\'');
    }
    return u'[' + quoted.join(QStringLiteral(", ")) + u']';
}

} // namespace GSettingsList
