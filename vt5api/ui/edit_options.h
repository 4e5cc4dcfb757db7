#pragma once

#include "vt5api/options/connection_options.h"

class QWidget;

// Shows the connection options dialog on a copy of options; when the user saves, the copy
// (already stored in the registry) replaces options. QDialog::Accepted or Rejected.
int EditOptions(VT5ConnectionOptions& options, QWidget* parent = nullptr);
