#include "app/TypeCommand.h"

#include "app/PlatformChooser.h"
#include "app/TypingJob.h"
#include "app/Wording.h"
#include "platform/Log.h"
#include "platform/TerminationSignals.h"

#include <QEventLoop>

#include <utility>

namespace {
void printError(const QString& line) {
    Log::line(QStringLiteral("runeboard: ") + line, stderr);
}
} // namespace

int runTypeCommand(const QString& text) {
    PlatformServices services = PlatformChooser::choose();
    TypingBackend& typing = *services.typing;
    if (const UserText reason = typing.unavailableReason(); !reason.isEmpty()) {
        printError(QStringLiteral("cannot type: ") + wordedForThisUser(reason));
        return 2;
    }
    if (!services.typingProblem.isEmpty())
        printError(wordedForThisUser(services.typingProblem));

    QEventLoop loop;
    int failures = 0;
    int stoppedBy = 0;
    bool finishing = false;
    const auto finish = [&] {
        if (!std::exchange(finishing, true))
            typing.restoreSystem();
    };
    // Once everything is delivered the keymap is given back, after the last receiver can have read it.
    QObject::connect(&typing, &TypingBackend::restored, &loop, &QEventLoop::quit);
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &loop, [&](int signalNumber) {
        stoppedBy = signalNumber;
        finishing = false;
        finish();
    });
    TypingJob job(typing);
    QObject::connect(&job, &TypingJob::finished, &loop, [&](int failed) {
        failures = failed;
        finish();
    });
    job.start(text);
    loop.exec();

    if (stoppedBy) {
        printError(QStringLiteral("stopped by signal %1 before all of the text was typed").arg(stoppedBy));
        return 128 + stoppedBy;
    }
    if (failures) {
        printError(QStringLiteral("%1 of the text's symbols could not be typed (see above)").arg(failures));
        return 1;
    }
    return 0;
}
