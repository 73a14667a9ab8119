// The repeat rule: which reads of a held key act, as a pure decision.
#include "keys/keys.h"

// Keys whose every press is one action, whatever reads the remote delivers.
static const int kOncePerPressKeys[] = {KEY_POWER, KEY_SHUTDOWN};

HeldKeyPace heldKeyPace(int code, bool targetActive, bool promptOpen)
{
    if (promptOpen)
        return PACE_ONCE;
    for (int key : kOncePerPressKeys)
        if (code == key)
            return PACE_ONCE;
    if (!targetActive && isMouseButtonKey(code))
        return PACE_ONCE;
    // Applications get a held key at the pace of a keyboard's auto-repeat.
    return targetActive ? PACE_EVERY_TENTH : PACE_EVERY_READ;
}

RepeatOutcome applyRepeatRule(KeyRepeatState *state, int code, DWORD now, bool targetActive, bool promptOpen)
{
    RepeatOutcome out;
    bool repeat = code == state->previousKey && (DWORD)(now - state->previousTime) < REPEAT_WINDOW_MS;
    out.newKey = !repeat;
    state->repeatCount = repeat ? state->repeatCount + 1 : 0;
    state->previousTime = now;
    state->previousKey = code;
    if (!repeat)
        state->answered = false;

    bool acts = !state->answered;
    switch (heldKeyPace(code, targetActive, promptOpen)) {
    case PACE_EVERY_READ:
        break;
    case PACE_EVERY_TENTH:
        acts = acts && state->repeatCount % REPEAT_PERIOD == 0;
        break;
    case PACE_ONCE:
        acts = acts && state->repeatCount == 0;
        break;
    }
    if (acts && promptOpen)
        state->answered = true;
    out.key = acts ? code : KEY_SUPPRESSED;
    return out;
}

void leaveOutHeldTime(KeyRepeatState *state, DWORD sincePreviousTick, DWORD pollInterval)
{
    // Below the repeat window the gap cannot end a press anyway, and timer jitter
    // stays out of it.
    if (sincePreviousTick >= REPEAT_WINDOW_MS && sincePreviousTick > pollInterval)
        state->previousTime += sincePreviousTick - pollInterval;
}
