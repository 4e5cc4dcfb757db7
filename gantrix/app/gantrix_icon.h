#pragma once

#include <QIcon>

// Gantrix's window icon: a guide star in a reticle, drawn at the sizes window managers ask for.
QIcon GantrixIcon();
