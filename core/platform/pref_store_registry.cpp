// SPDX-License-Identifier: GPL-3.0-or-later
// Preference store in the Windows registry: one REG_SZ value per setting
// under HKEY_CURRENT_USER\Software\Skimra, the key created on the first write.
// A value is written with its terminating zero byte (stored size = length + 1);
// no other value type is read or written.
#include "core/platform/pref_store.h"

#ifdef _WIN32

#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include <windows.h>

namespace {

constexpr const char* store_key = "Software\\Skimra";

struct key_closer {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using key_ptr = std::unique_ptr<std::remove_pointer_t<HKEY>, key_closer>;

// Closes the key now and reports whether the registry accepted the close.
bool close_checked(key_ptr& key)
{
    HKEY k = key.release();
    return k && RegCloseKey(k) == ERROR_SUCCESS;
}

// A null or empty name would address the key's unnamed default value, which
// is not a setting.
bool usable_name(const char* name)
{
    return name && *name;
}

} // namespace

std::optional<std::string> pref_get(const char* name)
{
    if (!usable_name(name))
        return std::nullopt;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, store_key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    key_ptr key(opened); // closed on every early return

    DWORD type = 0;
    DWORD size = 0; // bytes, the terminating zero included when the writer stored one
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ
        || size == 0)
        return std::nullopt;

    // One byte more than the value holds and all zero: a value that another
    // program wrote without its terminating zero still ends in one.
    std::vector<char> data;
    try {
        data.resize(size_t(size) + 1);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    // The value may have changed since the first query: a longer one fails
    // with ERROR_MORE_DATA, another type is refused again.
    DWORD got = size;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got)
            != ERROR_SUCCESS
        || type != REG_SZ || got > size)
        return std::nullopt;
    if (!close_checked(key))
        return std::nullopt;
    return std::string(data.data(), strnlen(data.data(), got));
}

bool pref_set(const char* name, const char* text)
{
    if (!usable_name(name))
        return false;
    size_t length = text ? std::strlen(text) : 0;
    if (length >= MAXDWORD) // the stored size, zero included, must fit a DWORD
        return false;
    HKEY created = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, store_key, &created) != ERROR_SUCCESS)
        return false;
    key_ptr key(created);
    LSTATUS status = text ? RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                         static_cast<DWORD>(length + 1))
                          : RegDeleteValueA(key.get(), name);
    if (status != ERROR_SUCCESS)
        return false; // the key is closed by key_ptr
    return close_checked(key);
}

void pref_store_use_folder(const char*) { }

void pref_store_set_sync(bool) { }

#endif
