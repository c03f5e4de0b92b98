// The time-server and node-server lists of the SDK: the same list behaviour
// for both, each on its own list.
#include "simulator/handlers.h"

#include <algorithm>

namespace tesselsim::detail {
namespace {

struct ListKind
{
    std::vector<Server> BehaviourState::*servers;
    const char* what; // for the texts
};

constexpr ListKind timeServers{&BehaviourState::timeServers, "time server"};
constexpr ListKind nodeServers{&BehaviourState::nodeServers, "node server"};

Server readServer(const Json& object)
{
    Server server{textMember(object, "label"), textMember(object, "node")};
    if (server.node.empty())
        refuse(InvalidMember, "member \"node\" must name a server, not be empty");
    return server;
}

std::string describe(const ListKind& kind, const Server& server)
{
    return std::string(kind.what) + " " + quoted(server.label) + " at " + quoted(server.node);
}

Replies listReply(FleetState& state, const ListKind& kind)
{
    Json servers = Json::array();
    for (const Server& server : state.behaviour.*kind.servers)
        servers.push_back(Json{{"label", server.label}, {"node", server.node}});
    return success(Json{{"servers", servers}});
}

std::vector<Server>::iterator findServer(std::vector<Server>& list, const Server& wanted)
{
    return std::find_if(list.begin(), list.end(), [&](const Server& server) {
        return server.label == wanted.label && server.node == wanted.node;
    });
}

void requireNewNode(const std::vector<Server>& list, const ListKind& kind, const std::string& node)
{
    for (const Server& server : list)
        if (server.node == node)
            refuse(AlreadyExists, std::string(kind.what) + " at " + quoted(node) + " is already listed");
}

Replies add(FleetState& state, Request& request, const ListKind& kind)
{
    std::vector<Server>& list = state.behaviour.*kind.servers;
    Server server = readServer(request.body);
    requireNewNode(list, kind, server.node);
    list.push_back(std::move(server));
    return listReply(state, kind);
}

Replies remove(FleetState& state, Request& request, const ListKind& kind)
{
    std::vector<Server>& list = state.behaviour.*kind.servers;
    const Server server = readServer(request.body);
    const auto it = findServer(list, server);
    if (it == list.end())
        refuse(NotFound, "no " + describe(kind, server) + " is listed");
    list.erase(it);
    return listReply(state, kind);
}

Replies replace(FleetState& state, Request& request, const ListKind& kind)
{
    std::vector<Server>& list = state.behaviour.*kind.servers;
    const Server oldServer = readServer(objectMember(request.body, "oldServer"));
    Server newServer = readServer(objectMember(request.body, "newServer"));
    const auto it = findServer(list, oldServer);
    if (it == list.end())
        refuse(NotFound, "no " + describe(kind, oldServer) + " is listed");
    if (newServer.node != oldServer.node)
        requireNewNode(list, kind, newServer.node);
    *it = std::move(newServer);
    return listReply(state, kind);
}

} // namespace

Replies getTimeServers(FleetState& state, Request&)
{
    return listReply(state, timeServers);
}
Replies addTimeServer(FleetState& state, Request& request)
{
    return add(state, request, timeServers);
}
Replies deleteTimeServer(FleetState& state, Request& request)
{
    return remove(state, request, timeServers);
}
Replies updateTimeServer(FleetState& state, Request& request)
{
    return replace(state, request, timeServers);
}
Replies getNodeServers(FleetState& state, Request&)
{
    return listReply(state, nodeServers);
}
Replies addNodeServer(FleetState& state, Request& request)
{
    return add(state, request, nodeServers);
}
Replies deleteNodeServer(FleetState& state, Request& request)
{
    return remove(state, request, nodeServers);
}
Replies changeNodeServer(FleetState& state, Request& request)
{
    return replace(state, request, nodeServers);
}

} // namespace tesselsim::detail
