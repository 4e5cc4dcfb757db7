#pragma once

#include <QIcon>

// Flashwell's window icon: a chip with a downward arrow, drawn at the sizes window managers ask
// for.
QIcon FlashwellIcon();
