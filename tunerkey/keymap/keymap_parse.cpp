// The key map parser: one file's bytes in, sections, bindings and numbered
// problems out. Our own rather than GetPrivateProfileString: that one gives no
// line numbers, hides duplicates and stops at 32 KB a section.
#include "keymap/keymap.h"

#include "common/copy_text.h"
#include "server/remote_server.h"

#include <stdio.h>
#include <string.h>

namespace
{

const int LINE_SIZE = 1024;
// The pace of a supported application's keys: the first read, then every tenth.
const KeymapPace USUAL_PACE = {10, 0};
const KeymapPace ONCE = {0, 0};
const KeymapPace EVERY_READ = {1, 0};

enum ProblemKind {
    P_FILE_TOO_LARGE,
    P_OUTSIDE_SECTION,
    P_BAD_HEADER,
    P_DUPLICATE_SECTION,
    P_TOO_MANY_SECTIONS,
    P_NO_CRITERIA,
    P_NOT_A_SETTING,
    P_LINE_TOO_LONG,
    P_UNKNOWN_KEY,
    P_RESERVED_KEY,
    P_DUPLICATE_KEY,
    P_TOO_MANY_BINDINGS,
    P_UNKNOWN_ACTION,
    P_BAD_ARGUMENT,
    P_BAD_PACE,
    P_DUPLICATE_CRITERION,
    P_CRITERION_NOT_USED,
    P_VALUE_TOO_LONG,
    P_BAD_MATCH,
    P_EMPTY_CRITERION,
};

// One text per kind; %s are the line's words, quoted where the user typed them.
const char *const ProblemTexts[] = {
    "the file is larger than 64 KB: this line and the rest are not read",
    "\"%s\" stands before any [section]",
    "\"%s\" is not a section header: the section is skipped",
    "[%s] appears a second time: the second one is skipped",
    "more than 64 sections: [%s] and the sections after it are skipped",
    "[%s] names no exe, class or title: the section is skipped",
    "\"%s\" is not a \"name = value\" line",
    "the line is longer than 1023 characters",
    "\"%s\" is not a key of this remote",
    "\"%s\" keeps its meaning and cannot be bound",
    "\"%s\" is bound a second time in [%s]: the first one holds",
    "more than 32 keys in [%s]: \"%s\" is skipped",
    "\"%s\" is not an action (keys, appcommand, command, media, launch, pointer, none)",
    "\"%s\" is not %s",
    "\"%s\" is not a repeat (\"| repeat N\", \"delay D\")",
    "\"%s\" is given a second time in [%s]: the first one holds",
    "[%s] is found by its name: \"%s\" is not used",
    "the value of \"%s\" is too long: the section is skipped",
    "\"%s\" is not a match (foreground or running): foreground holds",
    "\"%s\" is given no value: the section is skipped",
};

struct Parser {
    Keymap *map;
    int line;
    KeymapSection *section; // the section being read, or NULL
    bool skipping;          // the lines of a skipped section
    bool sectionsFull;      // the section limit was reached and named
    bool badCriterion;      // a criterion of this section could not be taken
    bool exeSeen, classSeen, titleSeen, matchSeen;
};

// Keeps the problems with the lowest line numbers, in line order; counts them all.
void addProblem(Parser *p, int line, ProblemKind kind, const char *a = "", const char *b = "")
{
    Keymap *map = p->map;
    map->problemCount++;
    int kept = map->problemCount - 1 < KEYMAP_PROBLEM_LIMIT ? map->problemCount - 1 : KEYMAP_PROBLEM_LIMIT;
    int at = kept;
    while (at > 0 && map->problems[at - 1].line > line)
        --at;
    if (at >= KEYMAP_PROBLEM_LIMIT)
        return;
    int last = kept < KEYMAP_PROBLEM_LIMIT ? kept : KEYMAP_PROBLEM_LIMIT - 1;
    memmove(&map->problems[at + 1], &map->problems[at], (size_t)(last - at) * sizeof map->problems[0]);
    // The quoted words are cut so that the sentence around them always fits.
    char first[48], second[48];
    CopyText(first, sizeof first, a);
    CopyText(second, sizeof second, b);
    KeymapProblem &problem = map->problems[at];
    problem.line = line;
    snprintf(problem.text, sizeof problem.text, ProblemTexts[kind], first, second);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Trims blanks on both sides, in place.
char *trim(char *s)
{
    while (isBlank(*s))
        ++s;
    size_t n = strlen(s);
    while (n > 0 && isBlank(s[n - 1]))
        s[--n] = '\0';
    return s;
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// A whole decimal number within [low, high].
bool readNumber(const char *s, int low, int high, int *value)
{
    if (*s == '\0' || strlen(s) > 6)
        return false;
    int n = 0;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9')
            return false;
        n = n * 10 + (*s - '0');
    }
    if (n < low || n > high)
        return false;
    *value = n;
    return true;
}

// ---- the actions --------------------------------------------------------------------------
struct NamedValue {
    const char *name;
    int value;
};

int valueOf(const NamedValue *table, size_t count, const char *name)
{
    for (size_t i = 0; i < count; ++i)
        if (namesEqual(table[i].name, name))
            return table[i].value;
    return -1;
}

// WM_APPCOMMAND's commands, as Microsoft's WinUser.h numbers them (APPCOMMAND_...).
// The media ones may be written without their MEDIA_ (PLAY_PAUSE).
const NamedValue AppCommands[] = {
    {"BROWSER_BACKWARD", 1},
    {"BROWSER_FORWARD", 2},
    {"BROWSER_REFRESH", 3},
    {"BROWSER_STOP", 4},
    {"BROWSER_SEARCH", 5},
    {"BROWSER_FAVORITES", 6},
    {"BROWSER_HOME", 7},
    {"VOLUME_MUTE", 8},
    {"VOLUME_DOWN", 9},
    {"VOLUME_UP", 10},
    {"MEDIA_NEXTTRACK", 11},
    {"MEDIA_PREVIOUSTRACK", 12},
    {"MEDIA_STOP", 13},
    {"MEDIA_PLAY_PAUSE", 14},
    {"LAUNCH_MAIL", 15},
    {"LAUNCH_MEDIA_SELECT", 16},
    {"LAUNCH_APP1", 17},
    {"LAUNCH_APP2", 18},
    {"BASS_DOWN", 19},
    {"BASS_BOOST", 20},
    {"BASS_UP", 21},
    {"TREBLE_DOWN", 22},
    {"TREBLE_UP", 23},
    {"MICROPHONE_VOLUME_MUTE", 24},
    {"MICROPHONE_VOLUME_DOWN", 25},
    {"MICROPHONE_VOLUME_UP", 26},
    {"HELP", 27},
    {"FIND", 28},
    {"NEW", 29},
    {"OPEN", 30},
    {"CLOSE", 31},
    {"SAVE", 32},
    {"PRINT", 33},
    {"UNDO", 34},
    {"REDO", 35},
    {"COPY", 36},
    {"CUT", 37},
    {"PASTE", 38},
    {"MEDIA_PLAY", 46},
    {"MEDIA_PAUSE", 47},
    {"MEDIA_RECORD", 48},
    {"MEDIA_FAST_FORWARD", 49},
    {"MEDIA_REWIND", 50},
    {"MEDIA_CHANNEL_UP", 51},
    {"MEDIA_CHANNEL_DOWN", 52},
    {"DELETE", 53},
};
// The ones that switch something on and off: once per press unless told.
const int ToggleAppCommands[] = {8, 14, 24};

const NamedValue MediaKeys[] = {
    {"PLAY_PAUSE", VK_MEDIA_PLAY_PAUSE},
    {"STOP", VK_MEDIA_STOP},
    {"NEXT", VK_MEDIA_NEXT_TRACK},
    {"PREVIOUS", VK_MEDIA_PREV_TRACK},
    {"VOLUME_UP", VK_VOLUME_UP},
    {"VOLUME_DOWN", VK_VOLUME_DOWN},
    {"MUTE", VK_VOLUME_MUTE},
};

// The mouse emulation's codes for each pointer action.
const NamedValue PointerActions[] = {
    {"up", 2}, {"down", 8}, {"left", 4}, {"right", 6}, {"click", 0}, {"rightclick", 10},
};

const NamedValue Modifiers[] = {
    {"Ctrl", VK_CONTROL},
    {"Control", VK_CONTROL},
    {"Shift", VK_SHIFT},
    {"Alt", VK_MENU},
};

// Keys by name; letters and digits are their own virtual keys, F1 to F24 counted.
const NamedValue KeyNames[] = {
    {"Space", VK_SPACE},       {"Enter", VK_RETURN},
    {"Return", VK_RETURN},     {"Esc", VK_ESCAPE},
    {"Escape", VK_ESCAPE},     {"Tab", VK_TAB},
    {"Backspace", VK_BACK},    {"Up", VK_UP},
    {"Down", VK_DOWN},         {"Left", VK_LEFT},
    {"Right", VK_RIGHT},       {"Home", VK_HOME},
    {"End", VK_END},           {"PageUp", VK_PRIOR},
    {"PgUp", VK_PRIOR},        {"PageDown", VK_NEXT},
    {"PgDn", VK_NEXT},         {"Insert", VK_INSERT},
    {"Ins", VK_INSERT},        {"Delete", VK_DELETE},
    {"Del", VK_DELETE},        {"Plus", VK_OEM_PLUS},
    {"Minus", VK_OEM_MINUS},   {"Comma", VK_OEM_COMMA},
    {"Period", VK_OEM_PERIOD}, {"Num0", VK_NUMPAD0},
    {"Num1", VK_NUMPAD1},      {"Num2", VK_NUMPAD2},
    {"Num3", VK_NUMPAD3},      {"Num4", VK_NUMPAD4},
    {"Num5", VK_NUMPAD5},      {"Num6", VK_NUMPAD6},
    {"Num7", VK_NUMPAD7},      {"Num8", VK_NUMPAD8},
    {"Num9", VK_NUMPAD9},      {"NumPlus", VK_ADD},
    {"NumMinus", VK_SUBTRACT}, {"NumMultiply", VK_MULTIPLY},
    {"NumDivide", VK_DIVIDE},  {"[", VK_OEM_4},
    {"]", VK_OEM_6},           {"-", VK_OEM_MINUS},
    {"=", VK_OEM_PLUS},        {",", VK_OEM_COMMA},
    {".", VK_OEM_PERIOD},      {"/", VK_OEM_2},
    {";", VK_OEM_1},           {"'", VK_OEM_7},
    {"\\", VK_OEM_5},          {"`", VK_OEM_3},
};

#define COUNT(table) (sizeof table / sizeof table[0])

int keyOfName(const char *name)
{
    if (name[0] != '\0' && name[1] == '\0') {
        char c = upper(name[0]);
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return c;
    }
    int f;
    if (upper(name[0]) == 'F' && readNumber(name + 1, 1, 24, &f))
        return VK_F1 + f - 1;
    return valueOf(KeyNames, COUNT(KeyNames), name);
}

// "Ctrl+Shift+F": modifiers, then one key; "Ctrl++" is Ctrl and the plus key.
bool parseChord(char *text, KeymapAction *action)
{
    action->modifierCount = 0;
    char *part = text;
    for (;;) {
        char *plus = strchr(part + (*part == '+' ? 1 : 0), '+');
        if (plus == NULL)
            break;
        *plus = '\0';
        int modifier = valueOf(Modifiers, COUNT(Modifiers), trim(part));
        if (modifier < 0 || action->modifierCount == KEYMAP_MODIFIER_LIMIT)
            return false;
        action->modifiers[action->modifierCount++] = (BYTE)modifier;
        part = plus + 1;
    }
    part = trim(part);
    int key = strcmp(part, "+") == 0 ? VK_OEM_PLUS : keyOfName(part);
    if (key < 0)
        return false;
    action->key = (BYTE)key;
    return true;
}

bool parseNone(Parser *, char *argument, KeymapAction *)
{
    return *argument == '\0';
}

bool parseKeys(Parser *, char *argument, KeymapAction *action)
{
    return parseChord(argument, action);
}

bool parseAppCommand(Parser *, char *argument, KeymapAction *action)
{
    const char *name = argument;
    if (strncmp(name, "APPCOMMAND_", 11) == 0)
        name += 11;
    int value = valueOf(AppCommands, COUNT(AppCommands), name);
    if (value < 0) {
        char media[64] = "MEDIA_";
        AppendText(media, sizeof media, name);
        value = valueOf(AppCommands, COUNT(AppCommands), media);
    }
    if (value < 0 && !readNumber(name, 1, 4095, &value))
        return false;
    action->value = value;
    return true;
}

bool parseCommand(Parser *, char *argument, KeymapAction *action)
{
    return readNumber(argument, 0, 65535, &action->value);
}

bool parseMedia(Parser *, char *argument, KeymapAction *action)
{
    action->value = valueOf(MediaKeys, COUNT(MediaKeys), argument);
    return action->value >= 0;
}

bool parsePointer(Parser *, char *argument, KeymapAction *action)
{
    action->value = valueOf(PointerActions, COUNT(PointerActions), argument);
    return action->value >= 0;
}

// launch "path" args: the command line as WinExec takes it, kept in the map's text.
bool parseLaunch(Parser *p, char *argument, KeymapAction *action)
{
    if (argument[0] != '"')
        return false;
    char *close = strchr(argument + 1, '"');
    if (close == NULL || close == argument + 1)
        return false;
    Keymap *map = p->map;
    size_t length = strlen(argument) + 1;
    if (length > (size_t)KEYMAP_COMMAND_LINE_SIZE || map->textUsed + length > sizeof map->text)
        return false;
    action->text = map->textUsed;
    memcpy(map->text + map->textUsed, argument, length);
    map->textUsed += (int)length;
    return true;
}

struct ActionVerb {
    const char *verb;
    KeymapActionKind kind;
    bool (*parse)(Parser *p, char *argument, KeymapAction *action);
    const char *what; // the problem's words for a bad argument
};
const ActionVerb ActionVerbs[] = {
    {"none", ACTION_NONE, parseNone, "an action of none (nothing follows it)"},
    {"keys", ACTION_KEYS, parseKeys, "a key chord (such as Ctrl+Shift+F)"},
    {"appcommand", ACTION_APPCOMMAND, parseAppCommand, "an APPCOMMAND name (such as PLAY_PAUSE)"},
    {"command", ACTION_COMMAND, parseCommand, "a command number (0 to 65535)"},
    {"media", ACTION_MEDIA, parseMedia, "a media key (PLAY_PAUSE, STOP, NEXT, PREVIOUS, VOLUME_UP...)"},
    {"launch", ACTION_LAUNCH, parseLaunch, "a program to launch (\"path\" args)"},
    {"pointer", ACTION_POINTER, parsePointer, "a pointer action (up, down, left, right, click...)"},
};

// What a binding does when no repeat is given: launches and toggles (the remote's
// play/pause and mute keys, and the actions that switch) once per press, the
// pointer's moves on every read (as the mouse emulation), else the pace of a
// supported application's keys.
KeymapPace defaultPace(int code, const KeymapAction &a)
{
    if (code == buttonCode("KEY_PLAYPAUSE") || code == buttonCode("KEY_MUTE"))
        return ONCE;
    switch (a.kind) {
    case ACTION_LAUNCH:
        return ONCE;
    case ACTION_MEDIA:
        return a.value == VK_MEDIA_PLAY_PAUSE || a.value == VK_VOLUME_MUTE ? ONCE : USUAL_PACE;
    case ACTION_APPCOMMAND:
        for (int toggle : ToggleAppCommands)
            if (a.value == toggle)
                return ONCE;
        return USUAL_PACE;
    case ACTION_POINTER:
        return a.value == 0 || a.value == 10 ? ONCE : EVERY_READ;
    default:
        return USUAL_PACE;
    }
}

// The next blank-separated word of *text, or NULL at the end.
char *nextWord(char **text)
{
    char *s = *text;
    while (isBlank(*s))
        ++s;
    if (*s == '\0')
        return NULL;
    char *word = s;
    while (*s && !isBlank(*s))
        ++s;
    if (*s)
        *s++ = '\0';
    *text = s;
    return word;
}

// "repeat N" and "delay D", in either order, each at most once.
bool parsePace(char *text, KeymapPace *pace)
{
    bool repeatSeen = false, delaySeen = false;
    char *word = nextWord(&text);
    if (word == NULL)
        return false;
    for (; word != NULL; word = nextWord(&text)) {
        char *number = nextWord(&text);
        bool *seen = namesEqual(word, "repeat") ? &repeatSeen : namesEqual(word, "delay") ? &delaySeen : NULL;
        int *target = seen == &repeatSeen ? &pace->every : &pace->delay;
        if (seen == NULL || *seen || number == NULL || !readNumber(number, 0, 1000, target))
            return false;
        *seen = true;
    }
    return true;
}

// The first '|' outside double quotes, or NULL.
char *paceBar(char *value)
{
    bool quoted = false;
    for (char *c = value; *c; ++c) {
        if (*c == '"')
            quoted = !quoted;
        else if (*c == '|' && !quoted)
            return c;
    }
    return NULL;
}

bool parseAction(Parser *p, char *value, KeymapBinding *binding)
{
    char original[LINE_SIZE];
    CopyText(original, sizeof original, value);
    char *bar = paceBar(value);
    if (bar != NULL)
        *bar = '\0';
    char *verb = trim(value);
    char *argument = verb;
    while (*argument && !isBlank(*argument))
        ++argument;
    if (*argument)
        *argument++ = '\0';
    argument = trim(argument);

    memset(&binding->action, 0, sizeof binding->action);
    const ActionVerb *found = NULL;
    for (const ActionVerb &v : ActionVerbs)
        if (namesEqual(v.verb, verb))
            found = &v;
    if (found == NULL) {
        addProblem(p, p->line, P_UNKNOWN_ACTION, verb);
        return false;
    }
    binding->action.kind = found->kind;
    char argumentCopy[LINE_SIZE];
    CopyText(argumentCopy, sizeof argumentCopy, argument);
    if (!found->parse(p, argument, &binding->action)) {
        addProblem(p, p->line, P_BAD_ARGUMENT, argumentCopy, found->what);
        return false;
    }
    binding->pace = defaultPace(binding->code, binding->action);
    if (bar != NULL) {
        char *paceText = trim(bar + 1);
        char paceCopy[LINE_SIZE];
        CopyText(paceCopy, sizeof paceCopy, paceText);
        if (!parsePace(paceText, &binding->pace)) {
            addProblem(p, p->line, P_BAD_PACE, paceCopy);
            return false;
        }
    }
    return true;
}

// ---- the lines ------------------------------------------------------------------------------
// Code 0 to 31 by the server's button name or by number; -1 for neither.
int codeOfKeyName(const char *name)
{
    char upperName[32];
    if (!CopyText(upperName, sizeof upperName, name))
        return -1;
    for (char *c = upperName; *c; ++c)
        *c = upper(*c);
    int code = buttonCode(upperName);
    if (code >= 0 && code < KEYMAP_CODE_COUNT)
        return code;
    if (readNumber(name, 0, KEYMAP_CODE_COUNT - 1, &code))
        return code;
    return -1;
}

bool isReservedCode(int code)
{
    return code == buttonCode("KEY_POWER") || code == buttonCode("KEY_SLEEP");
}

// A program section's criteria end with the section: without any, it is dropped.
void endSection(Parser *p)
{
    KeymapSection *s = p->section;
    p->section = NULL;
    if (s == NULL || s->kind != SECTION_PROGRAM)
        return;
    // Without one of its criteria the section would match programs it was not
    // meant for: it goes whole (the criterion's line is named already).
    if (p->badCriterion) {
        p->map->sectionCount--;
    } else if (s->exe[0] == '\0' && s->windowClass[0] == '\0' && s->title[0] == '\0') {
        addProblem(p, s->line, P_NO_CRITERIA, s->name);
        p->map->sectionCount--;
    }
}

void readHeader(Parser *p, char *line)
{
    endSection(p);
    p->skipping = true;
    size_t n = strlen(line);
    char name[LINE_SIZE];
    CopyText(name, sizeof name, line + 1);
    name[n >= 2 ? n - 2 : 0] = '\0';
    char *trimmed = trim(name);
    if (line[n - 1] != ']' || *trimmed == '\0' || strchr(trimmed, '[') || strchr(trimmed, ']') ||
        strlen(trimmed) >= (size_t)KEYMAP_NAME_SIZE) {
        addProblem(p, p->line, P_BAD_HEADER, line);
        return;
    }
    Keymap *map = p->map;
    for (int i = 0; i < map->sectionCount; ++i) {
        if (namesEqual(map->sections[i].name, trimmed)) {
            addProblem(p, p->line, P_DUPLICATE_SECTION, trimmed);
            return;
        }
    }
    if (map->sectionCount == KEYMAP_SECTION_LIMIT) {
        if (!p->sectionsFull)
            addProblem(p, p->line, P_TOO_MANY_SECTIONS, trimmed);
        p->sectionsFull = true;
        return;
    }
    KeymapSection *s = &map->sections[map->sectionCount++];
    memset(s, 0, sizeof *s);
    CopyText(s->name, sizeof s->name, trimmed);
    s->line = p->line;
    s->kind = namesEqual(trimmed, "Default") ? SECTION_DEFAULT
              : isOverlayName(trimmed)       ? SECTION_OVERLAY
                                             : SECTION_PROGRAM;
    p->section = s;
    p->skipping = false;
    p->exeSeen = p->classSeen = p->titleSeen = p->matchSeen = p->badCriterion = false;
}

// exe, class, title and match: true when `name` is one of them (handled or named).
bool readCriterion(Parser *p, const char *name, const char *value)
{
    KeymapSection *s = p->section;
    struct Criterion {
        const char *word;
        char *target;
        size_t size;
        bool *seen;
    } criteria[] = {
        {"exe", s->exe, sizeof s->exe, &p->exeSeen},
        {"class", s->windowClass, sizeof s->windowClass, &p->classSeen},
        {"title", s->title, sizeof s->title, &p->titleSeen},
        {"match", NULL, 0, &p->matchSeen},
    };
    for (Criterion &c : criteria) {
        if (!namesEqual(c.word, name))
            continue;
        if (s->kind != SECTION_PROGRAM) {
            addProblem(p, p->line, P_CRITERION_NOT_USED, s->name, name);
        } else if (*c.seen) {
            addProblem(p, p->line, P_DUPLICATE_CRITERION, name, s->name);
        } else if (c.target == NULL) {
            bool running = namesEqual(value, "running");
            if (running || namesEqual(value, "foreground")) {
                s->running = running;
                *c.seen = true;
            } else {
                // The foreground only: the narrower of the two.
                addProblem(p, p->line, P_BAD_MATCH, value);
            }
        } else if (*value == '\0' || !CopyText(c.target, c.size, value)) {
            c.target[0] = '\0';
            p->badCriterion = true;
            addProblem(p, p->line, *value == '\0' ? P_EMPTY_CRITERION : P_VALUE_TOO_LONG, name);
        } else {
            *c.seen = true;
        }
        return true;
    }
    return false;
}

void readBinding(Parser *p, const char *name, char *value)
{
    KeymapSection *s = p->section;
    int code = codeOfKeyName(name);
    if (code < 0) {
        addProblem(p, p->line, P_UNKNOWN_KEY, name);
        return;
    }
    if (isReservedCode(code)) {
        addProblem(p, p->line, P_RESERVED_KEY, name);
        return;
    }
    if (bindingOf(*s, code) != NULL) {
        addProblem(p, p->line, P_DUPLICATE_KEY, name, s->name);
        return;
    }
    if (s->bindingCount == KEYMAP_BINDING_LIMIT) {
        addProblem(p, p->line, P_TOO_MANY_BINDINGS, s->name, name);
        return;
    }
    KeymapBinding binding;
    binding.code = code;
    binding.line = p->line;
    if (parseAction(p, value, &binding))
        s->bindings[s->bindingCount++] = binding;
}

void readLine(Parser *p, char *line)
{
    line = trim(line);
    if (*line == '\0' || *line == ';')
        return;
    if (*line == '[') {
        readHeader(p, line);
        return;
    }
    if (p->skipping)
        return;
    if (p->section == NULL) {
        addProblem(p, p->line, P_OUTSIDE_SECTION, line);
        return;
    }
    char *equals = strchr(line, '=');
    if (equals == NULL) {
        addProblem(p, p->line, P_NOT_A_SETTING, line);
        return;
    }
    *equals = '\0';
    char *name = trim(line);
    char *value = trim(equals + 1);
    if (*name == '\0') {
        addProblem(p, p->line, P_NOT_A_SETTING, value);
        return;
    }
    if (!readCriterion(p, name, value))
        readBinding(p, name, value);
}

// ---- encodings ------------------------------------------------------------------------------
// Whether the bytes are well-formed UTF-8 with at least one character beyond ASCII:
// text that is, is almost never meant as ANSI.
bool looksLikeUtf8(const unsigned char *s, size_t n)
{
    bool beyondAscii = false;
    for (size_t i = 0; i < n;) {
        unsigned char c = s[i];
        size_t follow = c < 0x80             ? 0
                        : (c & 0xE0) == 0xC0 ? 1
                        : (c & 0xF0) == 0xE0 ? 2
                        : (c & 0xF8) == 0xF0 ? 3
                                             : 9;
        if (follow == 9 || (follow == 1 && c < 0xC2) || (follow > 0 && i + follow >= n))
            return false;
        for (size_t k = 1; k <= follow; ++k)
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
        beyondAscii = beyondAscii || follow > 0;
        i += follow + 1;
    }
    return beyondAscii;
}

WCHAR WideText[KEYMAP_FILE_LIMIT / 2 + 1];

// Wide text into the program's ANSI code page; characters it lacks become '?'.
size_t wideToAnsi(const WCHAR *wide, int count, char *out, size_t size)
{
    if (count <= 0)
        return 0;
    int n = WideCharToMultiByte(CP_ACP, 0, wide, count, out, (int)size - 1, NULL, NULL);
    return n > 0 ? (size_t)n : 0;
}

// The file's text in the ANSI code page, terminated; its length.
size_t decode(const char *bytes, size_t size, char *out, size_t outSize)
{
    const unsigned char *b = (const unsigned char *)bytes;
    size_t n = 0;
    if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        int units = (int)((size - 2) / 2);
        if (units > KEYMAP_FILE_LIMIT / 2)
            units = KEYMAP_FILE_LIMIT / 2;
        memcpy(WideText, bytes + 2, (size_t)units * 2);
        n = wideToAnsi(WideText, units, out, outSize);
    } else {
        bool bom = size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF;
        const char *text = bom ? bytes + 3 : bytes;
        size_t length = bom ? size - 3 : size;
        if (bom || looksLikeUtf8((const unsigned char *)text, length)) {
            int units = MultiByteToWideChar(CP_UTF8, 0, text, (int)length, WideText, KEYMAP_FILE_LIMIT / 2);
            n = wideToAnsi(WideText, units, out, outSize);
        } else {
            n = length < outSize - 1 ? length : outSize - 1;
            memcpy(out, text, n);
        }
    }
    out[n] = '\0';
    return n;
}

// The part of the file that is read: at most the limit, ending after a whole line
// (a UTF-16 file's line ends in the two bytes 0A 00).
size_t readablePart(const char *bytes, size_t size)
{
    if (size <= (size_t)KEYMAP_FILE_LIMIT)
        return size;
    bool wide = size >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE;
    size_t end = KEYMAP_FILE_LIMIT;
    if (wide) {
        end &= ~(size_t)1;
        while (end >= 4 && !(bytes[end - 2] == '\n' && bytes[end - 1] == '\0'))
            end -= 2;
    } else {
        while (end > 0 && bytes[end - 1] != '\n')
            --end;
    }
    return end;
}

char Decoded[KEYMAP_FILE_LIMIT + 1];

} // namespace

bool namesEqual(const char *a, const char *b)
{
    for (; *a && *b; ++a, ++b)
        if (upper(*a) != upper(*b))
            return false;
    return *a == *b;
}

// The four applications the remote drives, by the names users know them by, and by
// their entries in the Setting dialog's list, which may be written instead.
static const struct {
    const char *name;
    const char *settingLabel;
} Overlays[] = {
    {"Home Theater", "Home Theater"},
    {"PowerVCR II", "PowerVCR"},
    {"honestechTV", "HonesTVR"},
    {"TivraTVR", "TivraTVR"},
};

bool isOverlayName(const char *name)
{
    for (const auto &o : Overlays)
        if (namesEqual(o.name, name) || namesEqual(o.settingLabel, name))
            return true;
    return false;
}

const char *overlayNameOf(const char *settingLabel)
{
    for (const auto &o : Overlays)
        if (namesEqual(o.settingLabel, settingLabel))
            return o.name;
    return settingLabel;
}

const KeymapBinding *bindingOf(const KeymapSection &section, int code)
{
    for (int i = 0; i < section.bindingCount; ++i)
        if (section.bindings[i].code == code)
            return &section.bindings[i];
    return NULL;
}

const char *launchCommandOf(const Keymap &map, const KeymapAction &action)
{
    if (action.kind != ACTION_LAUNCH || action.text < 0 || action.text >= map.textUsed)
        return "";
    return map.text + action.text;
}

void parseKeymap(const char *bytes, size_t size, Keymap *map)
{
    map->sectionCount = 0;
    map->problemCount = 0;
    map->textUsed = 0;
    Parser p = {};
    p.map = map;
    size_t readable = readablePart(bytes, size);
    decode(bytes, readable, Decoded, sizeof Decoded);

    char line[LINE_SIZE];
    for (char *at = Decoded; *at;) {
        char *end = strchr(at, '\n');
        size_t length = end ? (size_t)(end - at) : strlen(at);
        ++p.line;
        if (length > 0 && at[length - 1] == '\r')
            --length;
        if (length >= sizeof line) {
            addProblem(&p, p.line, P_LINE_TOO_LONG);
        } else {
            memcpy(line, at, length);
            line[length] = '\0';
            readLine(&p, line);
        }
        at = end ? end + 1 : at + length;
        if (!end)
            break;
    }
    endSection(&p);
    if (readable < size)
        addProblem(&p, p.line + 1, P_FILE_TOO_LARGE);
}
