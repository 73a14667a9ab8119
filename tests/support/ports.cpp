// Sockets for tests: a free loopback port.
#include <winsock2.h>

#include "qxtest.h"

unsigned short qxt::freePort()
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
