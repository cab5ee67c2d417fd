#include "app/TypeCommand.h"

#include "keyboard/InputInjector.h"
#include "platform/Log.h"
#include "platform/TerminationSignals.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/x11/X11Platform.h"

#include <QEventLoop>

#include <utility>

namespace {
void printError(const QString& line) {
    Log::line(QStringLiteral("runeboard: ") + line, stderr);
}
} // namespace

int runTypeCommand(const QString& text) {
    std::optional<PlatformServices> wayland = WaylandPlatform::create();
    PlatformServices services = wayland ? std::move(*wayland) : X11Platform::create();
    TypingBackend& typing = *services.typing;
    if (const QString reason = typing.unavailableReason(); !reason.isEmpty()) {
        printError(QStringLiteral("cannot type: ") + reason);
        return 2;
    }
    if (!services.typingProblem.isEmpty())
        printError(services.typingProblem);

    QEventLoop loop;
    int failures = 0;
    int stoppedBy = 0;
    QObject::connect(&typing, &TypingBackend::deliveryFailed, &loop, [&failures] { ++failures; });
    bool finishing = false;
    const auto finish = [&] {
        if (!std::exchange(finishing, true))
            typing.restoreSystem();
    };
    QObject::connect(&typing, &TypingBackend::restored, &loop, &QEventLoop::quit);
    // Once everything is delivered the keymap is given back, after the last receiver can have read it.
    QObject::connect(&typing, &TypingBackend::idle, &loop, finish);
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &loop, [&](int signalNumber) {
        stoppedBy = signalNumber;
        finishing = false;
        finish();
    });

    failures += InputInjector(typing).typeText(text);
    if (typing.isIdle())
        finish();
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
