#include "tests/engine/scan_fixture.h"

PF_Pixel PaletteColor(char symbol) {
    switch (symbol) {
        case '.':
            return PF_Pixel{0, 0, 0, 0};
        case 'R':
            return PF_Pixel{255, 255, 0, 0};
        case 'r':
            return PF_Pixel{255, 230, 0, 0};
        case 'G':
            return PF_Pixel{255, 0, 255, 0};
        case 'B':
            return PF_Pixel{255, 0, 0, 255};
        case 'W':
            return PF_Pixel{255, 255, 255, 255};
        case 'M':
            return PF_Pixel{255, 255, 0, 255};
        case 'e':
            return PF_Pixel{255, 255, 255, 0};
        case 'h':
            return PF_Pixel{128, 255, 0, 0};
        case 'E':
            return PF_Pixel{128, 255, 255, 0};
        case 'a':
            return PF_Pixel{255, 100, 100, 100};
        case 'b':
            return PF_Pixel{255, 110, 110, 110};
        case 'c':
            return PF_Pixel{255, 120, 120, 120};
        case 'd':
            return PF_Pixel{255, 130, 130, 130};
        case 'g':
            return PF_Pixel{255, 20, 20, 20};
    }
    ADD_FAILURE() << "no colour for '" << symbol << "'";
    return PF_Pixel{};
}
