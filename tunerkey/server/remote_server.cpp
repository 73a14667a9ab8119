// The server's sockets: one listening socket and up to eight clients, all
// non-blocking and driven by WSAAsyncSelect messages to the main window, so that
// nothing here ever waits. Winsock (wsock32.dll, which Windows 95, 98 and NT 4.0
// all have) is loaded only while the server listens.
#include "server/remote_server.h"

#include <winsock.h>

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
};
Winsock Ws = {};

template <typename F> bool resolve(F *call, const char *name)
{
    *call = (F)(void *)GetProcAddress(Ws.library, name);
    return *call != NULL;
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
    return true;
}

void unloadWinsock()
{
    if (Ws.library == NULL)
        return;
    Ws.cleanup();
    FreeLibrary(Ws.library);
    Ws = Winsock();
}

struct Client {
    SOCKET socket; // INVALID_SOCKET: a free slot
    char line[COMMAND_LINE_LIMIT + 1];
    int lineLength;
    char unsent[UNSENT_LIMIT];
    int unsentLength;
};
Client Clients[CLIENT_LIMIT];
SOCKET Listener = INVALID_SOCKET;
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
}

// Whatever waits goes first; what the socket does not take waits, up to the
// limit. A line is handed over whole when nothing waits before it.
void deliver(Client *c, const char *data, int length)
{
    if (c->unsentLength == 0) {
        int sent = Ws.send(c->socket, data, length, 0);
        if (sent == SOCKET_ERROR) {
            if (Ws.lastError() != WSAEWOULDBLOCK) {
                drop(c);
                return;
            }
            sent = 0;
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

void flush(Client *c)
{
    if (c->unsentLength == 0)
        return;
    int sent = Ws.send(c->socket, c->unsent, c->unsentLength, 0);
    if (sent == SOCKET_ERROR) {
        if (Ws.lastError() != WSAEWOULDBLOCK)
            drop(c);
        return;
    }
    memmove(c->unsent, c->unsent + sent, c->unsentLength - sent);
    c->unsentLength -= sent;
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

void readFrom(Client *c)
{
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

void acceptClient()
{
    SOCKET s = Ws.accept(Listener, NULL, NULL);
    if (s == INVALID_SOCKET)
        return;
    Client *slot = NULL;
    for (Client &c : Clients)
        if (c.socket == INVALID_SOCKET && slot == NULL)
            slot = &c;
    if (slot == NULL ||
        Ws.asyncSelect(s, Window, SERVER_SOCKET_MESSAGE, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        Ws.close(s); // the ninth: accepted and closed at once
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
}

void freeAllSlots()
{
    for (Client &c : Clients)
        c.socket = INVALID_SOCKET;
}

} // namespace

ServerStart startRemoteServer(HWND window, unsigned short port, bool anyAddress, int *error)
{
    *error = 0;
    if (Listener != INVALID_SOCKET)
        return SERVER_LISTENING;
    if (!loadWinsock())
        return SERVER_NO_WINSOCK;
    freeAllSlots();
    Window = window;
    Listener = Ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (Listener == INVALID_SOCKET) {
        *error = Ws.lastError();
        unloadWinsock();
        return SERVER_FAILED;
    }
    sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = Ws.hostToNetShort(port);
    address.sin_addr.s_addr = Ws.hostToNetLong(anyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    int result = SERVER_LISTENING;
    if (Ws.bind(Listener, (const sockaddr *)&address, sizeof address) != 0 || Ws.listen(Listener, 8) != 0 ||
        Ws.asyncSelect(Listener, window, SERVER_SOCKET_MESSAGE, FD_ACCEPT) != 0) {
        *error = Ws.lastError();
        result = *error == WSAEADDRINUSE ? SERVER_PORT_IN_USE : SERVER_FAILED;
        Ws.close(Listener);
        Listener = INVALID_SOCKET;
        unloadWinsock();
    }
    return (ServerStart)result;
}

void stopRemoteServer()
{
    if (Listener == INVALID_SOCKET)
        return;
    for (Client &c : Clients)
        if (c.socket != INVALID_SOCKET)
            drop(&c);
    Ws.asyncSelect(Listener, Window, 0, 0);
    Ws.close(Listener);
    Listener = INVALID_SOCKET;
    unloadWinsock();
}

bool remoteServerListening()
{
    return Listener != INVALID_SOCKET;
}

void onServerSocketMessage(WPARAM wParam, LPARAM lParam)
{
    if (Listener == INVALID_SOCKET)
        return;
    SOCKET s = (SOCKET)wParam;
    if (s == Listener) {
        if (WSAGETSELECTEVENT(lParam) == FD_ACCEPT)
            acceptClient();
        return;
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
    if (Listener == INVALID_SOCKET)
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
    if (Listener == INVALID_SOCKET)
        return 0;
    int count = 0;
    for (const Client &c : Clients)
        if (c.socket != INVALID_SOCKET)
            ++count;
    return count;
}
