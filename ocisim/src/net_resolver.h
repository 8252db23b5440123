// Resolves what OCIServerAttach receives, as the client and a listener would: easy-connect
// text, connect descriptors and net service names from tnsnames.ora in the stand-in's home.
#pragma once

#include <string>
#include <string_view>

namespace ocisim {

struct ConnectTarget {
    std::string host;
    int port = 1521;
    std::string service;
};

// Throws ORA-12154 for a name tnsnames.ora does not define or text that is no identifier.
ConnectTarget resolve_connect_identifier(std::string_view dblink);
// Finds the service file behind a target: ORA-12545 unknown host, ORA-12541 no listener on
// the port, ORA-12514 no such service. Listeners are listed in listener.ora ("host port" per
// line); without that file one listener runs on localhost:1521.
std::string locate_service(const ConnectTarget& target);

}  // namespace ocisim
