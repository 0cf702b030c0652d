// SPDX-License-Identifier: GPL-3.0-or-later
// The settings sk-gui keeps between runs: one table of every key with its
// type, default and meaning, and the typed reads and writes on the
// preference store that every part uses. Nothing is cached: each call goes
// to the store.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

enum class setting : uint8_t {
    plots_per_page,
    enable_scale,
    use_metric,
    draw_pond,
    window_width,
    window_height,
    gate_dir,
    swoop_dir,
    gate_file,
    color_overlays,
    video_dir,
    use_baro,
    use_wind,
};

enum class setting_type : uint8_t {
    boolean, // "true" or "false"; any other stored text reads as false
    integer, // decimal number, truncated toward zero
    text, // stored as it is (a path)
};

struct setting_entry {
    setting id;
    const char* key; // name in the preference store
    setting_type type;
    int32_t fallback; // default when absent: 0 or 1 for a boolean, the number for an integer;
                      // texts have none
    const char* meaning; // what it holds, and who reads and writes it
};

extern const std::array<setting_entry, 13> settings_table;

// The entry of a setting.
const setting_entry& setting_of(setting s);

// Typed reads that fall back to the table's default when the value is absent.
bool setting_bool(setting s);
int32_t setting_int(setting s);
std::optional<std::string> setting_text(setting s); // none when absent

// Writes; false when the store did not take the change. A null text deletes
// the value.
bool setting_set_bool(setting s, bool value);
bool setting_set_int(setting s, int32_t value);
bool setting_set_text(setting s, const char* text);

// The message shown when the window's size could not be stored.
constexpr const char* setting_store_failed = "failed to store preference";

// The reads and writes the table's typed operations are made of.

// True exactly when the stored text is "true"; the default when absent.
bool pref_get_bool(const char* key, bool fallback);

// The stored text as a decimal number (leading blanks skipped, reading stops
// where the number does) truncated toward zero; 0 for a text that is not a
// number or whose value no 32-bit integer holds ("1e20", "nan", "inf"); the
// default when absent.
int32_t pref_get_int(const char* key, int32_t fallback);

// Stores the value as "%d".
bool pref_set_int(const char* key, int32_t value);

// A stored window width or height, or 0 when none is stored or it lies
// outside 1 to 16384 pixels (GTK refuses a negative size, and no screen shows
// a larger one): 0 lets the monitor rule choose.
int32_t stored_window_size(setting s);
