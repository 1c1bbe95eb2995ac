#include "dxfaci.h"

#include "dxfcolours.h"

namespace dxf {

int nearestAci(QRgb colour)
{
    // White ink stays white, as masks need: 255 is the one index readers never turn black.
    if ((colour & 0xffffff) == 0xffffff)
        return 255;
    // The palette as drawn on paper, where 7 is black: black ink finds 7 before any other black.
    int best = 7;
    int bestDistance = 256 * 256 * 3;
    for (int index = 1; index < 256 && bestDistance > 0; ++index) {
        const QRgb candidate = aciColour(index);
        const int red = qRed(colour) - qRed(candidate);
        const int green = qGreen(colour) - qGreen(candidate);
        const int blue = qBlue(colour) - qBlue(candidate);
        const int distance = red * red + green * green + blue * blue;
        if (distance < bestDistance) {
            best = index;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace dxf
