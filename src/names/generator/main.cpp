// Turns the CLDR annotation and currency files of the languages Runeboard
// speaks into a C++ source holding one compact table of symbol names:
//
//     symbol TAB language TAB spoken name TAB keyword|keyword… NEWLINE
//
// Usage: runeboard-names-generator CLDR_COMMON_FOLDER OUTPUT.cpp
// A missing folder gives an empty table, so the build works without the data;
// the Unicode names then come from ICU alone.
#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QStringList>
#include <QXmlStreamReader>

#include <cstdio>

namespace {
struct Names {
    QString spoken;
    QStringList keywords;
};
using Table = QMap<QString, Names>; // symbol → names, in one language

// Skin-tone variants repeat their base emoji's names with a tone appended: they
// would triple the table for nothing a search needs.
bool isSkinToneVariant(const QString& symbol) {
    for (const char32_t c : symbol.toUcs4())
        if (c >= 0x1F3FB && c <= 0x1F3FF)
            return true;
    return false;
}

void addKeyword(Names& names, const QString& keyword) {
    const QString trimmed = keyword.trimmed();
    if (!trimmed.isEmpty() && !names.keywords.contains(trimmed))
        names.keywords.append(trimmed);
}

bool readAnnotations(const QString& path, Table& table) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("annotation"))
            continue;
        const QString symbol = xml.attributes().value(QLatin1String("cp")).toString();
        const bool spoken = xml.attributes().value(QLatin1String("type")) == QLatin1String("tts");
        const QString text = xml.readElementText().simplified();
        if (symbol.isEmpty() || text.isEmpty() || text == QLatin1String("↑↑↑") || isSkinToneVariant(symbol))
            continue;
        Names& names = table[symbol];
        if (spoken)
            names.spoken = text;
        else
            for (const QString& keyword : text.split(u'|'))
                addKeyword(names, keyword);
    }
    return !xml.hasError();
}

// Currency type → its narrow symbol, or its display name, as a locale file gives them.
QMap<QString, QString> readCurrencies(const QString& path, bool wantSymbol) {
    QMap<QString, QString> result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    QXmlStreamReader xml(&file);
    QString currency;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("currency"))
            currency.clear();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("currency")) {
            currency = xml.attributes().value(QLatin1String("type")).toString();
        } else if (!currency.isEmpty() && wantSymbol && xml.name() == QLatin1String("symbol") &&
                   xml.attributes().value(QLatin1String("alt")) == QLatin1String("narrow")) {
            result[currency] = xml.readElementText();
        } else if (!currency.isEmpty() && !wantSymbol && xml.name() == QLatin1String("displayName") &&
                   !xml.attributes().hasAttribute(QLatin1String("count"))) {
            result[currency] = xml.readElementText();
        }
    }
    return result;
}

// Currency signs are missing from the annotations; their currencies' names say what they are.
void addCurrencies(const QString& common, const QString& language, Table& table) {
    QMap<QString, QString> symbols = readCurrencies(common + QLatin1String("/main/root.xml"), true);
    const QString localeFile = common + QLatin1String("/main/") + language + QLatin1String(".xml");
    symbols.insert(readCurrencies(localeFile, true));
    const QMap<QString, QString> displayNames = readCurrencies(localeFile, false);
    for (auto it = symbols.cbegin(); it != symbols.cend(); ++it) {
        const QString& sign = it.value();
        const QString name = displayNames.value(it.key());
        // A letter code ("KZT") or a plain dollar sign names nothing particular.
        if (name.isEmpty() || sign.toUcs4().size() != 1 || sign.at(0).unicode() < 0x80)
            continue;
        Names& names = table[sign];
        addKeyword(names, name);
        if (names.spoken.isEmpty())
            names.spoken = name;
    }
}

// One C string literal; UTF-8 passes through, quotes and backslashes are escaped.
QByteArray literal(const QByteArray& bytes) {
    QByteArray out = "\"";
    for (const char c : bytes) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '"' || c == '\\')
            out += '\\' + QByteArray(1, c);
        else
            out += c;
    }
    return out + '"';
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: runeboard-names-generator CLDR_COMMON_FOLDER OUTPUT.cpp\n");
        return 2;
    }
    const QString common = arguments.at(1);
    QByteArray body;
    int records = 0;
    for (const QString& language : {QStringLiteral("en"), QStringLiteral("ru")}) {
        Table table;
        const QString file = language + QLatin1String(".xml");
        if (!readAnnotations(common + QLatin1String("/annotations/") + file, table))
            continue;
        readAnnotations(common + QLatin1String("/annotationsDerived/") + file, table);
        addCurrencies(common, language, table);
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            const Names& names = it.value();
            const QString spoken = names.spoken.isEmpty() ? names.keywords.value(0) : names.spoken;
            if (spoken.isEmpty() || it.key().contains(u'\t') || it.key().contains(u'\n'))
                continue;
            const QString line =
                it.key() + u'\t' + language + u'\t' + spoken + u'\t' + names.keywords.join(u'|') + u'\n';
            body += "    " + literal(line.toUtf8()) + "\n";
            ++records;
        }
    }
    QSaveFile out(arguments.at(2));
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(arguments.at(2)));
        return 1;
    }
    out.write("// Generated from the CLDR data at build time; do not edit.\n"
              "#include \"names/CldrNameData.h\"\n\n"
              "// " +
              QByteArray::number(records) +
              " records.\n"
              "const char CldrNameData::table[] =\n" +
              (body.isEmpty() ? QByteArray("    \"\"\n") : body) +
              "    ;\n"
              "const std::size_t CldrNameData::size = sizeof(CldrNameData::table) - 1;\n");
    return out.commit() ? 0 : 1;
}
