#include "platform/Log.h"

namespace Log {

void line(const QString& text, std::FILE* stream) {
    const QByteArray bytes = (text + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace Log
