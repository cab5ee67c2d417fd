#include "CommandLine.h"

#include "app/TypedText.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace {
using Command = AppRequest::Command;

CommandLine invalid(const QString& error) {
    CommandLine line;
    line.kind = CommandLine::Kind::Invalid;
    line.error = error;
    return line;
}

std::optional<Command> actionOf(const QString& argument) {
    static const std::pair<const char*, Command> actions[] = {
        {"--show", Command::Show},         {"--toggle", Command::Toggle}, {"--hide", Command::Hide},
        {"--settings", Command::Settings}, {"--about", Command::About},   {"--quit", Command::Quit},
    };
    for (const auto& [name, command] : actions) {
        if (argument == QLatin1String(name))
            return command;
    }
    return std::nullopt;
}
} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine line;
    bool haveAction = false;
    auto takeAction = [&](Command command, const QString& text = {}) {
        if (haveAction)
            return false;
        haveAction = true;
        line.request.command = command;
        line.request.text = text;
        return true;
    };
    const QString onlyOne =
        QStringLiteral("only one of --show, --toggle, --hide, --set, --settings, --about, --quit, "
                       "--type, --export-set and --import-set can be given");
    auto takeSet = [&](const QString& number) {
        if (number != QLatin1String("1") && number != QLatin1String("2") && number != QLatin1String("3"))
            return std::optional<CommandLine>(
                invalid(QStringLiteral("--set takes 1, 2 or 3 (the main set, then the additional ones)")));
        if (!takeAction(Command::Set))
            return std::optional<CommandLine>(invalid(onlyOne));
        line.request.set = number.toInt();
        return std::optional<CommandLine>();
    };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.kind = Kind::Help;
            return line;
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            line.kind = Kind::Version;
            return line;
        }
        // KWin starts this when the user chooses Runeboard as Plasma's virtual keyboard.
        if (argument == QLatin1String("--input-method")) {
            if (arguments.size() != 1)
                return invalid(QStringLiteral("--input-method cannot be given with another option"));
            line.kind = Kind::InputMethod;
            return line;
        }
        // Every argument after it is a word of the name ("--find latin small eng").
        if (argument == QLatin1String("--find") || argument.startsWith(QLatin1String("--find="))) {
            QStringList words = arguments.mid(i + 1);
            if (argument != QLatin1String("--find"))
                words.prepend(argument.mid(7));
            line.findWords = words.join(u' ').simplified();
            if (line.findWords.isEmpty())
                return invalid(
                    QStringLiteral("--find needs words of a name, as in: runeboard --find arrow right"));
            if (haveAction)
                return invalid(QStringLiteral("--find cannot be given with another option"));
            line.kind = Kind::Find;
            return line;
        }
        if (const auto command = actionOf(argument)) {
            if (!takeAction(*command))
                return invalid(onlyOne);
            continue;
        }
        if (argument == QLatin1String("--set") || argument.startsWith(QLatin1String("--set="))) {
            const bool separate = argument == QLatin1String("--set");
            if (separate && i + 1 >= arguments.size())
                return invalid(QStringLiteral("--set needs the number of the set: 1, 2 or 3"));
            if (const std::optional<CommandLine> error =
                    takeSet(separate ? arguments.at(++i) : argument.mid(6)))
                return *error;
            continue;
        }
        const bool typeSeparate = argument == QLatin1String("--type");
        if (typeSeparate || argument.startsWith(QLatin1String("--type="))) {
            // The next argument is the text, whatever it looks like ("--type -x" types "-x").
            if (typeSeparate && i + 1 >= arguments.size())
                return invalid(QStringLiteral("--type needs the text to type, as in: runeboard --type 'ą'"));
            const QString text = typeSeparate ? arguments.at(++i) : argument.mid(7);
            if (const QString problem = TypedText::problem(text); !problem.isEmpty())
                return invalid(QStringLiteral("--type cannot type this text: ") + problem);
            if (!takeAction(Command::Type, text))
                return invalid(onlyOne);
            continue;
        }
        if (argument == QLatin1String("--export-set") || argument == QLatin1String("--import-set")) {
            const bool exporting = argument == QLatin1String("--export-set");
            const int needed = exporting ? 2 : 1;
            if (i + needed >= arguments.size() || arguments.at(i + needed).isEmpty())
                return invalid(exporting
                                   ? QStringLiteral("--export-set needs the name of a set and a file, as in: "
                                                    "runeboard --export-set German german.txt")
                                   : QStringLiteral("--import-set needs a file, as in: runeboard "
                                                    "--import-set german.txt"));
            const QString name = exporting ? arguments.at(++i) : QString();
            if (!takeAction(exporting ? Command::ExportSet : Command::ImportSet, name))
                return invalid(onlyOne);
            line.request.file = QFileInfo(arguments.at(++i)).absoluteFilePath();
            continue;
        }
        return invalid(QStringLiteral("unknown argument '%1'").arg(argument));
    }
    return line;
}

CommandLine CommandLine::parse(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        QStringDecoder decoder(QStringDecoder::System, QStringDecoder::Flag::Stateless);
        arguments.append(decoder.decode(QByteArrayView(argv[i])));
        if (decoder.hasError())
            return invalid(QStringLiteral("argument %1 is not valid UTF-8 text ('%2')")
                               .arg(i)
                               .arg(QString::fromLocal8Bit(argv[i])));
    }
    return parse(arguments);
}

QString CommandLine::helpText() {
    return QStringLiteral("Usage: runeboard [OPTION]\n"
                          "A floating keyboard of special symbols: click a key and its symbol is typed\n"
                          "into the program that has the keyboard focus.\n"
                          "\n"
                          "Without an option Runeboard starts, or shows the keyboard of the Runeboard\n"
                          "already running on this display. The options below are carried out by the\n"
                          "running Runeboard, which is started first where that makes sense.\n"
                          "\n"
                          "      --show        show the keyboard\n"
                          "      --toggle      show the keyboard, or hide it when it is shown\n"
                          "      --hide        hide the keyboard\n"
                          "      --set N       show set N: 1 the main set, 2 and 3 the additional ones\n"
                          "      --settings    open the settings window\n"
                          "      --about       open the Help & About window\n"
                          "      --quit        end the running Runeboard\n"
                          "      --type TEXT   type TEXT into the focused window and exit when done;\n"
                          "                    tab and newline are typed as the Tab and Return keys,\n"
                          "                    other control characters are refused\n"
                          "      --export-set NAME FILE\n"
                          "                    write the set named NAME to FILE, a UTF-8 text file\n"
                          "      --import-set FILE\n"
                          "                    add the set in FILE (written by --export-set, or any\n"
                          "                    UTF-8 text: each character a key) to the sets\n"
                          "      --find WORDS  print the symbols whose names hold words beginning with\n"
                          "                    WORDS, in English or Russian, one a line: the symbol,\n"
                          "                    its code points and its name\n"
                          "      --input-method\n"
                          "                    serve as Plasma's virtual keyboard; KWin starts this\n"
                          "                    when Runeboard is chosen in System Settings\n"
                          "  -h, --help        show this help and exit\n"
                          "  -v, --version     show the version and exit\n");
}
