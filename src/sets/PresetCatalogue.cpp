#include "PresetCatalogue.h"

#include <utility>

QList<SymbolSet> presetCatalogue() {
    // Every base character is one precomposed code point; written as escapes so
    // look-alikes (Cyrillic і, dotless ı, comma-below ș ț) cannot slip in.
    static const std::pair<QString, QString> rows[] = {
        {QStringLiteral("preset_kazakh_cyr"),
         QStringLiteral("\u04D9\u0493\u049B\u04A3\u04E9\u04B1\u04AF\u04BB\u0456")},
        {QStringLiteral("preset_kazakh_lat"), QStringLiteral("\u00E4\u00F6\u00FC\u016B\u011F\u015F\u00F1")},
        {QStringLiteral("preset_turkish"), QStringLiteral("\u00E7\u011F\u0131\u00F6\u015F\u00FC")},
        {QStringLiteral("preset_german"), QStringLiteral("\u00E4\u00F6\u00FC\u00DF")},
        {QStringLiteral("preset_french"),
         QStringLiteral(
             "\u00E0\u00E2\u00E7\u00E9\u00E8\u00EA\u00EB\u00EE\u00EF\u00F4\u00F9\u00FB\u00FC\u0153\u00FF")},
        {QStringLiteral("preset_spanish"), QStringLiteral("\u00F1\u00E1\u00E9\u00BF\u00A1")},
        {QStringLiteral("preset_vietnamese"), QStringLiteral("\u0103\u00E2\u00EA\u00F4\u01A1\u01B0")},
        {QStringLiteral("preset_polish"),
         QStringLiteral("\u0105\u0107\u0119\u0142\u0144\u00F3\u015B\u017A\u017C")},
        {QStringLiteral("preset_romanian"), QStringLiteral("\u0103\u00E2\u00EE\u0219\u021B")},
        {QStringLiteral("preset_scandinavian"), QStringLiteral("\u00E5\u00E4\u00F6\u00E6\u00F8")},
        {QStringLiteral("preset_middle_east"), QStringLiteral("\u067E\u0686\u0698\u06AF\u06A4\u06C6")},
        {QStringLiteral("preset_african_latin"),
         QStringLiteral("\u018A\u0257\u0181\u0253\u0186\u0254\u0190\u025B\u0194\u0263")},
        {QStringLiteral("preset_indigenous"), QStringLiteral("\u0141\u0142\u0241\u0242\u018E\u01DD")},
        {QStringLiteral("preset_ipa"),
         QStringLiteral("\u0259\u0283\u0292\u014B\u0254\u0272\u03B8\u00F0\u00E6\u025B\u027E\u0281")},
        {QStringLiteral("preset_math"), QStringLiteral("\u00B1\u00D7\u00F7\u221E\u2260\u2264\u2265\u221A"
                                                       "\u03B1\u03B2\u03B3\u0394\u03B8\u03C0\u03A3\u03A9")},
        {QStringLiteral("preset_typography"),
         QStringLiteral(
             "\u20AC\u00A3\u00A5\u20B8\u20B4\u20BA\u00A7\u00A9\u00AE\u2122\u2014\u2013\u00AB\u00BB")},
    };

    QList<SymbolSet> catalogue;
    catalogue.reserve(std::size(rows));
    for (const auto& [name, characters] : rows) {
        SymbolSet set;
        set.id = QUuid::createUuid();
        set.name = name;
        set.baseCharacters = characters;
        set.isSystem = true;
        catalogue.append(set);
    }
    return catalogue;
}
