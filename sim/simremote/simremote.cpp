// simremote.exe: the virtual remote of the simulated card. Presses and holds
// keys, forces the status bit, makes chosen operations fail, switches pending
// completion and prints the card's request log. See usage() for the commands.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "card_client.h"
#include "log_format.h"

namespace
{

const int EXIT_USAGE = 1;
const int EXIT_NO_CARD = 2;
const int EXIT_FAILED = 3;

void usage()
{
    fputs("usage: simremote COMMAND\n"
          "  press CODE [--reads N | --ms T]   key down for N receiver reads (default 1) or T ms\n"
          "  down CODE | up                    hold a key until released\n"
          "  status set|clear|auto             force the no-key status bit, or follow the keys\n"
          "  fail OP [--times N | --always | --off] [--status NTSTATUS]\n"
          "                                    OP: SWRESET INIT SWSTART SWADDRESS SWWRITE SWREAD\n"
          "                                        SWSENDACK SWSENDNACK SWSTOP RESET REGSET REGREAD\n"
          "  pend on|off                       complete requests as pending\n"
          "  log [--clear]                     print the request log, oldest first (then clear it)\n"
          "  reset                             everything back to its start\n"
          "CODE: a number (decimal or 0x hex) or a key name: power, shutdown\n",
          stderr);
}

int fail(const char *what)
{
    fprintf(stderr, "simremote: %s\n", what);
    usage();
    return EXIT_USAGE;
}

// A whole number in decimal or 0x hex, no larger than `max`.
bool parseNumber(const char *text, unsigned long max, unsigned int *out)
{
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    if (!*text || *text == '-' || *text == '+')
        return false;
    char *end = NULL;
    unsigned long v = strtoul(text, &end, base);
    if (*end || v > max)
        return false;
    *out = (unsigned int)v;
    return true;
}

struct KeyName {
    const char *name;
    unsigned int code;
};
const KeyName KeyNames[] = {{"power", 18}, {"shutdown", 15}};

bool parseCode(const char *text, unsigned int *code)
{
    for (const KeyName &k : KeyNames) {
        if (_stricmp(text, k.name) == 0) {
            *code = k.code;
            return true;
        }
    }
    return parseNumber(text, 0xFF, code);
}

struct Card {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~Card()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

int send(unsigned int command, unsigned int a0 = 0, unsigned int a1 = 0, unsigned int a2 = 0,
         unsigned int a3 = 0)
{
    Card card;
    card.h = simcard_open();
    if (card.h == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "simremote: no simulated card (%s: error %lu)\n", SIMCARD_USER_PATH, GetLastError());
        return EXIT_NO_CARD;
    }
    DWORD err = simcard_command(card.h, command, a0, a1, a2, a3);
    if (err) {
        fprintf(stderr, "simremote: the card refused the command (error %lu)\n", err);
        return EXIT_FAILED;
    }
    return 0;
}

int cmdPress(int argc, char **argv)
{
    unsigned int code, n = 1;
    if (argc < 1 || !parseCode(argv[0], &code))
        return fail("press: a key code (0 to 255, or a key name) is needed");
    if (argc == 1)
        return send(SIM_CMD_KEY_DOWN, code, 1, 0);
    if (argc != 3 || !parseNumber(argv[2], 0x7FFFFFFF, &n) || n == 0)
        return fail("press: --reads N or --ms T with a positive number");
    if (strcmp(argv[1], "--reads") == 0)
        return send(SIM_CMD_KEY_DOWN, code, n, 0);
    if (strcmp(argv[1], "--ms") == 0)
        return send(SIM_CMD_KEY_DOWN, code, 0, n);
    return fail("press: unknown option");
}

int cmdDown(int argc, char **argv)
{
    unsigned int code;
    if (argc != 1 || !parseCode(argv[0], &code))
        return fail("down: one key code (0 to 255, or a key name) is needed");
    return send(SIM_CMD_KEY_DOWN, code, 0, 0);
}

int cmdUp(int argc, char **)
{
    if (argc != 0)
        return fail("up takes no arguments");
    return send(SIM_CMD_KEY_UP);
}

int cmdStatus(int argc, char **argv)
{
    static const char *const modes[] = {"auto", "set", "clear"}; // in SimStatusMode order
    for (unsigned int m = 0; argc == 1 && m < 3; m++) {
        if (strcmp(argv[0], modes[m]) == 0)
            return send(SIM_CMD_STATUS, m);
    }
    return fail("status: set, clear or auto");
}

int cmdFail(int argc, char **argv)
{
    if (argc < 1)
        return fail("fail: an operation name is needed");
    unsigned int op = simcard_op_by_name(argv[0]);
    if (op == SIM_OP_UNKNOWN)
        return fail("fail: unknown operation");
    unsigned int mode = SIM_FAULT_COUNT, count = 1, status = 0;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--times") == 0 && i + 1 < argc && parseNumber(argv[i + 1], 0x7FFFFFFF, &count) &&
            count > 0) {
            mode = SIM_FAULT_COUNT;
            i++;
        } else if (strcmp(argv[i], "--always") == 0) {
            mode = SIM_FAULT_ALWAYS;
        } else if (strcmp(argv[i], "--off") == 0) {
            mode = SIM_FAULT_OFF;
        } else if (strcmp(argv[i], "--status") == 0 && i + 1 < argc &&
                   parseNumber(argv[i + 1], 0xFFFFFFFF, &status) && (status & 0x80000000u)) {
            i++;
        } else {
            return fail("fail: --times N (N > 0), --always, --off, --status NTSTATUS (an error status)");
        }
    }
    return send(SIM_CMD_FAIL, op, mode, count, status);
}

int cmdPend(int argc, char **argv)
{
    if (argc == 1 && strcmp(argv[0], "on") == 0)
        return send(SIM_CMD_PEND, 1);
    if (argc == 1 && strcmp(argv[0], "off") == 0)
        return send(SIM_CMD_PEND, 0);
    return fail("pend: on or off");
}

int cmdLog(int argc, char **argv)
{
    bool clear = argc == 1 && strcmp(argv[0], "--clear") == 0;
    if (argc > 1 || (argc == 1 && !clear))
        return fail("log: only --clear is allowed");
    Card card;
    card.h = simcard_open();
    if (card.h == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "simremote: no simulated card (%s: error %lu)\n", SIMCARD_USER_PATH, GetLastError());
        return EXIT_NO_CARD;
    }
    static SimLogEntry entries[SIM_LOG_CAPACITY];
    SimLogHeader header;
    DWORD err = simcard_log(card.h, &header, entries, SIM_LOG_CAPACITY);
    if (err) {
        fprintf(stderr, "simremote: cannot read the log (error %lu)\n", err);
        return EXIT_FAILED;
    }
    char line[160];
    for (unsigned int i = 0; i < header.count; i++) {
        simcard_format_entry(&entries[i], line, sizeof line);
        printf("%s\n", line);
    }
    fflush(stdout);
    if (clear && simcard_command(card.h, SIM_CMD_LOG_CLEAR, 0, 0, 0, 0)) {
        fputs("simremote: cannot clear the log\n", stderr);
        return EXIT_FAILED;
    }
    return 0;
}

int cmdReset(int argc, char **)
{
    if (argc != 0)
        return fail("reset takes no arguments");
    return send(SIM_CMD_RESET);
}

struct Command {
    const char *name;
    int (*run)(int argc, char **argv);
};
const Command Commands[] = {{"press", cmdPress}, {"down", cmdDown}, {"up", cmdUp},   {"status", cmdStatus},
                            {"fail", cmdFail},   {"pend", cmdPend}, {"log", cmdLog}, {"reset", cmdReset}};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return fail("no command given");
    for (const Command &c : Commands) {
        if (strcmp(argv[1], c.name) == 0)
            return c.run(argc - 2, argv + 2);
    }
    return fail("unknown command");
}
