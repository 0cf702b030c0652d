// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's preference store: named text values, one store per
// user, read and written by several running copies of the program.
//
// On Windows the values are REG_SZ values of HKEY_CURRENT_USER\Software\Skimra.
// Elsewhere they live in a key file, <user config folder>/skimra/settings.ini,
// group [settings], one key per value; ordinary values appear there as they
// are, so a person can read and edit the file.
//
// Nothing is cached: every call goes to the store, so a value written by one
// process is seen by the next read of any other.
#pragma once

#include <optional>
#include <string>

// The stored text of a value, byte for byte (a stored empty text comes back
// empty). None when the value is absent, the store cannot be read, the value
// is not a valid stored text, or the name is not a usable value name.
std::optional<std::string> pref_get(const char* name);

// With a text: stores it under the name. With nullptr: deletes the value
// (false when there was none). Returns whether the store took the change.
bool pref_set(const char* name, const char* text);

// Points the store at another user config folder for the rest of the process
// (the key file goes to <folder>/skimra/settings.ini); nullptr goes back to
// the user's own. For tests and tools; call it before any other thread uses
// the store. Does nothing on Windows.
void pref_store_use_folder(const char* folder);

// Whether a write waits until the new file is on the disk before it replaces
// the old one (on by default). Only for measuring what that costs; does
// nothing on Windows.
void pref_store_set_sync(bool sync);
