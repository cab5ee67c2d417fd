#pragma once

#include "app/InstanceProtocol.h"

class LocalizationManager;
class SetStore;

// `runeboard --export-set NAME FILE` and `--import-set FILE`, carried out on the
// sets of the running Runeboard, or of the configuration when none runs. The
// reply's message says what was done, or why nothing was: an import that fails
// changes nothing.
class SetFileCommand {
public:
    static AppReply carryOut(const AppRequest& request, SetStore& sets, const LocalizationManager& words);
    // For a process that is not the running instance: on the configuration file itself.
    static int carryOutOnConfiguration(const AppRequest& request, const QString& systemLanguage);
};
