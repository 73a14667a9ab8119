// Where a press goes, and whether a section is the program of a window: pure decisions.
#include "keymap/keymap.h"

#include "common/copy_text.h"

#include <string.h>

namespace
{

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

// The media layer as bindings. Play/pause and mute switch, so once a press; the
// volume steps as a keyboard's auto-repeat does (a short delay, then every other
// read); the others at a supported application's pace.
const KeymapBinding MediaLayer[] = {
    {22, 0, {ACTION_MEDIA, VK_MEDIA_PLAY_PAUSE, {0}, 0, 0, 0}, {0, 0}},
    {14, 0, {ACTION_MEDIA, VK_MEDIA_STOP, {0}, 0, 0, 0}, {0, 0}},
    {24, 0, {ACTION_MEDIA, VK_MEDIA_NEXT_TRACK, {0}, 0, 0, 0}, {10, 0}},
    {16, 0, {ACTION_MEDIA, VK_MEDIA_PREV_TRACK, {0}, 0, 0, 0}, {10, 0}},
    {19, 0, {ACTION_MEDIA, VK_VOLUME_UP, {0}, 0, 0, 0}, {2, 3}},
    {28, 0, {ACTION_MEDIA, VK_VOLUME_DOWN, {0}, 0, 0, 0}, {2, 3}},
    {29, 0, {ACTION_MEDIA, VK_VOLUME_MUTE, {0}, 0, 0, 0}, {0, 0}},
};

// One comma-separated entry of `list` against `text`.
bool anyEntryMatches(const char *list, const char *text)
{
    char entry[KEYMAP_PATTERN_SIZE];
    for (const char *at = list; *at;) {
        const char *comma = strchr(at, ',');
        size_t length = comma ? (size_t)(comma - at) : strlen(at);
        while (length > 0 && (*at == ' ' || *at == '\t'))
            ++at, --length;
        while (length > 0 && (at[length - 1] == ' ' || at[length - 1] == '\t'))
            --length;
        if (length > 0 && length < sizeof entry) {
            memcpy(entry, at, length);
            entry[length] = '\0';
            if (wildcardMatch(entry, text))
                return true;
        }
        if (!comma)
            break;
        at = comma + 1;
    }
    return false;
}

} // namespace

RouteStep chooseRoute(const RouteFacts &f)
{
    if (f.promptOpen)
        return ROUTE_PROMPT;
    // A key map cannot bind these two: they go as they always did.
    if (f.code == 15 || f.code == 18)
        return ROUTE_OWN;
    if (!f.foreground.known)
        return ROUTE_NEED_FOREGROUND;
    if (f.foreground.binding != NULL)
        return ROUTE_FOREGROUND;
    if (f.targetActive)
        return f.overlay != NULL ? ROUTE_OVERLAY : ROUTE_TARGET;
    if (!f.running.known)
        return ROUTE_NEED_RUNNING;
    if (f.running.binding != NULL)
        return ROUTE_RUNNING;
    if (f.probe < 0)
        return ROUTE_NEED_PROBE;
    if (f.probe > 0)
        return ROUTE_PROBE;
    if (f.fallback != NULL)
        return ROUTE_DEFAULT;
    // Like the pointer keys, the media keys are the connected clients' alone.
    if (f.mediaKeysOn && !f.clientsConnected && mediaLayerBinding(f.code) != NULL)
        return ROUTE_MEDIA;
    return ROUTE_POINTER;
}

const KeymapBinding *mediaLayerBinding(int code)
{
    for (const KeymapBinding &b : MediaLayer)
        if (b.code == code)
            return &b;
    return NULL;
}

bool paceActs(const KeymapPace &pace, int repeatCount)
{
    if (repeatCount == 0)
        return true;
    if (pace.every <= 0 || repeatCount <= pace.delay)
        return false;
    return repeatCount % pace.every == 0;
}

bool wildcardMatch(const char *pattern, const char *text)
{
    // The last '*' seen and where the text stood then: a mismatch retries from there.
    const char *star = NULL, *resume = NULL;
    while (*text) {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == '?' || (*pattern != '\0' && lower(*pattern) == lower(*text))) {
            ++pattern;
            ++text;
        } else if (star != NULL) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

bool sectionNeedsExe(const KeymapSection &section)
{
    return section.exe[0] != '\0';
}

bool sectionMatches(const KeymapSection &section, const WindowFacts &window)
{
    if (section.kind != SECTION_PROGRAM)
        return false;
    if (section.windowClass[0] && !wildcardMatch(section.windowClass, window.windowClass))
        return false;
    if (section.title[0] && !wildcardMatch(section.title, window.title))
        return false;
    // An exe not looked up yet (NULL) is not held against the section.
    if (section.exe[0] && window.exe != NULL &&
        (window.exe[0] == '\0' || !anyEntryMatches(section.exe, window.exe)))
        return false;
    return section.exe[0] || section.windowClass[0] || section.title[0];
}
