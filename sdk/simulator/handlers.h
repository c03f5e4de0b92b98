#pragma once

// The operations that answer beyond a terminal's settings: searches, login
// and the operations that keep state of their own.

#include "simulator/behaviour.h"

namespace tesselsim::detail {

// Searches, login, log-out and password change (terminalaccess.cpp).
Replies searchBroadcast(FleetState& state, Request& request);
Replies searchAppointIp(FleetState& state, Request& request);
Replies searchRangeIp(FleetState& state, Request& request);
Replies login(FleetState& state, Request& request);
Replies logout(FleetState& state, Request& request);
Replies changePassword(FleetState& state, Request& request);

// Program editor (programs.cpp).
Replies createProgram(FleetState& state, Request& request);
Replies makeProgram(FleetState& state, Request& request);
Replies setPageProgram(FleetState& state, Request& request);
Replies setPagePrograms(FleetState& state, Request& request);
Replies setAudioProgram(FleetState& state, Request& request);
Replies getProgram(FleetState& state, Request& request);
Replies deleteProgram(FleetState& state, Request& request);
Replies addTemplate(FleetState& state, Request& request);
Replies editTemplate(FleetState& state, Request& request);
Replies deleteTemplate(FleetState& state, Request& request);
Replies setSystemTemplate(FleetState& state, Request& request);
Replies getCustomerTemplates(FleetState& state, Request& request);

// Time-server and node-server lists (serverlists.cpp).
Replies getTimeServers(FleetState& state, Request& request);
Replies addTimeServer(FleetState& state, Request& request);
Replies deleteTimeServer(FleetState& state, Request& request);
Replies updateTimeServer(FleetState& state, Request& request);
Replies getNodeServers(FleetState& state, Request& request);
Replies addNodeServer(FleetState& state, Request& request);
Replies deleteNodeServer(FleetState& state, Request& request);
Replies changeNodeServer(FleetState& state, Request& request);

// Cloud accounts and player binding (cloud.cpp).
Replies getVerifyCode(FleetState& state, Request& request);
Replies registerAccount(FleetState& state, Request& request);
Replies loginAccount(FleetState& state, Request& request);
Replies logOutAccount(FleetState& state, Request& request);
Replies getCloudPlayerList(FleetState& state, Request& request);
Replies setBindPlayer(FleetState& state, Request& request);
Replies getBindPlayer(FleetState& state, Request& request);
Replies rsaEncode(FleetState& state, Request& request);
Replies rsaDecode(FleetState& state, Request& request);

} // namespace tesselsim::detail
