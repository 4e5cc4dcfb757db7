#pragma once

#include <string>

// A guiding log of a whole night: one frame per second for the given hours, in exposures of
// ten minutes with half a minute between them, with drift, pulses on the guide outputs and an
// occasional frame without star. Deterministic.
std::string NightLog(int hours);
