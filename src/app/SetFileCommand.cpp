#include "SetFileCommand.h"

#include "localization/LocalizationManager.h"
#include "platform/Log.h"
#include "sets/SetFile.h"
#include "sets/SetStore.h"
#include "storage/SettingsStore.h"

namespace {
QString problemText(SetFile::Problem problem, const QString& file, const QString& detail) {
    switch (problem) {
    case SetFile::Problem::None:
        break;
    case SetFile::Problem::CannotOpen:
        return QStringLiteral("cannot read %1: %2").arg(file, detail);
    case SetFile::Problem::NotText:
        return QStringLiteral("%1 is not UTF-8 text").arg(file);
    case SetFile::Problem::Empty:
        return QStringLiteral("%1 holds no symbols").arg(file);
    case SetFile::Problem::TooLarge:
        return QStringLiteral("%1 holds more than %2 symbols").arg(file).arg(SetFile::maximumSymbols);
    case SetFile::Problem::CannotWrite:
        return QStringLiteral("cannot write %1: %2").arg(file, detail);
    }
    return {};
}
} // namespace

AppReply SetFileCommand::carryOut(const AppRequest& request, SetStore& sets,
                                  const LocalizationManager& words) {
    const QString prefix = QStringLiteral("runeboard: ");
    if (request.command == AppRequest::Command::ImportSet) {
        const SetFile::Result read = SetFile::read(request.file);
        if (!read.set)
            return {1, prefix + QStringLiteral("nothing imported: ") +
                           problemText(read.problem, request.file, read.detail)};
        sets.addSet(*read.set);
        return {0, QStringLiteral("Imported the set \"%1\" (%2 keys) from %3.")
                       .arg(read.set->name)
                       .arg(read.set->baseSymbols().size() + read.set->customSymbols().size())
                       .arg(request.file)};
    }
    QStringList names;
    for (const SymbolSet& set : sets.sets()) {
        const QString shown = words.localized(set.name);
        if (shown.compare(request.text, Qt::CaseInsensitive) == 0 ||
            set.name.compare(request.text, Qt::CaseInsensitive) == 0) {
            QString detail;
            const SetFile::Problem problem = SetFile::write(request.file, shown, set, &detail);
            if (problem != SetFile::Problem::None)
                return {1, prefix + problemText(problem, request.file, detail)};
            return {0, QStringLiteral("Wrote the set \"%1\" to %2.").arg(shown, request.file)};
        }
        names.append(shown);
    }
    return {1, prefix + QStringLiteral("there is no set named \"%1\"; the sets are: %2")
                            .arg(request.text, names.join(QStringLiteral(", ")))};
}

int SetFileCommand::carryOutOnConfiguration(const AppRequest& request, const QString& systemLanguage) {
    SettingsStore store(SettingsStore::defaultFilePath());
    SetStore sets(store, systemLanguage);
    const LocalizationManager words(store, systemLanguage);
    const AppReply reply = carryOut(request, sets, words);
    Log::line(reply.message, reply.status == 0 ? stdout : stderr);
    return reply.status;
}
