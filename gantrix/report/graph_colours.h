#pragma once

#include <cstdint>

#include "common/colour.h"

namespace report::colours {

using common::RgbInMemoryOrder;

constexpr uint32_t kBackground = RgbInMemoryOrder(16, 16, 16);
constexpr uint32_t kZeroLine = RgbInMemoryOrder(64, 64, 64);
constexpr uint32_t kNoStarColumn = RgbInMemoryOrder(80, 16, 16);
constexpr uint32_t kNotGuidedColumn = RgbInMemoryOrder(160, 64, 16);
constexpr uint32_t kRa = RgbInMemoryOrder(224, 224, 128);
constexpr uint32_t kDec = RgbInMemoryOrder(128, 128, 224);
constexpr uint32_t kSignalBar = RgbInMemoryOrder(240, 128, 128);
constexpr uint32_t kTrackingError = RgbInMemoryOrder(255, 255, 0);
constexpr uint32_t kFwhmStar = RgbInMemoryOrder(80, 208, 80);
constexpr uint32_t kFwhmNoStar = RgbInMemoryOrder(224, 80, 80);
constexpr uint32_t kLightCell = RgbInMemoryOrder(16, 48, 16);
constexpr uint32_t kSpreadPoint = RgbInMemoryOrder(240, 240, 240);

}  // namespace report::colours
