#include "starloom/model/photon_random.h"

namespace starloom {

void PhotonRandom::Reseed() {
    const auto first = static_cast<uint32_t>(uniform_.rand());
    const auto second = static_cast<uint32_t>(uniform_.rand());
    state_ = ((second << 15) + first) | 1u;
    steps_ = 0;
}

}  // namespace starloom
