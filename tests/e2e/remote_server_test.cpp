// tunerkey as a WinLIRC-protocol server: the remote's reads reach other programs
// as lines on a TCP socket. Proven against LIRC's own tools (irsend asking the
// server, lircd relaying it to irw and to LIRC's client library under ircat) and
// against clients of our own for the load and the faults: eight at once, one that
// never reads, one that pauses, one that floods, one that resets, a line too long,
// a ninth. Also the addresses it listens on, the mouse exception and the off switch.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "program_run.h"
#include "resources/resource.h"
#include "server/remote_server.h"
#include "shell/shell.h"

using namespace e2e;

namespace
{

// A port no other program has, taken for each test (qxt::freePort).
unsigned short Port = 0;

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> out;
    size_t from = 0, nl;
    while ((nl = text.find('\n', from)) != std::string::npos) {
        out.push_back(text.substr(from, nl - from));
        from = nl + 1;
    }
    return out;
}

struct Winsock {
    Winsock()
    {
        WSADATA d;
        WSAStartup(MAKEWORD(2, 2), &d);
    }
    ~Winsock() { WSACleanup(); }
} winsock;

void serverSettings(DWORD on)
{
    qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServer", on);
    qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServerPort", Port);
}

// A client of the server: a non-blocking socket and what it has read so far.
struct Client {
    SOCKET s = INVALID_SOCKET;
    std::string data;
    bool closed = false; // the server closed or reset it

    ~Client() { close(); }
    void close()
    {
        if (s != INVALID_SOCKET)
            closesocket(s);
        s = INVALID_SOCKET;
    }
    // Connects; a small receive buffer when `smallBuffer` (a reader that stops
    // fills up soon); on [::1] with `ipv6`.
    bool open(bool smallBuffer = false, bool ipv6 = false)
    {
        s = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (smallBuffer) {
            int size = 1024;
            setsockopt(s, SOL_SOCKET, SO_RCVBUF, (const char *)&size, sizeof size);
        }
        sockaddr_in a = {AF_INET, htons(Port), {}, {}};
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sockaddr_in6 a6 = {AF_INET6, htons(Port), 0, {}, {}};
        a6.sin6_addr.s6_addr[15] = 1; // ::1
        if (connect(s, ipv6 ? (sockaddr *)&a6 : (sockaddr *)&a, ipv6 ? sizeof a6 : sizeof a) != 0)
            return false;
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        return true;
    }
    bool say(const std::string &text)
    {
        return send(s, text.data(), (int)text.size(), 0) == (int)text.size();
    }
    // Takes whatever has arrived.
    void pump()
    {
        char buf[4096];
        while (!closed) {
            int n = recv(s, buf, sizeof buf, 0);
            if (n > 0)
                data.append(buf, n);
            else if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK)
                closed = true;
            else
                break;
        }
    }
    std::vector<std::string> lines() { return splitLines(data); }
    bool waitForLines(size_t n, DWORD ms = 5000)
    {
        return qxt::waitUntil(
            [&] {
                pump();
                return lines().size() >= n;
            },
            ms);
    }
    bool waitForClose(DWORD ms = 5000)
    {
        return qxt::waitUntil(
            [&] {
                pump();
                return closed;
            },
            ms);
    }
    // Connected and accepted: the server answers VERSION. What it said is cleared.
    bool ready()
    {
        if (!say("VERSION\n") || !waitForLines(7))
            return false;
        data.clear();
        return true;
    }
};

std::string keyLine(int code, int repeat, const char *name)
{
    char line[80];
    snprintf(line, sizeof line, "%016x %02x %s QX770", code, repeat, name);
    return line;
}

// The lines of digit `code` held for `reads` reads.
std::vector<std::string> heldLines(int code, int reads)
{
    std::vector<std::string> out;
    for (int i = 0; i < reads; ++i)
        out.push_back(keyLine(code, i, ("KEY_" + std::to_string(code)).c_str()));
    return out;
}

// `line` `n` times over.
std::string times(const char *line, int n)
{
    std::string out;
    while (n-- > 0)
        out += line;
    return out;
}

bool listening()
{
    Client probe;
    return probe.open();
}

// Whether process `pid` has a module of that name loaded.
bool moduleLoaded(DWORD pid, const char *name)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snap == INVALID_HANDLE_VALUE)
        return false;
    MODULEENTRY32 m = {};
    m.dwSize = sizeof m;
    bool found = false;
    for (BOOL more = Module32First(snap, &m); more && !found; more = Module32Next(snap, &m))
        found = _stricmp(m.szModule, name) == 0;
    CloseHandle(snap);
    return found;
}

// Commands as fast as the server answers them, on a thread of their own, while
// the key is held: always some waiting to be read, never so many that a bound of
// the server's closes the client.
std::atomic<bool> Flooding(false);
std::thread Flood;

void startFlood(Client *bad)
{
    Flooding = true;
    Flood = std::thread([bad] {
        const std::string batch = times("VERSION\n", 64);
        size_t asked = 0, answered = 0; // bytes of 39-byte replies
        for (char buf[4096]; Flooding; Sleep(1)) {
            if (asked - answered / 39 < 256 && bad->say(batch))
                asked += 64;
            for (int n; (n = recv(bad->s, buf, sizeof buf, 0)) > 0;)
                answered += (size_t)n;
        }
    });
}

class RemoteServer : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_NE(card(), INVALID_HANDLE_VALUE) << "no simulated card";
        resetCard();
        closeAll();
        Port = qxt::freePort();
        serverSettings(1);
    }
    void TearDown() override
    {
        if (run.child.process != NULL) {
            EXPECT_EQ(exitTunerkey(&run), 0);
        }
        for (const char *name : {"RemoteServer", "RemoteServerAnyAddress", "RemoteServerKeepsPointer"})
            qxt::regDeleteValue(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, name);
        // The check box saved the switch among the user's settings.
        qxt::regDeleteValue(HKEY_CURRENT_USER, TK_USER_SETTINGS_KEY, "RemoteServer");
    }
    Tunerkey run;
};

// ---- LIRC's own tools ---------------------------------------------------------------
// LIRC's tools are Linux programs: Wine starts them through /bin/sh, with no
// process handle, so a script touches a file in its folder when it is done, and
// keeps the process ids of what it leaves running in files there.
struct HostShell {
    std::string unixDir = "/tmp/qx-lirc-" + std::to_string(GetCurrentProcessId());
    std::string winDir = "Z:\\tmp\\qx-lirc-" + std::to_string(GetCurrentProcessId());
    // A fresh folder.
    bool make()
    {
        qxt::removeTree(winDir);
        return qxt::makeDirs(winDir);
    }
    // Starts `script` (single quotes only) in the folder; true once it has touched
    // `marker` there, at once without one.
    bool run(const std::string &script, const char *marker)
    {
        qxt::Child sh;
        if (!qxt::startProcess("Z:\\bin\\sh -c \"cd " + unixDir + "; " + script +
                                   (marker != NULL ? std::string("; touch ") + marker : "") + "\"",
                               &sh))
            return false;
        CloseHandle(sh.process); // NULL for a Linux program
        return marker == NULL ||
               qxt::waitUntil([&] { return qxt::fileExists(winDir + "\\" + marker); }, 15000);
    }
    std::vector<std::string> lines(const std::string &file)
    {
        std::string text;
        qxt::readFile(winDir + "\\" + file, &text);
        return splitLines(text);
    }
};

// lircd relaying the server to its own socket, where irw prints every line and
// ircat, through LIRC's client library, what the lircrc makes of them.
const char LIRCRC[] = "begin\n prog = qx\n button = KEY_6\n repeat = 4\n config = six\nend\n"
                      "begin\n prog = qx\n button = KEY_5\n config = click-on\n config = click-off\nend\n"
                      "begin\n prog = qx\n button = KEY_1\n button = KEY_2\n config = one-two\nend\n";

// Starts them; true once they run.
bool startLirc(HostShell &sh)
{
    return sh.make() && qxt::writeFile(sh.winDir + "\\lircrc", LIRCRC) &&
           sh.run(
               "PORT=" + std::to_string(Port) +
                   "; : > empty.conf; timeout 120 lircd -n -O /dev/null -H file -d /dev/null -o lircd.sock "
                   "-P lircd.pid -c 127.0.0.1:$PORT empty.conf > lircd.log 2>&1 & "
                   "for i in $(seq 100); do [ -S lircd.sock ] && break; sleep 0.1; done; "
                   "timeout 120 irw lircd.sock > irw.out 2>&1 & echo $! > irw.pid; "
                   "LIRC_SOCKET_PATH=lircd.sock timeout 120 stdbuf -oL ircat -c lircrc qx > ircat.out 2>&1 & "
                   "echo $! > ircat.pid",
               "ready");
}

void stopLirc(HostShell &sh)
{
    sh.run("kill $(cat irw.pid) $(cat ircat.pid) $(cat lircd.pid); cd / && rm -rf " + sh.unixDir, NULL);
}

} // namespace

TEST_F(RemoteServer, APressAndAHeldKeyReachIrwAndLircrcThroughLircd)
{
    ASSERT_TRUE(startTunerkey(&run));
    HostShell lirc;
    ASSERT_TRUE(startLirc(lirc)) << "lircd, irw and ircat did not start";
    // lircd connects to the server on its own time: a key with no other use
    // (20, nothing for the pointer) until its line comes through.
    ASSERT_TRUE(qxt::waitUntil(
        [&] {
            press(20);
            qxt::pumpMessages(300);
            return !lirc.lines("irw.out").empty();
        },
        15000))
        << "nothing relayed";
    qxt::pumpMessages(400); // the probe's press is over
    size_t from = lirc.lines("irw.out").size();

    // Each press (key, reads) apart from the next, so that none is a repeat of the one before.
    const int presses[][2] = {{5, 1}, {6, 12}, {1, 1}, {2, 1}, {5, 1}, {5, 1}};
    std::vector<std::string> want;
    for (const int *p : presses) {
        ASSERT_TRUE(press(p[0], p[1]));
        for (const std::string &l : heldLines(p[0], p[1]))
            want.push_back(l);
        ASSERT_TRUE(qxt::waitUntil([&] { return lirc.lines("irw.out").size() >= from + want.size(); }));
        qxt::pumpMessages(400);
    }
    std::vector<std::string> got = lirc.lines("irw.out");
    got.erase(got.begin(), got.begin() + from);
    EXPECT_EQ(got, want);
    // The lircrc: every fourth read of the held key, the two configs of key 5 in
    // turn, and the two-button sequence once both came.
    EXPECT_TRUE(qxt::waitUntil([&] { return lirc.lines("ircat.out").size() >= 7; }));
    EXPECT_EQ(lirc.lines("ircat.out"), (std::vector<std::string>{"click-on", "six", "six", "six", "one-two",
                                                                 "click-off", "click-on"}));
    stopLirc(lirc);
}

TEST_F(RemoteServer, EightClientsGetEveryLineWhateverTheOthersDo)
{
    ASSERT_TRUE(startTunerkey(&run));
    Client readers[7];
    for (Client &c : readers)
        ASSERT_TRUE(c.open(false, &c == readers) && c.ready()); // the first on IPv6

    // Each row: one more client doing something wrong, then a held key; every
    // reader still gets every line of it, and the keys still act.
    struct Row {
        const char *what;
        void (*misbehave)(Client *bad);
        int replyLines; // the bad client gets these, then the key's; -1: it is closed; -2: unchecked
    };
    const Row rows[] = {
        {"an eighth that reads", [](Client *) {}, 0},
        // Eight button lists, 7 KB: more than the sockets hold for a reader this
        // small, less than that and what the server keeps besides.
        {"one that stops reading while replies pile up, then resumes",
         [](Client *bad) {
             bad->say(times("LIST QX770\n", 8));
             qxt::pumpMessages(500);
         },
         8 * (5 + 32 + 1)},
        // Commands as fast as the server answers them, all through the held key:
        // the poll still reads the key at its pace.
        {"one that floods", startFlood, -2},
        {"one that never reads",
         [](Client *bad) {
             // Asks for the button list again and again and never reads the
             // answers: what it lets pile up passes the bound.
             for (int batch = 0; batch < 40; ++batch) {
                 bad->say(times("LIST QX770\n", 20));
                 qxt::pumpMessages(20);
             }
         },
         -1},
        {"one that resets",
         [](Client *bad) {
             linger l = {1, 0}; // closesocket sends a reset
             setsockopt(bad->s, SOL_SOCKET, SO_LINGER, (const char *)&l, sizeof l);
             bad->close();
         },
         0},
        {"a 300-byte line", [](Client *bad) { bad->say(std::string(300, 'A') + "\n"); }, -1},
        // Empty lines, which get no answer: only what waits unread counts.
        {"4 KB unread at once", [](Client *bad) { bad->say(std::string(4200, '\n')); }, -1},
    };
    int code = 1;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Client bad;
        ASSERT_TRUE(bad.open(true) && bad.ready());
        row.misbehave(&bad);
        for (Client &c : readers)
            c.data.clear();
        ASSERT_TRUE(press(code, 10));
        for (Client &c : readers) {
            EXPECT_TRUE(c.waitForLines(10));
            EXPECT_EQ(c.lines(), heldLines(code, 10));
        }
        Flooding = false;
        if (Flood.joinable())
            Flood.join();
        if (row.replyLines == -1) {
            EXPECT_TRUE(bad.waitForClose());
        } else if (bad.s != INVALID_SOCKET && row.replyLines >= 0) {
            // Every reply whole, then the key's lines.
            EXPECT_TRUE(bad.waitForLines(row.replyLines + 10));
            std::vector<std::string> got = bad.lines();
            EXPECT_EQ(std::count(got.begin(), got.end(), "END"), row.replyLines / (5 + 32 + 1));
            got.erase(got.begin(), got.begin() + std::min(got.size(), (size_t)row.replyLines));
            EXPECT_EQ(got, heldLines(code, 10));
        }
        EXPECT_TRUE(row.replyLines == -1 || !bad.closed);
        qxt::pumpMessages(300);
        ++code;
    }

    // A ninth beside eight: told in one line and closed; the eight go on.
    Client eighth, ninth;
    ASSERT_TRUE(eighth.open() && eighth.ready());
    ASSERT_TRUE(ninth.open(false, true)); // on IPv6: the one limit for both
    EXPECT_TRUE(ninth.waitForClose());
    EXPECT_EQ(ninth.data, "ERROR server full: 8 clients connected\n");
    ASSERT_TRUE(press(9));
    EXPECT_TRUE(eighth.waitForLines(1));
    EXPECT_EQ(eighth.lines(), (std::vector<std::string>{keyLine(9, 0, "KEY_9")}));

    // Exit closes every socket.
    EXPECT_EQ(exitTunerkey(&run), 0);
    for (Client &c : readers)
        EXPECT_TRUE(c.waitForClose());
    EXPECT_TRUE(eighth.waitForClose());
}

TEST_F(RemoteServer, AnswersIrsendAndRawCommandsAsLircdDoes)
{
    ASSERT_TRUE(startTunerkey(&run));
    // irsend, LIRC's own client, asks the server as it asks lircd and parses the
    // replies with LIRC's parser: what it prints, and its exit status.
    struct Ask {
        const char *args;
        const char *first; // of what it prints: the data lines, a blank one
        size_t dataLines;
        const char *status;
    };
    const Ask asks[] = {
        {"LIST '' ''", "QX770", 1, "0"},
        {"LIST qx770 key_power", "0000000000000012 KEY_POWER", 1, "0"},
        {"LIST qx770 ''", "0000000000000000 KEY_KPASTERISK", 32, "0"},
        {"LIST OTHER ''", "unknown remote: \"OTHER\"", 1, "1"},
        {"LIST QX770 KEY_NONE", "unknown command: \"KEY_NONE\"", 1, "1"},
        {"SEND_ONCE QX770 KEY_1", "unknown directive: \"SEND_ONCE\"", 1, "1"},
    };
    HostShell sh;
    ASSERT_TRUE(sh.make());
    std::string script;
    for (const Ask &a : asks)
        script += "timeout 20 irsend -a 127.0.0.1:" + std::to_string(Port) + " " + a.args +
                  " 2>/dev/null; echo $?; ";
    ASSERT_TRUE(sh.run("(" + script + ") > irsend.out", "asked"));
    std::vector<std::string> printed = sh.lines("irsend.out");
    size_t at = 0;
    for (const Ask &a : asks) {
        SCOPED_TRACE(a.args);
        ASSERT_LT(at + a.dataLines + 1, printed.size());
        EXPECT_EQ(printed[at], a.first);
        EXPECT_EQ(printed[at + a.dataLines], "");
        EXPECT_EQ(printed[at + a.dataLines + 1], a.status);
        at += a.dataLines + 2;
    }

    // What irsend does not send, on a socket of our own.
    Client c;
    ASSERT_TRUE(c.open());
    struct Case {
        const char *command;
        std::vector<std::string> reply;
    };
    const Case cases[] = {
        {"VERSION", {"BEGIN", "VERSION", "SUCCESS", "DATA", "1", QX_VERSION, "END"}},
        {"LIST QX770 KEY_POWER KEY_1",
         {"BEGIN", "LIST QX770 KEY_POWER KEY_1", "ERROR", "DATA", "1", "bad send packet", "END"}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.command);
        c.data.clear();
        ASSERT_TRUE(c.say(std::string(k.command) + "\r\n"));
        EXPECT_TRUE(c.waitForLines(k.reply.size()));
        EXPECT_EQ(c.lines(), k.reply);
    }
}

TEST_F(RemoteServer, WithAClientConnectedThePointerKeysGoToTheClientOnly)
{
    ASSERT_TRUE(startTunerkey(&run));
    qxt::MessageRecorder under("QxUnderPointer", "Under pointer", true);
    SetWindowPos(under.hwnd(), HWND_TOP, 100, 100, 400, 300, SWP_SHOWWINDOW);
    POINT start = {200, 200};
    SetCursorPos(start.x, start.y);
    {
        Client c;
        ASSERT_TRUE(c.open() && c.ready());
        ASSERT_TRUE(press(6, 6));
        ASSERT_TRUE(c.waitForLines(6));
        ASSERT_TRUE(press(5));
        ASSERT_TRUE(c.waitForLines(7));
        qxt::pumpMessages(300);
        EXPECT_EQ(cursor().x, start.x) << "the pointer moved although a client took the key";
        EXPECT_TRUE(under.received(WM_LBUTTONDOWN).empty());
    }
    // The client gone, the pointer is the remote's again.
    qxt::pumpMessages(500);
    ASSERT_TRUE(press(6, 6));
    EXPECT_TRUE(qxt::waitUntil([&] { return cursor().x > start.x; }));

    // A drag begun before a client came finishes on the pointer: the button is
    // let go, and only then do the keys go to the client alone.
    qxt::pumpMessages(300);
    ASSERT_TRUE(press(5));
    ASSERT_TRUE(under.waitFor(WM_LBUTTONDOWN));
    Client c;
    ASSERT_TRUE(c.open() && c.ready());
    qxt::pumpMessages(300);
    POINT before = cursor();
    ASSERT_TRUE(press(6, 3));
    EXPECT_TRUE(qxt::waitUntil([&] { return cursor().x > before.x; })) << "the drag stopped";
    qxt::pumpMessages(300);
    ASSERT_TRUE(press(5));
    EXPECT_TRUE(under.waitFor(WM_LBUTTONUP));
    qxt::pumpMessages(300);
    before = cursor();
    ASSERT_TRUE(press(6, 3));
    ASSERT_TRUE(c.waitForLines(3 + 1 + 3));
    qxt::pumpMessages(300);
    EXPECT_EQ(cursor().x, before.x);
    c.close();

    // Told to keep the pointer, the server lets the keys move it with a client
    // connected, and the client has them too.
    EXPECT_EQ(exitTunerkey(&run), 0);
    qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServerKeepsPointer", 1);
    ASSERT_TRUE(startTunerkey(&run));
    Client keeps;
    ASSERT_TRUE(keeps.open() && keeps.ready());
    before = cursor();
    ASSERT_TRUE(press(6, 6));
    EXPECT_TRUE(keeps.waitForLines(6));
    EXPECT_TRUE(qxt::waitUntil([&] { return cursor().x > before.x; }));
}

// The listening sockets on the server's port, as the host lists them: each
// address in /proc/net/tcp's hex, IPv4 first.
std::vector<std::string> boundAddresses()
{
    HostShell sh;
    char port[8];
    snprintf(port, sizeof port, "%04X", Port);
    if (!sh.make() ||
        !sh.run(std::string("awk '$4 ~ /0A/ && $2 ~ /:") + port +
                    "$/ { split($2, a, /:/); print a[1] }' /proc/net/tcp /proc/net/tcp6 > bound",
                "listed"))
        return {};
    return sh.lines("bound");
}

// The server in this process: Winsock may take less than a send is given, and
// posts no FD_WRITE after that (Wine's send takes all it has room for); the rest
// goes out with the next sends. Also the count of a held key past ff, and a
// client's reads paced by a timer: Windows puts posted socket messages before
// WM_TIMER, which the flooding client's row under Wine does not always show.
LRESULT CALLBACK serverWindow(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == SERVER_SOCKET_MESSAGE)
        onServerSocketMessage(wp, lp);
    return DefWindowProcA(w, msg, wp, lp);
}

TEST_F(RemoteServer, ShortSendsLoseNothingTheCountStaysTwoDigitsAndReadsArePaced)
{
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)serverWindow);
    int error = 0;
    ASSERT_EQ(startRemoteServer(window, {Port, false, false}, &error), SERVER_LISTENING);
    int (*winsockSend)(UINT_PTR, const char *, int) = serverSendCall;
    serverSendCall = [](UINT_PTR s, const char *data, int n) {
        return send((SOCKET)s, data, n < 7 ? n : 7, 0);
    };
    Client c;
    EXPECT_TRUE(c.open() && c.ready());
    std::vector<std::string> want;
    const int shown[][2] = {{0, 0}, {1, 1}, {0xff, 0xff}, {0x100, 1}, {0x101, 2}, {0x1fe, 0xff}, {0x1ff, 1}};
    for (const int *r : shown) {
        serveRemoteKey(26, r[0]);
        want.push_back(keyLine(26, r[1], "KEY_UP"));
    }
    EXPECT_TRUE(c.waitForLines(want.size()));
    EXPECT_EQ(c.lines(), want);
    serverSendCall = winsockSend;

    // A client is read once a period: what it sends after a read waits for a
    // timer, which the socket messages alone never bring.
    c.data.clear();
    ASSERT_TRUE(c.say(times("VERSION\n", 128)));
    for (DWORD start = GetTickCount(); GetTickCount() - start < 300; Sleep(5))
        for (MSG m; PeekMessageA(&m, NULL, SERVER_SOCKET_MESSAGE, SERVER_SOCKET_MESSAGE, PM_REMOVE);)
            DispatchMessageA(&m);
    c.pump();
    EXPECT_LT(c.lines().size(), 128u * 7);
    EXPECT_TRUE(c.waitForLines(128 * 7));
    stopRemoteServer();
    DestroyWindow(window);
}

TEST_F(RemoteServer, OnLoopbackOnlyWhenSwitchedOnAndAPortInUseIsToldOnce)
{
    // Missing or any number but 1: no socket, no Winsock in the process. On: the
    // IPv4 and IPv6 loopback addresses, or every address when told.
    struct Row {
        int on; // -1: missing
        DWORD anyAddress;
        std::vector<std::string> bound;
    };
    const Row rows[] = {{-1, 0, {}},
                        {0, 0, {}},
                        {2, 0, {}},
                        {1, 0, {"0100007F", "00000000000000000000000001000000"}},
                        {1, 1, {"00000000", "00000000000000000000000000000000"}}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.on * 10 + (int)row.anyAddress);
        if (row.on < 0)
            qxt::regDeleteValue(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServer");
        else
            serverSettings((DWORD)row.on);
        qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServerAnyAddress", row.anyAddress);
        ASSERT_TRUE(startTunerkey(&run));
        EXPECT_EQ(boundAddresses(), row.bound);
        for (const char *dll : {"wsock32.dll", "ws2_32.dll"})
            EXPECT_EQ(moduleLoaded(run.child.pid, dll), !row.bound.empty()) << dll;
        EXPECT_EQ(exitTunerkey(&run), 0);
    }
    qxt::regDeleteValue(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServerAnyAddress");

    // Another program has the port: one box, and the remote works on.
    serverSettings(1);
    SOCKET other = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {AF_INET, htons(Port), {}, {}};
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(other, (sockaddr *)&a, sizeof a), 0);
    ASSERT_EQ(listen(other, 1), 0);
    ASSERT_TRUE(startTunerkey(&run));
    HWND box = qxt::waitForDialog("QX770 Remote Control");
    ASSERT_NE(box, (HWND)NULL);
    EXPECT_EQ(qxt::messageBoxText(box),
              "Port " + std::to_string(Port) +
                  " is in use by another program. The remote is not served to other "
                  "programs.");
    POINT start = {300, 300};
    SetCursorPos(start.x, start.y);
    ASSERT_TRUE(press(6, 4)); // the keys work while the box is up
    EXPECT_TRUE(qxt::waitUntil([&] { return cursor().x > start.x; }));
    qxt::pressButton(box, IDOK);
    EXPECT_TRUE(qxt::waitForGone(box));
    EXPECT_EQ(qxt::waitForDialog("QX770 Remote Control", 1000), (HWND)NULL) << "told twice";
    EXPECT_TRUE(stillRunning(run.child));
    closesocket(other);
}

TEST_F(RemoteServer, TheSettingCheckBoxSavesTheSwitchAndStartsOrStopsTheServer)
{
    // No port stored, or one no socket can have: the box names the default.
    qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServer", 0);
    for (long long port : {-1ll, 0ll, 65536ll}) {
        SCOPED_TRACE(port);
        if (port < 0)
            qxt::regDeleteValue(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServerPort");
        else
            qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServerPort", (DWORD)port);
        ASSERT_TRUE(startTunerkey(&run));
        PostMessageA(run.window, WM_COMMAND, IDM_SETTING, 0);
        HWND first = qxt::waitForDialog("QX770 Remote Control - Setting");
        ASSERT_NE(first, (HWND)NULL);
        EXPECT_EQ(qxt::controlText(first, IDC_SERVE_REMOTE),
                  "Serve the remote to other programs (WinLIRC, port 8765)");
        PostMessageA(first, WM_COMMAND, IDCANCEL, 0); // Escape: the dialog has no Cancel button
        ASSERT_TRUE(qxt::waitForGone(first));
        EXPECT_EQ(exitTunerkey(&run), 0);
    }

    serverSettings(0);
    ASSERT_TRUE(startTunerkey(&run));
    EXPECT_FALSE(listening());
    for (DWORD want : {1u, 0u}) {
        SCOPED_TRACE(want);
        PostMessageA(run.window, WM_COMMAND, IDM_SETTING, 0);
        HWND dlg = qxt::waitForDialog("QX770 Remote Control - Setting");
        ASSERT_NE(dlg, (HWND)NULL);
        EXPECT_EQ(qxt::controlText(dlg, IDC_SERVE_REMOTE),
                  "Serve the remote to other programs (WinLIRC, port " + std::to_string(Port) + ")");
        EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_SERVE_REMOTE), want ? BST_UNCHECKED : BST_CHECKED);
        PostMessageA(GetDlgItem(dlg, IDC_SERVE_REMOTE), BM_CLICK, 0, 0);
        qxt::pumpMessages(200);
        qxt::pressButton(dlg, IDOK);
        ASSERT_TRUE(qxt::waitForGone(dlg));
        DWORD stored = 99;
        EXPECT_TRUE(qxt::regGetDword(HKEY_CURRENT_USER, TK_USER_SETTINGS_KEY, "RemoteServer", &stored));
        EXPECT_EQ(stored, want);
        EXPECT_TRUE(qxt::waitUntil([&] { return listening() == (want == 1); }));
        // Winsock is in the process exactly while the server listens.
        EXPECT_EQ(moduleLoaded(run.child.pid, "wsock32.dll"), want == 1);
    }
}
