// The server's sockets: a listening socket on IPv4 and, where the system has
// IPv6, one on IPv6, and up to eight clients in all, every socket non-blocking
// and driven by WSAAsyncSelect messages to the main window, so that nothing here
// ever waits. Winsock (wsock32.dll, which Windows 95, 98 and NT 4.0 all have) is
// loaded only while the server listens.
// Winsock 2's headers before windows.h, which the room's header brings.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "server/remote_server.h"

#include <stdio.h>
#include <string.h>

namespace
{

// The Winsock 1.1 calls the server makes, resolved when it starts.
struct Winsock {
    HMODULE library;
    decltype(&::WSAStartup) startup;
    decltype(&::WSACleanup) cleanup;
    decltype(&::WSAGetLastError) lastError;
    decltype(&::WSAAsyncSelect) asyncSelect;
    decltype(&::socket) socket;
    decltype(&::bind) bind;
    decltype(&::listen) listen;
    decltype(&::accept) accept;
    decltype(&::closesocket) close;
    decltype(&::send) send;
    decltype(&::recv) recv;
    decltype(&::setsockopt) setOption;
    decltype(&::ioctlsocket) ioctl;
    decltype(&::htons) hostToNetShort;
    decltype(&::htonl) hostToNetLong;
    // IPv6: ws2_32.dll with getaddrinfo (Windows XP SP1 and later), or none.
    HMODULE ipv6Library;
    decltype(&::getaddrinfo) getAddress;
    decltype(&::freeaddrinfo) freeAddress;
    decltype(&::setsockopt) setOption6;
};
Winsock Ws = {};

template <typename F> bool resolveIn(HMODULE library, F *call, const char *name)
{
    *call = (F)(void *)GetProcAddress(library, name);
    return *call != NULL;
}

template <typename F> bool resolve(F *call, const char *name)
{
    return resolveIn(Ws.library, call, name);
}

// The IPv6 calls, where the system has them; the server is IPv4 only without.
void loadIpv6()
{
    Ws.ipv6Library = LoadLibraryA("ws2_32.dll");
    if (Ws.ipv6Library == NULL)
        return;
    if (!resolveIn(Ws.ipv6Library, &Ws.getAddress, "getaddrinfo") ||
        !resolveIn(Ws.ipv6Library, &Ws.freeAddress, "freeaddrinfo") ||
        !resolveIn(Ws.ipv6Library, &Ws.setOption6, "setsockopt")) {
        FreeLibrary(Ws.ipv6Library);
        Ws.ipv6Library = NULL;
    }
}

bool loadWinsock()
{
    Ws.library = LoadLibraryA("wsock32.dll");
    if (Ws.library == NULL)
        return false;
    bool all = resolve(&Ws.startup, "WSAStartup") && resolve(&Ws.cleanup, "WSACleanup") &&
               resolve(&Ws.lastError, "WSAGetLastError") && resolve(&Ws.asyncSelect, "WSAAsyncSelect") &&
               resolve(&Ws.socket, "socket") && resolve(&Ws.bind, "bind") && resolve(&Ws.listen, "listen") &&
               resolve(&Ws.accept, "accept") && resolve(&Ws.close, "closesocket") &&
               resolve(&Ws.send, "send") && resolve(&Ws.recv, "recv") &&
               resolve(&Ws.setOption, "setsockopt") && resolve(&Ws.ioctl, "ioctlsocket") &&
               resolve(&Ws.hostToNetShort, "htons") && resolve(&Ws.hostToNetLong, "htonl");
    WSADATA data;
    if (!all || Ws.startup(MAKEWORD(1, 1), &data) != 0) {
        FreeLibrary(Ws.library);
        Ws = Winsock();
        return false;
    }
    loadIpv6();
    return true;
}

void unloadWinsock()
{
    if (Ws.library == NULL)
        return;
    Ws.cleanup();
    if (Ws.ipv6Library != NULL)
        FreeLibrary(Ws.ipv6Library);
    FreeLibrary(Ws.library);
    Ws = Winsock();
}

struct Client {
    SOCKET socket; // INVALID_SOCKET: a free slot
    char line[COMMAND_LINE_LIMIT + 1];
    int lineLength;
    char unsent[UNSENT_LIMIT];
    int unsentLength;
    DWORD lastRead; // when it was last read, once readYet
    bool readYet;
    bool heldBack; // its next read waits for HeldBackTimer
};
Client Clients[CLIENT_LIMIT];
// IPv4 first; the IPv6 one stays INVALID_SOCKET where the system has no IPv6.
const int LISTENER_COUNT = 2;
SOCKET Listeners[LISTENER_COUNT] = {INVALID_SOCKET, INVALID_SOCKET};
bool KeepsPointer = false;
// A client is read once a period at most. FD_READ is a posted message, and
// posted messages go before WM_TIMER: a client that sends without a pause would
// otherwise keep the key poll from ever running. Winsock posts no FD_READ until
// the next recv, so a client held back is read again by a timer of its own.
const DWORD READ_PERIOD_MS = 65;
UINT_PTR HeldBackTimer = 0;
const int SEND_BUFFER_BYTES = 8192;
HWND Window = NULL;

Client *clientOf(SOCKET s)
{
    for (Client &c : Clients)
        if (c.socket != INVALID_SOCKET && c.socket == s)
            return &c;
    return NULL;
}

void drop(Client *c)
{
    // Events of a socket are cancelled before it closes, so that no message about
    // it arrives once its number can be a new socket's.
    Ws.asyncSelect(c->socket, Window, 0, 0);
    Ws.close(c->socket);
    c->socket = INVALID_SOCKET;
    c->heldBack = false;
}

int sendThroughWinsock(UINT_PTR s, const char *data, int length)
{
    return Ws.send((SOCKET)s, data, length, 0);
}

// Hands the socket what it takes of `data`, send after send, until all is
// taken or it would block; what it took, or -1 when the connection failed.
// Winsock posts FD_WRITE again only after a send that would block, not after
// a short one: stopping at a short send would leave the rest waiting for an
// FD_WRITE that never comes.
int sendAll(SOCKET s, const char *data, int length)
{
    int taken = 0;
    while (taken < length) {
        int sent = serverSendCall(s, data + taken, length - taken);
        if (sent == SOCKET_ERROR)
            return Ws.lastError() == WSAEWOULDBLOCK ? taken : -1;
        if (sent <= 0)
            break;
        taken += sent;
    }
    return taken;
}

// Sends what waits; false when that dropped the client.
bool flush(Client *c)
{
    if (c->unsentLength == 0)
        return true;
    int sent = sendAll(c->socket, c->unsent, c->unsentLength);
    if (sent < 0) {
        drop(c);
        return false;
    }
    memmove(c->unsent, c->unsent + sent, c->unsentLength - sent);
    c->unsentLength -= sent;
    return true;
}

// Whatever waits goes first; what the socket does not take waits, up to the
// limit.
void deliver(Client *c, const char *data, int length)
{
    if (!flush(c))
        return;
    if (c->unsentLength == 0) {
        int sent = sendAll(c->socket, data, length);
        if (sent < 0) {
            drop(c);
            return;
        }
        data += sent;
        length -= sent;
        if (length == 0)
            return;
    }
    if (c->unsentLength + length > UNSENT_LIMIT) {
        drop(c); // a client that stopped reading
        return;
    }
    memcpy(c->unsent + c->unsentLength, data, length);
    c->unsentLength += length;
}

void runCommand(Client *c)
{
    c->line[c->lineLength] = '\0';
    int length = c->lineLength;
    c->lineLength = 0;
    if (length > 0 && c->line[length - 1] == '\r')
        c->line[--length] = '\0';
    if (length == 0)
        return;
    char reply[2048];
    int n = answerCommand(c->line, reply, sizeof reply);
    if (n > 0)
        deliver(c, reply, n);
}

void CALLBACK readHeldBack(HWND, UINT, UINT_PTR, DWORD);

void readFrom(Client *c)
{
    DWORD now = GetTickCount();
    if (c->readYet && now - c->lastRead < READ_PERIOD_MS) {
        c->heldBack = true;
        if (HeldBackTimer == 0)
            HeldBackTimer = SetTimer(NULL, 0, READ_PERIOD_MS, readHeldBack);
        return;
    }
    c->readYet = true;
    c->lastRead = now;
    u_long waiting = 0;
    if (Ws.ioctl(c->socket, FIONREAD, &waiting) == 0 && waiting > (u_long)UNREAD_LIMIT) {
        drop(c); // a flood, not a client
        return;
    }
    char data[512];
    int n = Ws.recv(c->socket, data, sizeof data, 0);
    if (n == SOCKET_ERROR) {
        if (Ws.lastError() != WSAEWOULDBLOCK)
            drop(c);
        return;
    }
    if (n == 0) {
        drop(c);
        return;
    }
    for (int i = 0; i < n && c->socket != INVALID_SOCKET; ++i) {
        if (data[i] == '\n') {
            runCommand(c);
        } else if (c->lineLength == COMMAND_LINE_LIMIT) {
            drop(c); // no command is that long
        } else {
            c->line[c->lineLength++] = data[i];
        }
    }
}

void CALLBACK readHeldBack(HWND, UINT, UINT_PTR, DWORD)
{
    KillTimer(NULL, HeldBackTimer);
    HeldBackTimer = 0;
    for (Client &c : Clients) {
        if (c.socket != INVALID_SOCKET && c.heldBack) {
            c.heldBack = false;
            readFrom(&c);
        }
    }
}

void acceptClient(SOCKET listener)
{
    SOCKET s = Ws.accept(listener, NULL, NULL);
    if (s == INVALID_SOCKET)
        return;
    Client *slot = NULL;
    for (Client &c : Clients)
        if (c.socket == INVALID_SOCKET && slot == NULL)
            slot = &c;
    if (slot == NULL) {
        // The ninth is told why before it is closed. A fresh socket takes a line
        // this short whole.
        Ws.send(s, SERVER_FULL_LINE, (int)strlen(SERVER_FULL_LINE), 0);
        Ws.close(s);
        return;
    }
    if (Ws.asyncSelect(s, Window, SERVER_SOCKET_MESSAGE, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        Ws.close(s);
        return;
    }
    // Key lines are small and each one is news: no waiting to fill a segment.
    BOOL on = TRUE;
    Ws.setOption(s, IPPROTO_TCP, TCP_NODELAY, (const char *)&on, sizeof on);
    // A fixed send buffer, so that a client that stops reading is found out after
    // a few hundred lines, not after whatever the system would let pile up.
    int sendBuffer = SEND_BUFFER_BYTES;
    Ws.setOption(s, SOL_SOCKET, SO_SNDBUF, (const char *)&sendBuffer, sizeof sendBuffer);
    slot->socket = s;
    slot->lineLength = 0;
    slot->unsentLength = 0;
    slot->readYet = false;
    slot->heldBack = false;
}

void freeAllSlots()
{
    for (Client &c : Clients)
        c.socket = INVALID_SOCKET;
}

// Binds the socket and listens, its events to the window; false when a step failed.
bool listenOn(SOCKET s, const sockaddr *address, int size)
{
    return Ws.bind(s, address, size) == 0 && Ws.listen(s, 8) == 0 &&
           Ws.asyncSelect(s, Window, SERVER_SOCKET_MESSAGE, FD_ACCEPT) == 0;
}

// [::1], or [::] with `anyAddress`, on the same port: where the system has IPv6
// and the address is free; the server runs on IPv4 alone otherwise.
SOCKET listenOnIpv6(unsigned short port, bool anyAddress)
{
    if (Ws.ipv6Library == NULL)
        return INVALID_SOCKET;
    char service[8];
    snprintf(service, sizeof service, "%u", (unsigned)port);
    addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST;
    addrinfo *found = NULL;
    if (Ws.getAddress(anyAddress ? NULL : "::1", service, &hints, &found) != 0 || found == NULL)
        return INVALID_SOCKET;
    SOCKET s = Ws.socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        // IPv6 only, so that [::] leaves the IPv4 port to the IPv4 socket. The
        // default on Windows; Windows XP has no such option and fails the call.
        DWORD only = 1;
        Ws.setOption6(s, IPPROTO_IPV6, IPV6_V6ONLY, (const char *)&only, sizeof only);
        if (!listenOn(s, found->ai_addr, (int)found->ai_addrlen)) {
            Ws.close(s);
            s = INVALID_SOCKET;
        }
    }
    Ws.freeAddress(found);
    return s;
}

} // namespace

int (*serverSendCall)(UINT_PTR socket, const char *data, int length) = sendThroughWinsock;

ServerStart startRemoteServer(HWND window, const ServerOptions &options, int *error)
{
    *error = 0;
    if (Listeners[0] != INVALID_SOCKET)
        return SERVER_LISTENING;
    if (!loadWinsock())
        return SERVER_NO_WINSOCK;
    freeAllSlots();
    Window = window;
    KeepsPointer = options.keepsPointer;
    SOCKET s = Ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        *error = Ws.lastError();
        unloadWinsock();
        return SERVER_FAILED;
    }
    sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = Ws.hostToNetShort(options.port);
    address.sin_addr.s_addr = Ws.hostToNetLong(options.anyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    if (!listenOn(s, (const sockaddr *)&address, sizeof address)) {
        *error = Ws.lastError();
        Ws.close(s);
        unloadWinsock();
        return *error == WSAEADDRINUSE ? SERVER_PORT_IN_USE : SERVER_FAILED;
    }
    Listeners[0] = s;
    Listeners[1] = listenOnIpv6(options.port, options.anyAddress);
    return SERVER_LISTENING;
}

void stopRemoteServer()
{
    if (Listeners[0] == INVALID_SOCKET)
        return;
    for (Client &c : Clients)
        if (c.socket != INVALID_SOCKET)
            drop(&c);
    if (HeldBackTimer != 0)
        KillTimer(NULL, HeldBackTimer);
    HeldBackTimer = 0;
    for (SOCKET &l : Listeners) {
        if (l == INVALID_SOCKET)
            continue;
        Ws.asyncSelect(l, Window, 0, 0);
        Ws.close(l);
        l = INVALID_SOCKET;
    }
    unloadWinsock();
}

bool remoteServerListening()
{
    return Listeners[0] != INVALID_SOCKET;
}

void onServerSocketMessage(WPARAM wParam, LPARAM lParam)
{
    if (!remoteServerListening())
        return;
    SOCKET s = (SOCKET)wParam;
    for (SOCKET l : Listeners) {
        if (l != INVALID_SOCKET && s == l) {
            if (WSAGETSELECTEVENT(lParam) == FD_ACCEPT)
                acceptClient(l);
            return;
        }
    }
    Client *c = clientOf(s);
    if (c == NULL)
        return; // a message about a socket closed meanwhile
    if (WSAGETSELECTERROR(lParam) != 0) {
        drop(c);
        return;
    }
    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_READ:
        readFrom(c);
        break;
    case FD_WRITE:
        flush(c);
        break;
    case FD_CLOSE:
        drop(c);
        break;
    }
}

void serveRemoteKey(int code, int repeatCount)
{
    if (!remoteServerListening())
        return;
    char line[64];
    int n = formatKeyLine(line, sizeof line, code, repeatCount);
    if (n == 0)
        return;
    for (Client &c : Clients)
        if (c.socket != INVALID_SOCKET)
            deliver(&c, line, n);
}

int remoteClientCount()
{
    if (!remoteServerListening())
        return 0;
    int count = 0;
    for (const Client &c : Clients)
        if (c.socket != INVALID_SOCKET)
            ++count;
    return count;
}

bool pointerKeysReachPointer()
{
    return KeepsPointer || remoteClientCount() == 0;
}
