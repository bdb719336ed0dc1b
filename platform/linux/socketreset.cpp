#include "platform/socketreset.h"

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

namespace kelvo {

void resetConnectionsTo(quint16 port)
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const int last = int(qMin<rlim_t>(limit.rlim_cur, 65536));
    for (int socket = 0; socket < last; ++socket) {
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &size) != 0)
            continue;
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&peer);
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&peer);
        const bool match = (peer.ss_family == AF_INET && ntohs(v4->sin_port) == port) ||
                           (peer.ss_family == AF_INET6 && ntohs(v6->sin6_port) == port);
        int type = 0;
        socklen_t typeSize = sizeof type;
        if (!match || getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 ||
            type != SOCK_STREAM)
            continue;
        // Connecting a TCP socket to AF_UNSPEC drops its connection with a
        // reset and empties what it had received: the reader sees an error.
        sockaddr unspecified{};
        unspecified.sa_family = AF_UNSPEC;
        connect(socket, &unspecified, sizeof unspecified);
    }
}

} // namespace kelvo
