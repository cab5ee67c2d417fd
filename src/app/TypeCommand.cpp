#include "app/TypeCommand.h"

#include "app/PlatformChooser.h"
#include "app/TypedText.h"
#include "app/TypingJob.h"
#include "app/Wording.h"
#include "platform/Log.h"
#include "platform/TerminationSignals.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

namespace {
void printError(const QString& line) {
    Log::line(QStringLiteral("runeboard: ") + line, stderr);
}
// Holds the typing turn (an flock on the user's runtime folder) until
// destroyed; the kernel gives it back if the process dies.
class TypingTurn {
public:
    explicit TypingTurn(const QString& path)
        : m_fd(path.isEmpty()
                   ? -1
                   : ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~TypingTurn() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TypingTurn(const TypingTurn&) = delete;
    TypingTurn& operator=(const TypingTurn&) = delete;

    // True once the turn is this process's (or there is no folder to take turns on).
    bool take() { return m_fd < 0 || ::flock(m_fd, LOCK_EX | LOCK_NB) == 0; }

private:
    int m_fd;
};

// Waits on the event loop, so that SIGTERM still ends the wait. False when a signal did.
bool waitForTurn(TypingTurn& turn, int* stoppedBy) {
    if (turn.take())
        return true;
    printError(
        QStringLiteral("another 'runeboard --type' is typing; waiting until it is done"));
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (turn.take())
            loop.quit();
    });
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &loop, [&](int signalNumber) {
        *stoppedBy = signalNumber;
        loop.quit();
    });
    poll.start(20);
    loop.exec();
    return *stoppedBy == 0;
}
} // namespace

int runTypeCommand(const QString& text, const QString& turnPath) {
    TypingTurn turn(turnPath);
    if (int stoppedBy = 0; !waitForTurn(turn, &stoppedBy)) {
        printError(QStringLiteral("stopped by signal %1 before any of the text was typed").arg(stoppedBy));
        return 128 + stoppedBy;
    }
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
    // Everything for the person at the terminal goes to one stream.
    QObject::connect(
        &typing, &TypingBackend::deliveryFailed, &loop, [](const QString& text, const QString& why) {
            printError(QStringLiteral("cannot type %1: %2").arg(TypedText::codePoints(text), why));
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
