// The server's sends in-process: what a short send leaves goes out with the next
// sends, nothing waits for an FD_WRITE that Winsock never posts after a short
// send, and a held key's repeat count keeps its two digits.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "qxtest.h"
#include "server/remote_server.h"

namespace
{

LRESULT CALLBACK serverWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == SERVER_SOCKET_MESSAGE) {
        onServerSocketMessage(wp, lp);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

// Takes at most a few bytes a call, as Winsock may.
int shortSend(UINT_PTR s, const char *data, int length)
{
    return send((SOCKET)s, data, length < 7 ? length : 7, 0);
}

} // namespace

TEST(ServerSends, AShortSendLosesNothingAndTheCountStaysTwoDigits)
{
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = serverWindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "QxServerSends";
    RegisterClassA(&wc);
    HWND window =
        CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    ASSERT_NE(window, (HWND)NULL);

    // A port no other program has.
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof a;
    bind(probe, (sockaddr *)&a, sizeof a);
    getsockname(probe, (sockaddr *)&a, &size);
    closesocket(probe);
    int error = 0;
    ASSERT_EQ(startRemoteServer(window, {ntohs(a.sin_port), false, false}, &error), SERVER_LISTENING);

    SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(connect(client, (sockaddr *)&a, sizeof a), 0);
    ASSERT_TRUE(qxt::waitUntil([] { return remoteClientCount() == 1; }));
    u_long nonBlocking = 1;
    ioctlsocket(client, FIONBIO, &nonBlocking);

    int (*winsockSend)(UINT_PTR, const char *, int) = serverSendCall;
    serverSendCall = shortSend;
    // The reply to a command, then the reads of a held key 26 about its 256th
    // read and its 511th: after ff the count goes on at 01, never at 00.
    std::string got, want = "BEGIN\nVERSION\nSUCCESS\nDATA\n1\n1.0.0\nEND\n";
    auto receiveAll = [&] {
        qxt::waitUntil([&] {
            char buf[512];
            int n = recv(client, buf, sizeof buf, 0);
            if (n > 0)
                got.append(buf, n);
            return got.size() >= want.size();
        });
    };
    ASSERT_EQ(send(client, "VERSION\n", 8, 0), 8);
    receiveAll();
    const struct {
        int count;
        const char *shown;
    } reads[] = {{0, "00"},     {1, "01"},     {0xff, "ff"}, {0x100, "01"},
                 {0x101, "02"}, {0x1fe, "ff"}, {0x1ff, "01"}};
    for (const auto &r : reads) {
        serveRemoteKey(26, r.count);
        want += std::string("000000000000001a ") + r.shown + " KEY_UP QX770\n";
    }
    receiveAll();
    EXPECT_EQ(got, want);
    EXPECT_EQ(remoteClientCount(), 1);

    serverSendCall = winsockSend;
    closesocket(client);
    stopRemoteServer();
    DestroyWindow(window);
    WSACleanup();
}
