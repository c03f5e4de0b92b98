#include "simulator/behaviourstate.h"

namespace tesselsim::detail {

BehaviourState::BehaviourState()
    : systemTemplate{{"width", 1920}, {"height", 1080}, {"left", 0}, {"top", 0}, {"zindex", 0}}
      // Made-up addresses; the simulator never sends anything.
      ,
      timeServers{{"默认", "ntp1.example.com"}, {"备用", "ntp2.example.com"}},
      nodeServers{{"China", "node-cn.example.com"}, {"Global", "node-global.example.com"}},
      accounts{{"demo_user01", CloudAccount{"Demo@123456"}}}
{}

} // namespace tesselsim::detail
