#include "keys/keys.h"

RepeatOutcome applyRepeatRule(KeyRepeatState *state, int code, DWORD now, bool targetActive)
{
    RepeatOutcome out;
    bool repeat = code == state->previousKey && (DWORD)(now - state->previousTime) < REPEAT_WINDOW_MS;
    out.newKey = !repeat;
    state->repeatCount = repeat ? state->repeatCount + 1 : 0;
    state->previousTime = now;
    state->previousKey = code;

    // Applications get a held key at the pace of a keyboard's auto-repeat; the
    // pointer and the power and shut-down keys get every read.
    bool thinned = state->repeatCount != 0 && state->repeatCount % REPEAT_PERIOD != 0;
    out.key = thinned && targetActive ? KEY_SUPPRESSED : code;
    return out;
}
