#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class LineConnection;
class QSocketNotifier;

// The socket through which the process KWin starts as Plasma's virtual keyboard
// (`runeboard --input-method`) takes text from any Runeboard of the session and
// commits it into the focused text field. KWin owns that process's lifetime and
// gives its Wayland connection to it alone, so the running keyboard (or a
// one-off `--type`) hands its text over here instead. Each request is one
// line, the text's UTF-8 in base64; each answer is one line, in order.
class InputMethodService : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Typed,   // committed, and KWin has handled it
        NoField, // no text field has the focus: nothing was committed
        Unsure,  // the field changed while the text went: it may not have arrived
        Lost,    // the input method went away before it answered
    };
    Q_ENUM(Outcome)
    using Commit = std::function<Outcome(const QString& text)>;

    // The longest request line: a --type text's limit in base64, with room to spare.
    static constexpr qsizetype maximumLineBytes = 1024 * 1024;

    explicit InputMethodService(Commit commit, QObject* parent = nullptr);
    ~InputMethodService() override;

    // Listens at `path`, replacing a socket a previous input method left behind.
    bool listen(const QString& path, QString* error);
    // Stops listening; the socket file goes unless another input method has replaced it meanwhile.
    void close();

    // Where the input method of this Wayland session listens; empty without a runtime folder.
    static QString socketPath(QString* error = nullptr);

    static QByteArray request(const QString& text);
    static QByteArray answer(Outcome outcome);
    // Nothing for a line that is no answer.
    static std::optional<Outcome> parseAnswer(QByteArrayView line);

private:
    void accept();
    void serve(LineConnection* client, const QByteArray& line);

    Commit m_commit;
    QString m_path;
    int m_listenFd = -1;
    // The socket file as bound, to tell it from a successor's.
    quint64 m_device = 0;
    quint64 m_inode = 0;
    QSocketNotifier* m_incoming = nullptr;
};
