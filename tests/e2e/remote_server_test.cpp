// tunerkey as a WinLIRC-protocol server: the remote's reads reach other programs
// as lines on a TCP socket. Proven against LIRC's own tools (lircd relaying the
// server, irw printing what it relays) and against clients of our own for the
// load and the faults: eight at once, one that never reads, one that resets, a
// line too long, a ninth. Also the mouse exception and the off switch.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <string>
#include <vector>

#include "program_run.h"
#include "resources/resource.h"
#include "shell/shell.h"

using namespace e2e;

namespace
{

// A port no other program has, taken for each test: runs of this test in other
// prefixes share the machine's ports.
unsigned short Port = 0;

unsigned short freePort()
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof a;
    bind(s, (sockaddr *)&a, sizeof a);
    getsockname(s, (sockaddr *)&a, &size);
    closesocket(s);
    return ntohs(a.sin_port);
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
    // fills up soon).
    bool open(bool smallBuffer = false)
    {
        s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (smallBuffer) {
            int size = 1024;
            setsockopt(s, SOL_SOCKET, SO_RCVBUF, (const char *)&size, sizeof size);
        }
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_port = htons(Port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(s, (sockaddr *)&a, sizeof a) != 0)
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
    std::vector<std::string> lines()
    {
        std::vector<std::string> out;
        size_t from = 0, nl;
        while ((nl = data.find('\n', from)) != std::string::npos) {
            out.push_back(data.substr(from, nl - from));
            from = nl + 1;
        }
        return out;
    }
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

std::vector<std::string> heldLines(int code, int reads, const char *name)
{
    std::vector<std::string> out;
    for (int i = 0; i < reads; ++i)
        out.push_back(keyLine(code, i, name));
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

class RemoteServer : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_NE(card(), INVALID_HANDLE_VALUE) << "no simulated card";
        resetCard();
        closeAll();
        Port = freePort();
        serverSettings(1);
    }
    void TearDown() override
    {
        if (run.child.process != NULL) {
            EXPECT_EQ(exitTunerkey(&run), 0);
        }
        qxt::regDeleteValue(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServer");
    }
    Tunerkey run;
};

// ---- LIRC's own tools ---------------------------------------------------------------
// lircd and irw are Linux programs: Wine starts them through /bin/sh, with no
// process handle, so they keep their process ids in files of their folder.
struct Lirc {
    std::string unixDir, winDir;
    bool start()
    {
        unixDir = "/tmp/qx-lirc-" + std::to_string(GetCurrentProcessId());
        winDir = "Z:" + unixDir;
        for (char &c : winDir)
            if (c == '/')
                c = '\\';
        std::string script = "rm -rf " + unixDir + "; mkdir -p " + unixDir + "; cd " + unixDir +
                             "; : > empty.conf; timeout 120 lircd -n -O /dev/null -H file -d /dev/null -o " +
                             unixDir + "/lircd.sock -P " + unixDir +
                             "/lircd.pid -c 127.0.0.1:" + std::to_string(Port) +
                             " empty.conf > lircd.log 2>&1 & "
                             "for i in $(seq 100); do [ -S lircd.sock ] && break; sleep 0.1; done; "
                             "timeout 120 irw " +
                             unixDir + "/lircd.sock > irw.out 2>&1 & echo $! > irw.pid; touch ready";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string cmd = "Z:\\bin\\sh -c \"" + script + "\"";
        std::vector<char> line(cmd.begin(), cmd.end());
        line.push_back('\0');
        if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
            return false;
        if (pi.hProcess != NULL)
            CloseHandle(pi.hProcess);
        if (pi.hThread != NULL)
            CloseHandle(pi.hThread);
        return qxt::waitUntil([&] { return qxt::fileExists(winDir + "\\ready"); }, 15000);
    }
    std::vector<std::string> lines()
    {
        std::string text;
        qxt::readFile(winDir + "\\irw.out", &text);
        std::vector<std::string> out;
        size_t from = 0, nl;
        while ((nl = text.find('\n', from)) != std::string::npos) {
            out.push_back(text.substr(from, nl - from));
            from = nl + 1;
        }
        return out;
    }
    void stop()
    {
        std::string cmd = "Z:\\bin\\sh -c \"cd " + unixDir +
                          " && kill $(cat irw.pid) $(cat lircd.pid); cd / && rm -rf " + unixDir + "\"";
        std::vector<char> line(cmd.begin(), cmd.end());
        line.push_back('\0');
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
    }
};

} // namespace

TEST_F(RemoteServer, APressAndAHeldKeyReachIrwThroughLircd)
{
    ASSERT_TRUE(startTunerkey(&run));
    Lirc lirc;
    ASSERT_TRUE(lirc.start()) << "lircd and irw did not start";
    // lircd connects to the server on its own time: a key with no other use
    // (20, nothing for the pointer) until its line comes through.
    ASSERT_TRUE(qxt::waitUntil(
        [&] {
            press(20);
            qxt::pumpMessages(300);
            return !lirc.lines().empty();
        },
        15000))
        << "nothing relayed";
    qxt::pumpMessages(400); // the probe's press is over
    size_t from = lirc.lines().size();

    ASSERT_TRUE(press(5));
    ASSERT_TRUE(qxt::waitUntil([&] { return lirc.lines().size() >= from + 1; }));
    qxt::pumpMessages(400);
    ASSERT_TRUE(press(6, 12)); // held for twelve reads
    ASSERT_TRUE(qxt::waitUntil([&] { return lirc.lines().size() >= from + 13; }));
    qxt::pumpMessages(300);
    std::vector<std::string> got = lirc.lines();
    lirc.stop();

    got.erase(got.begin(), got.begin() + from);
    std::vector<std::string> want = {keyLine(5, 0, "KEY_5")};
    for (const std::string &l : heldLines(6, 12, "KEY_6"))
        want.push_back(l);
    EXPECT_EQ(got, want);
}

TEST_F(RemoteServer, EightClientsGetEveryLineWhateverTheOthersDo)
{
    ASSERT_TRUE(startTunerkey(&run));
    Client readers[7];
    for (Client &c : readers)
        ASSERT_TRUE(c.open() && c.ready());

    // Each row: one more client doing something wrong, then a held key; every
    // reader still gets every line of it, and the keys still act.
    struct Row {
        const char *what;
        void (*misbehave)(Client *bad);
        bool dropped; // the server closes the bad client
    };
    const Row rows[] = {
        {"an eighth that reads", [](Client *) {}, false},
        {"one that never reads",
         [](Client *bad) {
             // Asks for the button list again and again and never reads the
             // answers: what it lets pile up passes the bound.
             for (int batch = 0; batch < 40; ++batch) {
                 std::string many;
                 for (int i = 0; i < 20; ++i)
                     many += "LIST QX770\n";
                 bad->say(many);
                 qxt::pumpMessages(20);
             }
         },
         true},
        {"one that resets",
         [](Client *bad) {
             linger l = {1, 0}; // closesocket sends a reset
             setsockopt(bad->s, SOL_SOCKET, SO_LINGER, (const char *)&l, sizeof l);
             bad->close();
         },
         false},
        {"a 300-byte line", [](Client *bad) { bad->say(std::string(300, 'A') + "\n"); }, true},
        // Empty lines, which get no answer: only what waits unread counts.
        {"4 KB unread at once", [](Client *bad) { bad->say(std::string(4200, '\n')); }, true},
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
            EXPECT_EQ(c.lines(), heldLines(code, 10, ("KEY_" + std::to_string(code)).c_str()));
        }
        if (row.dropped) {
            EXPECT_TRUE(bad.waitForClose());
        } else if (bad.s != INVALID_SOCKET) {
            EXPECT_TRUE(bad.waitForLines(10));
            EXPECT_FALSE(bad.closed);
        }
        qxt::pumpMessages(300);
        ++code;
    }

    // A ninth beside eight: told in one line and closed; the eight go on.
    Client eighth, ninth;
    ASSERT_TRUE(eighth.open() && eighth.ready());
    ASSERT_TRUE(ninth.open());
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

TEST_F(RemoteServer, AnswersVersionListAndAnErrorAsLircdDoes)
{
    ASSERT_TRUE(startTunerkey(&run));
    Client c;
    ASSERT_TRUE(c.open());
    struct Case {
        const char *command;
        std::vector<std::string> reply;
    };
    const Case cases[] = {
        {"VERSION", {"BEGIN", "VERSION", "SUCCESS", "DATA", "1", "1.0.0", "END"}},
        {"LIST", {"BEGIN", "LIST", "SUCCESS", "DATA", "1", "QX770", "END"}},
        {"LIST QX770 KEY_POWER",
         {"BEGIN", "LIST QX770 KEY_POWER", "SUCCESS", "DATA", "1", "0000000000000012 KEY_POWER", "END"}},
        {"LIST OTHER", {"BEGIN", "LIST OTHER", "ERROR", "DATA", "1", "unknown remote: \"OTHER\"", "END"}},
        {"SEND_ONCE QX770 KEY_1",
         {"BEGIN", "SEND_ONCE QX770 KEY_1", "ERROR", "DATA", "1", "unknown directive: \"SEND_ONCE\"", "END"}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.command);
        c.data.clear();
        ASSERT_TRUE(c.say(std::string(k.command) + "\r\n"));
        EXPECT_TRUE(c.waitForLines(k.reply.size()));
        EXPECT_EQ(c.lines(), k.reply);
    }
    // The whole button list: the digits by name, the others by what they do.
    c.data.clear();
    ASSERT_TRUE(c.say("LIST QX770\n"));
    ASSERT_TRUE(c.waitForLines(5 + 32 + 1));
    std::vector<std::string> lines = c.lines();
    EXPECT_EQ(lines[4], "32");
    EXPECT_EQ(lines[5], "0000000000000000 KEY_KPASTERISK");
    EXPECT_EQ(lines[5 + 10], "000000000000000a KEY_0");
    EXPECT_EQ(lines[5 + 18], "0000000000000012 KEY_POWER");
    EXPECT_EQ(lines.back(), "END");
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
}

TEST_F(RemoteServer, OffUnlessTheSwitchIsOneAndAPortInUseIsToldOnce)
{
    // Missing or any number but 1: no socket, no Winsock in the process.
    for (int setting : {-1, 0, 2}) {
        SCOPED_TRACE(setting);
        if (setting < 0)
            qxt::regDeleteValue(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServer");
        else
            serverSettings((DWORD)setting);
        ASSERT_TRUE(startTunerkey(&run));
        EXPECT_FALSE(listening());
        EXPECT_FALSE(moduleLoaded(run.child.pid, "wsock32.dll"));
        EXPECT_FALSE(moduleLoaded(run.child.pid, "ws2_32.dll"));
        EXPECT_EQ(exitTunerkey(&run), 0);
    }

    // Another program has the port: one box, and the remote works on.
    serverSettings(1);
    SOCKET other = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(Port);
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
    // No port stored: the box names the default.
    qxt::regDeleteValue(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServerPort");
    qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServer", 0);
    ASSERT_TRUE(startTunerkey(&run));
    PostMessageA(run.window, WM_COMMAND, IDM_SETTING, 0);
    HWND first = qxt::waitForDialog("QX770 Remote Control - Setting");
    ASSERT_NE(first, (HWND)NULL);
    EXPECT_EQ(qxt::controlText(first, IDC_SERVE_REMOTE),
              "Serve the remote to other programs (WinLIRC, port 8765)");
    PostMessageA(first, WM_COMMAND, IDCANCEL, 0); // Escape: the dialog has no Cancel button
    ASSERT_TRUE(qxt::waitForGone(first));
    EXPECT_EQ(exitTunerkey(&run), 0);

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
        EXPECT_TRUE(qxt::regGetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "RemoteServer", &stored));
        EXPECT_EQ(stored, want);
        EXPECT_TRUE(qxt::waitUntil([&] { return listening() == (want == 1); }));
        // Winsock is in the process exactly while the server listens.
        EXPECT_EQ(moduleLoaded(run.child.pid, "wsock32.dll"), want == 1);
    }
}
