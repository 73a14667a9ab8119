// The pointer's limits and one move of a direction key, as pure decisions.
#include "keys/keys.h"

namespace
{

// Direction of each key as on a telephone keypad (1 2 3 on top); 5 does not move.
struct Direction {
    int dx, dy;
};
const Direction kDirections[10] = {
    {0, 0}, {-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {0, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1},
};

const int FINE_FROM_MOVE = 5;
const int COARSE_FROM_MOVE = 10;

} // namespace

PointerLimits pointerLimitsFor(int width, int height)
{
    return pointerLimitsSpanning(0, 0, width, height, width);
}

PointerLimits pointerLimitsSpanning(int left, int top, int width, int height, int stepWidth)
{
    PointerLimits l;
    l.left = left;
    l.top = top;
    l.right = left + width - 1;
    l.bottom = top + height - 1;
    l.fineStep = stepWidth / 160;
    l.coarseStep = stepWidth / 80;
    return l;
}

int startupPointerHeight(int fullScreenHeight)
{
    return (fullScreenHeight & 1) ? fullScreenHeight + 19 : fullScreenHeight;
}

bool pointerStep(const PointerLimits &limits, int key, POINT from, int *stepCounter, POINT *to)
{
    if (key < 1 || key > 9 || key == 5)
        return false;
    ++*stepCounter;
    int step = *stepCounter < FINE_FROM_MOVE     ? 1
               : *stepCounter < COARSE_FROM_MOVE ? limits.fineStep
                                                 : limits.coarseStep;
    POINT p = {from.x + kDirections[key].dx * step, from.y + kDirections[key].dy * step};
    // Strictly inside, and no clamping: a refused move leaves the pointer where it
    // is and starts the acceleration over, so it can still creep up to the edge.
    if (p.x > limits.left && p.x < limits.right && p.y > limits.top && p.y < limits.bottom) {
        *to = p;
        return true;
    }
    *stepCounter = 0;
    return false;
}
