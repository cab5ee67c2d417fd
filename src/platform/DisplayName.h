#pragma once

#include <QString>

#include <optional>

// An X display name as in DISPLAY: [host]:display[.screen], where "unix:0"
// and ":0" both mean the local display 0.
struct DisplayName {
    QString host; // empty for the local display
    int display = 0;
    int screen = 0;

    static std::optional<DisplayName> parse(const QString& text);
    // The display without the screen: ":0", or "host:0". Every screen of a
    // display shares one keyboard and one Runeboard.
    QString withoutScreen() const;
};
