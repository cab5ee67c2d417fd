#include "SymbolSet.h"

#include "sets/JsonText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextBoundaryFinder>

QStringList SymbolSet::graphemes(const QString& text) {
    QStringList clusters;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        if (end > start)
            clusters.append(text.mid(start, end - start));
        start = end;
    }
    return clusters;
}

QStringList SymbolSet::baseSymbols() const {
    return graphemes(baseCharacters);
}

QStringList SymbolSet::customSymbols() const {
    return customSymbolsOf(customCharacters);
}

QStringList SymbolSet::customSymbolsOf(const QString& customCharacters) {
    if (customCharacters.isEmpty())
        return {};
    if (customCharacters.contains(customSymbolSeparator))
        return customCharacters.split(customSymbolSeparator, Qt::SkipEmptyParts);
    // Older plain strings: one symbol per character.
    return graphemes(customCharacters);
}

QString SymbolSet::appendingCustomSymbol(const QString& existing, const QString& symbol) {
    if (existing.isEmpty())
        return joinedCustomSymbols({symbol});
    QStringList symbols = customSymbolsOf(existing);
    symbols.append(symbol);
    return joinedCustomSymbols(symbols);
}

QString SymbolSet::joinedCustomSymbols(const QStringList& symbols) {
    QString text = symbols.join(customSymbolSeparator);
    if (symbols.size() == 1 && graphemes(text).size() > 1)
        text += customSymbolSeparator;
    return text;
}

QString SymbolSet::idText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> SymbolSet::parseId(const QString& text) {
    // Exactly 8-4-4-4-12 hexadecimal digits: QUuid alone would also take braces and other forms.
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool dashPlace = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (dashPlace ? c != u'-' : !hex)
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

QByteArray SymbolSet::encodeList(const QList<SymbolSet>& sets) {
    using JsonText::boolean;
    using JsonText::quoted;
    QString json = QStringLiteral("[");
    for (qsizetype i = 0; i < sets.size(); ++i) {
        const SymbolSet& p = sets[i];
        if (i > 0)
            json += u',';
        json += QStringLiteral("{\"id\":") + quoted(p.idText()) + QStringLiteral(",\"name\":") +
                quoted(p.name) + QStringLiteral(",\"baseCharacters\":") + quoted(p.baseCharacters) +
                QStringLiteral(",\"customCharacters\":") + quoted(p.customCharacters) +
                QStringLiteral(",\"isMain\":") + boolean(p.isMain) + QStringLiteral(",\"isAdditional\":") +
                boolean(p.isAdditional) + QStringLiteral(",\"isSystem\":") + boolean(p.isSystem) + u'}';
    }
    json += u']';
    return json.toUtf8();
}

namespace {

bool readMember(const QJsonObject& object, const char* name, QJsonValue::Type type, QJsonValue* out,
                QString* error, qsizetype index) {
    const QJsonValue value = object.value(QLatin1String(name));
    if (value.isUndefined()) {
        *error = QStringLiteral("set %1 has no member \"%2\"").arg(index).arg(QLatin1String(name));
        return false;
    }
    if (value.type() != type) {
        *error =
            QStringLiteral("member \"%2\" of set %1 has the wrong type").arg(index).arg(QLatin1String(name));
        return false;
    }
    *out = value;
    return true;
}

} // namespace

std::optional<QList<SymbolSet>> SymbolSet::decodeList(const QByteArray& json, QString* error) {
    QString ignored;
    if (!error)
        error = &ignored;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isArray()) {
        *error = QStringLiteral("the document is not a list of sets");
        return std::nullopt;
    }
    const QJsonArray array = document.array();
    QList<SymbolSet> sets;
    sets.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (!array[i].isObject()) {
            *error = QStringLiteral("set %1 is not an object").arg(i);
            return std::nullopt;
        }
        const QJsonObject object = array[i].toObject();
        QJsonValue id, name, base, custom, isMain, isAdditional, isSystem;
        if (!readMember(object, "id", QJsonValue::String, &id, error, i) ||
            !readMember(object, "name", QJsonValue::String, &name, error, i) ||
            !readMember(object, "baseCharacters", QJsonValue::String, &base, error, i) ||
            !readMember(object, "customCharacters", QJsonValue::String, &custom, error, i) ||
            !readMember(object, "isMain", QJsonValue::Bool, &isMain, error, i) ||
            !readMember(object, "isAdditional", QJsonValue::Bool, &isAdditional, error, i) ||
            !readMember(object, "isSystem", QJsonValue::Bool, &isSystem, error, i))
            return std::nullopt;
        const std::optional<QUuid> uuid = parseId(id.toString());
        if (!uuid) {
            *error = QStringLiteral("set %1 has a malformed identifier \"%2\"").arg(i).arg(id.toString());
            return std::nullopt;
        }
        sets.append({*uuid, name.toString(), base.toString(), custom.toString(), isMain.toBool(),
                     isAdditional.toBool(), isSystem.toBool()});
    }
    return sets;
}

size_t qHash(const SymbolSet& set, size_t seed) noexcept {
    return qHashMulti(seed, set.id, set.name, set.baseCharacters, set.customCharacters, set.isMain,
                      set.isAdditional, set.isSystem);
}
