#pragma once

// "My folder", where Gantrix puts the files it downloads: the value "Veltra-5 folder" in the
// sub-key "Gantrix" of the settings key (HKEY_CURRENT_USER\SOFTWARE\NORVANE\Veltra-5). Until
// the user chooses one, it is Veltra-5 in the user's documents folder.

#include <string>

#include "platform/registry/registry.h"

inline constexpr const char* kGantrixSettingsKey = "SOFTWARE\\NORVANE\\Veltra-5";

// The stored folder; empty when none is stored, it cannot be read or it is longer than
// 1023 characters.
std::string ReadMyFolder(const platform::registry::Key& settings);

// Stores the folder (REG_SZ with its terminator); the registry's result.
platform::registry::LSTATUS StoreMyFolder(const platform::registry::Key& settings,
                                          const std::string& folder);

// Veltra-5 in the user's documents folder (XDG_DOCUMENTS_DIR, else ~/Documents).
std::string DefaultMyFolder();

// The folder downloads and reports go to: the stored one, else the default.
std::string MyFolderInUse(const platform::registry::Key& settings);

// MyFolderInUse, with the default folder created when it is missing, for a picker to start in.
// A stored folder is left as it is: a download creates it when it needs it.
std::string PreparedMyFolder(const platform::registry::Key& settings);
