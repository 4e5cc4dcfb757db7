#include "starloom/model/starloom_model.h"

namespace starloom {

void StarloomModel::StartEmulation(const std::filesystem::path& seeingFile, float exposureSeconds) {
    sky_.BuildStarProfiles();
    sky_.photons().Restart(PhotonRandom::kEmulationSeed);
    sky_.random().EmptyGaussCache();
    sky_.LoadSeeingTable(seeingFile);
    mount_.ResetGuideState();
    SetPeriodicError(1, 0.0, kStartPeriodicError);

    frames_.SetExposureTime(exposureSeconds);
    mount_.SetAgSpeed(MountModel::kDefaultAgSpeed);
    mount_.SetCameraAngle(1.0f, 0.0f);
    SetPeriodicError(1, 0.0, kStartPeriodicError);
    mount_.SetResponseDelay(kStartResponseDelay);
    sky_.GenerateStarField(kStartSeed, SkyModel::kStarloomDensity);
}

}  // namespace starloom
