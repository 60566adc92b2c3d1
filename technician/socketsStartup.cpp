#include "technician/socketsStartup.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

bool socketsStartup()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0)
        return false;
    ::close(probe);
    return true;
}
