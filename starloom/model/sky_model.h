#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "starloom/model/photon_random.h"
#include "starloom/model/seeing_motion.h"
#include "starloom/model/seeing_table.h"
#include "starloom/model/sky_random.h"
#include "starloom/model/sky_star.h"
#include "starloom/model/star_profile.h"

namespace starloom {

// Colour temperature (K) of a star of this colour index (limited to -0.2 ... 1.6).
int32_t ColourTemperature(double colourIndex);

// The sky: its random sources, the star profiles, the star field and the seeing table.
// Stars point into the profiles, so the model stays where it was made.
class SkyModel {
public:
    static constexpr int kMaxStars = 5000;
    static constexpr float kStarloomDensity = 0.1f;

    SkyModel();
    SkyModel(const SkyModel&) = delete;
    SkyModel& operator=(const SkyModel&) = delete;

    void BuildStarProfiles() { starloom::BuildStarProfiles(profiles_); }
    const StarProfiles& profiles() const { return profiles_; }

    // Replaces the star field; a negative seed empties it. New stars integrate from the
    // current exposure's start.
    void GenerateStarField(int32_t seed, float density = kStarloomDensity);

    bool LoadSeeingTable(const std::filesystem::path& path,
                         float rate = SeeingTable::kDefaultRate) {
        return starloom::LoadSeeingTable(seeing_, path, rate);
    }
    const SeeingTable& seeing() const { return seeing_; }
    // Without a table from a file, the built-in image motion.
    void UseBuiltInSeeingWhenEmpty() {
        if (seeing_.count() == 0) MakeBuiltInSeeing(seeing_);
    }

    SkyRandom& random() { return random_; }
    PhotonRandom& photons() { return photons_; }

    int starCount() const { return starCount_; }
    std::span<SkyStar> stars() { return {slots_.data(), static_cast<std::size_t>(starCount_)}; }
    std::span<const SkyStar> stars() const {
        return {slots_.data(), static_cast<std::size_t>(starCount_)};
    }
    // Every slot, made or not: an exposure start resets them all, so that a later field
    // finds the exposure's start in the first one.
    std::span<SkyStar> slots() { return slots_; }

private:
    SkyRandom random_;
    PhotonRandom photons_{random_};
    StarProfiles profiles_{};
    std::vector<SkyStar> slots_;
    int starCount_ = 0;
    SeeingTable seeing_;
};

}  // namespace starloom
