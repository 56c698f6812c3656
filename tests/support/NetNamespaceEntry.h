// Moves the calling thread into a fresh network namespace that holds only lo, up, with
// 255.255.255.255 routed to it: nothing sent from there can leave the machine. Other threads
// stay where they were; threads and processes the caller starts afterwards, and sockets it
// opens, belong to the new namespace. Needs CAP_SYS_ADMIN (root, or a process that is alone
// in a user namespace of its own).
#pragma once

#include <string>

namespace qvtest {

// False, with the reason, when no usable namespace could be made; the thread may then have
// entered a namespace that is unusable, so end it rather than use it for anything else.
bool EnterFreshNetNamespace(std::string &why);

}  // namespace qvtest
