// The remote served to other programs on the WinLIRC network protocol: every
// receiver read that yields a key goes to the connected clients as one line.
// Its own room below the keys: the key poll hands it each read and asks whether
// clients are connected; the shell starts and stops it and forwards its sockets'
// window message. It calls nothing of the program's other rooms.
#pragma once
#include <windows.h>

#include <stddef.h>

// ---- what clients see (pure) --------------------------------------------------------
// The remote's name on the protocol.
#define REMOTE_NAME "QX770"
// The remote's codes: 0 to 31 each have a button name.
const int REMOTE_CODE_COUNT = 32;
// The button name of a code, in the LIRC namespace; CODE_NN (its code in hex)
// for a code outside the remote's. Writes into `buffer` only for such a code.
const char *buttonName(int code, char *buffer, size_t size);
// The code of a button name, or -1 for a name no code has.
int buttonCode(const char *name);
// The repeat count a key line carries: the read's count up to ff, then 01 to ff
// again, never 00 after the first read.
int lineRepeatCount(int repeatCount);
// One key line, "%016x %02x NAME QX770\n"; its length, 0 when it does not fit.
int formatKeyLine(char *out, size_t size, int code, int repeatCount);
// The reply packet to one command line (without its newline); its length, 0 when
// it does not fit. VERSION, LIST, LIST QX770 and LIST QX770 NAME as lircd answers
// them; anything else an ERROR packet.
int answerCommand(const char *line, char *out, size_t size);
// What a client may send: a line of at most this many bytes, and no more than
// this much waiting unread at once.
const int COMMAND_LINE_LIMIT = 256;
const int UNREAD_LIMIT = 4096;
// Unsent data a client may let pile up before it is dropped.
const int UNSENT_LIMIT = 4096;
const int CLIENT_LIMIT = 8;
// The one line a client beyond the limit gets before it is closed.
#define SERVER_FULL_LINE "ERROR server full: 8 clients connected\n"

// ---- the server (remote_server.cpp) ----------------------------------------------------
// The message WSAAsyncSelect posts to the window that started the server.
const UINT SERVER_SOCKET_MESSAGE = WM_APP + 20;
const unsigned short DEFAULT_SERVER_PORT = 8765;

enum ServerStart {
    SERVER_LISTENING,
    SERVER_PORT_IN_USE,
    SERVER_NO_WINSOCK, // the Winsock library or one of its calls is missing
    SERVER_FAILED,     // any other socket error, in *error
};
struct ServerOptions {
    unsigned short port;
    bool anyAddress;   // every address, not only the loopback one
    bool keepsPointer; // the pointer keys still move the pointer while clients are connected
};
// Loads Winsock and listens on the port of the IPv4 loopback address and, where
// the system has IPv6, of [::1] too (every address with `anyAddress`); the
// sockets' events go to `window`. The result is the IPv4 socket's: IPv6 is
// served where it can be. Nothing stays open or loaded unless it listens.
// Listening already: SERVER_LISTENING at once.
ServerStart startRemoteServer(HWND window, const ServerOptions &options, int *error);
// Closes every socket and lets Winsock go.
void stopRemoteServer();
bool remoteServerListening();
// SERVER_SOCKET_MESSAGE: wParam the socket, lParam the event and its error.
void onServerSocketMessage(WPARAM wParam, LPARAM lParam);
// A receiver read that yields a key, with its repeat count within the press.
void serveRemoteKey(int code, int repeatCount);
// Clients connected now.
int remoteClientCount();
// The send every byte to a client goes through, Winsock's while the server
// listens. Winsock may take less than it is given; Wine's takes all a socket has
// room for, so a test puts its own here to see a short send.
extern int (*serverSendCall)(UINT_PTR socket, const char *data, int length);
// Whether the keys that move or click the pointer still do: no client is
// connected, or the server was told to keep the pointer.
bool pointerKeysReachPointer();
