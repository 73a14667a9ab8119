// What the server says, as pure decisions: the remote's button names, the key
// line, and the reply packets to the commands a client may send.
#include "server/remote_server.h"
#include "common/version.h"

#include <stdio.h>
#include <string.h>

namespace
{

// One name per code. Digits are named by their digit, 18 is the power key, and
// every other code by what it does in the applications' key maps: the
// Home Theater key it presses, else the PowerVCR II one.
const char *const ButtonNames[REMOTE_CODE_COUNT] = {
    "KEY_KPASTERISK", // 0: PowerVCR II and honestechTV '*'
    "KEY_1",           "KEY_2", "KEY_3", "KEY_4", "KEY_5", "KEY_6", "KEY_7", "KEY_8", "KEY_9",
    "KEY_0",           // 10: digit 0
    "KEY_ZOOM",        // 11: Home Theater Z
    "KEY_AUDIO",       // 12: Home Theater A
    "KEY_RECORD",      // 13: PowerVCR II record (capture dialog off, then R)
    "KEY_STOP",        // 14: PowerVCR II S, Home Theater Ctrl+S
    "KEY_SLEEP",       // 15: offers to switch the computer off
    "KEY_PREVIOUS",    // 16: Home Theater Page Up
    "KEY_BACK",        // 17: Home Theater Ctrl+Shift+R
    "KEY_POWER",       // 18
    "KEY_VOLUMEUP",    // 19: Home Theater F10
    "KEY_ESC",         // 20: Home Theater Escape
    "KEY_ENTER",       // 21: Home Theater Enter
    "KEY_PLAYPAUSE",   // 22: Home Theater Space
    "KEY_FASTFORWARD", // 23: Home Theater Ctrl+F
    "KEY_NEXT",        // 24: Home Theater Page Down
    "KEY_FORWARD",     // 25: Home Theater Ctrl+Shift+F
    "KEY_UP",          // 26
    "KEY_RIGHT",       // 27
    "KEY_VOLUMEDOWN",  // 28: Home Theater F9
    "KEY_MUTE",        // 29: Home Theater F8
    "KEY_DOWN",        // 30
    "KEY_LEFT",        // 31
};

const char VERSION_TEXT[] = QX_VERSION_TEXT;

// A packet built in a bounded buffer; `failed` once something did not fit.
struct Packet {
    char *out;
    size_t size;
    size_t length;
    bool failed;
};

void add(Packet *p, const char *text)
{
    size_t n = strlen(text);
    if (p->failed || p->length + n >= p->size) {
        p->failed = true;
        return;
    }
    memcpy(p->out + p->length, text, n + 1);
    p->length += n;
}

void addLine(Packet *p, const char *text)
{
    add(p, text);
    add(p, "\n");
}

int finish(Packet *p)
{
    return p->failed ? 0 : (int)p->length;
}

// BEGIN, the command as sent, SUCCESS or ERROR, then DATA with its line count.
void begin(Packet *p, const char *command, bool success, int dataLines)
{
    addLine(p, "BEGIN");
    addLine(p, command);
    addLine(p, success ? "SUCCESS" : "ERROR");
    if (dataLines >= 0) {
        char count[16];
        snprintf(count, sizeof count, "%d", dataLines);
        addLine(p, "DATA");
        addLine(p, count);
    }
}

int errorPacket(Packet *p, const char *command, const char *format, const char *word)
{
    char message[COMMAND_LINE_LIMIT + 64];
    snprintf(message, sizeof message, format, word);
    begin(p, command, false, 1);
    addLine(p, message);
    addLine(p, "END");
    return finish(p);
}

void addCodeLine(Packet *p, int code)
{
    char line[64];
    snprintf(line, sizeof line, "%016x %s", code, ButtonNames[code]);
    addLine(p, line);
}

// The blank-separated words of a command line, at most `max` (more count as max + 1).
int splitWords(char *line, char **words, int max)
{
    int count = 0;
    char *s = line;
    for (;;) {
        while (*s == ' ' || *s == '\t')
            *s++ = '\0';
        if (*s == '\0')
            return count;
        if (count == max)
            return max + 1;
        words[count++] = s;
        while (*s != '\0' && *s != ' ' && *s != '\t')
            ++s;
    }
}

int answerList(Packet *p, const char *command, char **words, int count)
{
    if (count == 1) {
        begin(p, command, true, 1);
        addLine(p, REMOTE_NAME);
    } else {
        // Remote and button names without regard to case, as lircd and WinLIRC match them.
        if (_stricmp(words[1], REMOTE_NAME) != 0)
            return errorPacket(p, command, "unknown remote: \"%s\"", words[1]);
        if (count == 2) {
            begin(p, command, true, REMOTE_CODE_COUNT);
            for (int code = 0; code < REMOTE_CODE_COUNT; ++code)
                addCodeLine(p, code);
        } else {
            int code = buttonCode(words[2]);
            if (code < 0)
                return errorPacket(p, command, "unknown command: \"%s\"", words[2]);
            begin(p, command, true, 1);
            addCodeLine(p, code);
        }
    }
    addLine(p, "END");
    return finish(p);
}

} // namespace

const char *buttonName(int code, char *buffer, size_t size)
{
    if (code >= 0 && code < REMOTE_CODE_COUNT)
        return ButtonNames[code];
    snprintf(buffer, size, "CODE_%02X", (unsigned)code);
    return buffer;
}

int buttonCode(const char *name)
{
    for (int code = 0; code < REMOTE_CODE_COUNT; ++code)
        if (_stricmp(ButtonNames[code], name) == 0)
            return code;
    return -1;
}

int lineRepeatCount(int repeatCount)
{
    // Clients read the count into a two-digit field, and 00 marks a new press:
    // after ff the count goes on at 01.
    if (repeatCount <= 0)
        return 0;
    return (repeatCount - 1) % 0xff + 1;
}

int formatKeyLine(char *out, size_t size, int code, int repeatCount)
{
    char name[16];
    int n = snprintf(out, size, "%016x %02x %s %s\n", (unsigned)code, (unsigned)lineRepeatCount(repeatCount),
                     buttonName(code, name, sizeof name), REMOTE_NAME);
    return n > 0 && (size_t)n < size ? n : 0;
}

int answerCommand(const char *line, char *out, size_t size)
{
    Packet p = {out, size, 0, false};
    if (size > 0)
        out[0] = '\0';
    char copy[COMMAND_LINE_LIMIT + 1];
    size_t length = strlen(line);
    if (length > COMMAND_LINE_LIMIT)
        return errorPacket(&p, "", "bad send packet%s", "");
    memcpy(copy, line, length + 1);
    char *words[3];
    int count = splitWords(copy, words, 3);
    if (count == 0)
        return errorPacket(&p, line, "bad send packet%s", "");
    // Directives are matched without regard to case, as lircd does.
    if (_stricmp(words[0], "VERSION") == 0) {
        if (count != 1)
            return errorPacket(&p, line, "bad send packet%s", "");
        begin(&p, line, true, 1);
        addLine(&p, VERSION_TEXT);
        addLine(&p, "END");
        return finish(&p);
    }
    if (_stricmp(words[0], "LIST") == 0) {
        if (count > 3)
            return errorPacket(&p, line, "bad send packet%s", "");
        return answerList(&p, line, words, count);
    }
    return errorPacket(&p, line, "unknown directive: \"%s\"", words[0]);
}
