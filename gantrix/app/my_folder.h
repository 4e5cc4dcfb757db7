#pragma once

// "My folder", where Gantrix puts the files it downloads: the value "Veltra-5 folder" in the
// sub-key "Gantrix" of the settings key (HKEY_CURRENT_USER\SOFTWARE\NORVANE\Veltra-5).

#include <string>

#include "platform/registry/registry.h"

inline constexpr const char* kGantrixSettingsKey = "SOFTWARE\\NORVANE\\Veltra-5";

// The stored folder; empty when none is stored, it cannot be read or it is longer than
// 1023 characters.
std::string ReadMyFolder(const platform::registry::Key& settings);

// Stores the folder (REG_SZ with its terminator); the registry's result.
platform::registry::LSTATUS StoreMyFolder(const platform::registry::Key& settings,
                                          const std::string& folder);
