#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A receiver for browsers: a local web page with one textarea that has the
// focus, whose every change is posted back here and written to a file, so an
// end-to-end test reads what a browser received as it reads any other
// receiver's file. Changes may arrive out of order on their own connections;
// each carries a number, and only a newer one counts.
class TextareaPage : public QObject {
public:
    explicit TextareaPage(const QString& outputFile);

    QString url() const;
    // Chromium showing the page as an application window on the Ozone platform ("x11", "wayland"),
    // with a fresh profile, so nothing of an earlier run (a restore prompt) takes the focus.
    QStringList chromiumArguments(const QString& platform, const QString& profile) const {
        // The container allows no sandbox; the page is our own.
        return QStringList{QStringLiteral("--ozone-platform=") + platform} +
               QStringLiteral("--no-sandbox --disable-background-networking --disable-component-update "
                              "--no-first-run --disable-sync --password-store=basic")
                   .split(u' ') +
               QStringList{QStringLiteral("--user-data-dir=") + profile, QStringLiteral("--app=") + url()};
    }
    // True once the page has loaded and focused its textarea (the browser itself
    // may not have the keyboard focus yet: a seat without a keyboard gives none).
    bool isLoaded() const { return m_newest >= 0; }

private:
    void answer(QTcpSocket* socket);
    void take(const QByteArray& body);

    QTcpServer m_server;
    QString m_outputFile;
    QHash<QTcpSocket*, QByteArray> m_requests;
    qint64 m_newest = -1;
};
