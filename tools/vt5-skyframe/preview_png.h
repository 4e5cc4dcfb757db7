#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace skyframe {

// Writes the frame image as Starloom's view shows it (grey levels by brightness 0 to 3) into
// a PNG file of width x height pixels. Returns false and says why when it cannot.
bool WritePreviewPng(std::span<const uint16_t> frame, int width, int height, int brightness,
                     const std::filesystem::path& path, std::string& error);

}  // namespace skyframe
