// Who made a connection on this machine: a cmd seat takes only its own program's.
#ifndef DRAVIX_MANAGER_SOCKET_OWNER_H
#define DRAVIX_MANAGER_SOCKET_OWNER_H

#include <optional>

namespace manager {

// Whether the local TCP connection from port `peer_port` to the manager's port `port` is held
// by process `pid` or one of its descendants. Nothing where the system does not tell (it does
// on Linux, through /proc): the caller then takes the first connection on trust.
std::optional<bool> connection_from(int pid, int peer_port, int port);

}  // namespace manager

#endif
