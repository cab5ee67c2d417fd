#include "platform/PlatformServices.h"

#include "platform/Log.h"

bool PlatformServices::writeLaunchCheck() const {
    if (typingProblem.isEmpty())
        return false;
    Log::line(QStringLiteral("Внимание: приложению нужны разрешения Accessibility для ввода текста."));
    Log::line(typingProblem);
    return true;
}
