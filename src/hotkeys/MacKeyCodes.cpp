#include "hotkeys/MacKeyCodes.h"

#include <QHash>

#include <utility>

namespace MacKeyCodes {
namespace {

// macOS virtual key code → Linux evdev code of the key at the same place.
constexpr std::pair<quint32, quint32> table[] = {
    // letters
    {0, 30},
    {1, 31},
    {2, 32},
    {3, 33},
    {4, 35},
    {5, 34},
    {6, 44},
    {7, 45},
    {8, 46},
    {9, 47},
    {11, 48},
    {12, 16},
    {13, 17},
    {14, 18},
    {15, 19},
    {16, 21},
    {17, 20},
    {31, 24},
    {32, 22},
    {34, 23},
    {35, 25},
    {37, 38},
    {38, 36},
    {40, 37},
    {45, 49},
    {46, 50},
    // digit row
    {18, 2},
    {19, 3},
    {20, 4},
    {21, 5},
    {22, 7},
    {23, 6},
    {25, 10},
    {26, 8},
    {28, 9},
    {29, 11},
    // punctuation; 10 is the ISO key beside the left Shift, 50 the grave accent left of 1
    {24, 13},
    {27, 12},
    {30, 27},
    {33, 26},
    {39, 40},
    {41, 39},
    {42, 43},
    {43, 51},
    {44, 53},
    {47, 52},
    {50, 41},
    {10, 86},
    // editing and navigation; 51 is Backspace, 117 the forward Delete, 114 Help sits where Insert is
    {36, 28},
    {48, 15},
    {49, 57},
    {51, 14},
    {53, 1},
    {117, 111},
    {114, 110},
    {115, 102},
    {119, 107},
    {116, 104},
    {121, 109},
    {123, 105},
    {124, 106},
    {125, 108},
    {126, 103},
    {110, 127},
    // keypad; 71 Clear sits where Num Lock is
    {65, 83},
    {67, 55},
    {69, 78},
    {71, 69},
    {75, 98},
    {76, 96},
    {78, 74},
    {81, 117},
    {82, 82},
    {83, 79},
    {84, 80},
    {85, 81},
    {86, 75},
    {87, 76},
    {88, 77},
    {89, 71},
    {91, 72},
    {92, 73},
    // function keys
    {122, 59},
    {120, 60},
    {99, 61},
    {118, 62},
    {96, 63},
    {97, 64},
    {98, 65},
    {100, 66},
    {101, 67},
    {109, 68},
    {103, 87},
    {111, 88},
    {105, 183},
    {107, 184},
    {113, 185},
    {106, 186},
    {64, 187},
    {79, 188},
    {80, 189},
    {90, 190},
    // volume
    {72, 115},
    {73, 114},
    {74, 113},
    // Japanese keyboards: Yen, Ro, keypad comma, Eisu, Kana
    {93, 124},
    {94, 89},
    {95, 121},
    {102, 123},
    {104, 122},
};

struct Maps {
    QHash<quint32, quint32> toEvdev;
    QHash<quint32, quint32> fromEvdev;
    Maps() {
        for (const auto& [mac, evdev] : table) {
            toEvdev.insert(mac, evdev);
            fromEvdev.insert(evdev, mac);
        }
    }
};

const Maps& maps() {
    static const Maps instance;
    return instance;
}

std::optional<quint32> lookUp(const QHash<quint32, quint32>& map, quint32 code) {
    const auto found = map.constFind(code);
    return found == map.cend() ? std::nullopt : std::optional<quint32>(*found);
}

} // namespace

std::optional<quint32> fromEvdev(quint32 evdevCode) {
    return lookUp(maps().fromEvdev, evdevCode);
}

std::optional<quint32> toEvdev(quint32 macKeyCode) {
    return lookUp(maps().toEvdev, macKeyCode);
}

} // namespace MacKeyCodes
