#pragma once

#include "panelcast/panel_drawing.h"

// The three button images from the program's resources; an image that cannot be read stays
// dark (all 0) and false is returned.
bool LoadButtonImages(ButtonImages& images);
