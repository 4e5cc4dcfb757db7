#pragma once

#include "tools/vt5-doctor/chip_check.h"

namespace doctor {

// Opens the HC behind the chip as the suite's programs do (libftdi1 backend) and notes whether
// it answers the handshake, in which mode and with which protocol version.
void CheckHandshake(ChipCheck& chip);

}  // namespace doctor
