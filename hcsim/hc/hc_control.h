#pragma once

#include <string>

#include "platform/clock/clock.h"
#include "platform/ftd2xx/vbus/device.h"

namespace hcsim {

class HcDevice;

// Text commands for an HC, from `vt5-hcsim control SERIAL COMMAND` or a test. Numbers are
// decimal or 0x-prefixed hexadecimal. The reply begins with "ok" when the command was carried
// out and with "error:" when not.
//   status                      state=<HcDevice::state()> esc=<high|low> reset=<high|low>
//                               faults=<pending> received=<commands kept>
//   power-off                   switch off (announced with 0x36 when running)
//   power-on firmware|boot      switch an HC that is off on, answering at once
//   mode firmware|boot          announce the mode change and restart into that mode
//   reset                       restart as the RESET line does
//   async CODE                  send FB CODE 00 05 00
//   fault KIND [VALUES] [N]     a fault for the next N answers (default 1), KIND one of:
//       answer-id ID | counter C | counter-f0 | type T | truncate BYTES | stall |
//       async CODE | bulk SIZE [fd|fe]
//   fault clear                 drop the pending faults
//   help                        this list
// and the commands of the HC's families (Family::control), listed by help.
std::string runControl(HcDevice& hc, const std::string& command, platform::TimePoint now,
                       platform::vbus::Bytes& out);

}  // namespace hcsim
