#pragma once

#include "app/InstanceProtocol.h"

#include <QString>

// The asking side of the instance socket, in plain blocking calls: it runs
// before any application object exists, so asking costs a second `runeboard`
// almost nothing.
class InstanceClient {
public:
    struct Outcome {
        enum class Kind { NotRunning, Answered, NoAnswer };
        Kind kind = Kind::NotRunning;
        AppReply reply; // for Answered
    };

    // Sends the request and waits for the answer. NotRunning when nothing
    // listens on the socket; NoAnswer when the instance went away or did not
    // answer within answerTimeoutMs (negative: wait as long as it takes, for
    // typing, which ends when the text is typed). A request too long for the
    // running instance is not sent; it is Answered here with status 2.
    static Outcome send(const QString& socketPath, const AppRequest& request, int answerTimeoutMs);
};
