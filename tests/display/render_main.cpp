// display_render TEXT FILE.png [FAMILY [POINTS [SCALE]]]: the headless renderer from a plain main().
#include <cstdlib>
#include <iostream>

#include "render.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: display_render TEXT FILE.png [FAMILY [POINTS [SCALE]]]\n";
        return 2;
    }
    const std::string family = argc > 3 ? argv[3] : "";
    const double points = argc > 4 ? std::atof(argv[4]) : 0.0;
    const double scale = argc > 5 ? std::atof(argv[5]) : 1.0;
    return renderToPng(argv[1], argv[2], family, points, std::cerr, scale);
}
