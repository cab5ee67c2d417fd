// A floating panel holding a line edit, driven from standard input, so the
// end-to-end test can switch allowFocus the way the keyboard's text fields do:
//   allow  – allowFocus on and the panel made the key window
//   deny   – allowFocus off
// It answers every command with "ok <command>" and prints "text <t>" when the
// line edit's text changes. The panel's window id is printed first.
#include "keyboard/FloatingPanel.h"
#include "platform/x11/X11Platform.h"
#include "storage/SettingsStore.h"

#include <QApplication>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("probe.conf")));
    PlatformServices services = X11Platform::create();
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fputs("focus-probe: Qt does not run on xcb\n", stderr);
        return 1;
    }
    FloatingPanel panel(store, *services.windowSystem);
    auto* edit = new QLineEdit;
    edit->setMinimumWidth(240);
    panel.setContent(edit);
    edit->setFocusPolicy(Qt::StrongFocus); // the panel takes no focus; its text field may, when allowed
    QObject::connect(edit, &QLineEdit::textChanged, [](const QString& text) {
        std::printf("text %s\n", qPrintable(text));
        std::fflush(stdout);
    });
    panel.orderFront();
    std::printf("window %llu\n", static_cast<unsigned long long>(panel.winId()));
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64];
        if (!std::fgets(line, sizeof(line), stdin)) {
            QCoreApplication::quit();
            return;
        }
        const QByteArray command = QByteArray(line).trimmed();
        if (command == "allow") {
            panel.setAllowFocus(true);
            panel.makeKeyWindow();
            edit->setFocus();
        } else if (command == "deny") {
            panel.setAllowFocus(false);
        }
        std::printf("ok %s\n", command.constData());
        std::fflush(stdout);
    });
    return QApplication::exec();
}
