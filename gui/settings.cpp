// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/settings.h"

#include <glib.h>

#include <cmath>
#include <cstdio>

#include "core/platform/pref_store.h"

const std::array<setting_entry, 13> settings_table { {
    { setting::plots_per_page, "plots_per_page", setting_type::integer, 1,
        "plots per page, 1, 4 or 9: the View menu's layout items read it at window build and write it" },
    { setting::enable_scale, "enable_scale", setting_type::boolean, 0,
        "the time scale and player: read at window build, written by View > Time scale" },
    { setting::use_metric, "use_metric", setting_type::boolean, 0,
        "metres and km/h instead of feet and mph: read at window build, written by \"metric units\"" },
    { setting::draw_pond, "draw_pond", setting_type::boolean, 1,
        "the gate's pond on the overhead view: read at window build, written by \"draw pond\"" },
    { setting::window_width, "window_width", setting_type::integer, 0,
        "window width in pixels (0 = none): read when the window is made, written when it closes" },
    { setting::window_height, "window_height", setting_type::integer, 0,
        "window height in pixels (0 = none): read when the window is made, written when it closes" },
    { setting::gate_dir, "gate_dir", setting_type::text, 0,
        "the folder of the last gate file chosen: the gate chooser starts there" },
    { setting::swoop_dir, "swoop_dir", setting_type::text, 0,
        "the folder of the last swoop file chosen: the swoop chooser starts there" },
    { setting::gate_file, "gate_file", setting_type::text, 0,
        "the open gate, reopened at window build: written when a chosen gate opens, deleted when it is "
        "closed or fails to reopen" },
    { setting::color_overlays, "color_overlays", setting_type::boolean, 0,
        "each compared swoop in its own colour instead of grey: read at window build, written by \"colour "
        "compared swoops\"" },
    { setting::video_dir, "video_dir", setting_type::text, 0,
        "the folder of the last video file chosen: the video chooser starts there" },
    { setting::use_baro, "use_baro", setting_type::boolean, 0,
        "heights from the sensor file beside each swoop: read at window build, written by \"barometric "
        "heights\"" },
    { setting::use_wind, "use_wind", setting_type::boolean, 0,
        "the wind and airspeeds in the report and the plots: read at window build, written by \"wind\"" },
} };

const setting_entry& setting_of(setting s)
{
    return settings_table[static_cast<size_t>(s)];
}

bool setting_bool(setting s)
{
    return pref_get_bool(setting_of(s).key, setting_of(s).fallback != 0);
}

int32_t setting_int(setting s)
{
    return pref_get_int(setting_of(s).key, setting_of(s).fallback);
}

std::optional<std::string> setting_text(setting s)
{
    return pref_get(setting_of(s).key);
}

bool setting_set_bool(setting s, bool value)
{
    return pref_set(setting_of(s).key, value ? "true" : "false");
}

bool setting_set_int(setting s, int32_t value)
{
    return pref_set_int(setting_of(s).key, value);
}

bool setting_set_text(setting s, const char* text)
{
    return pref_set(setting_of(s).key, text);
}

bool pref_get_bool(const char* key, bool fallback)
{
    std::optional<std::string> text = pref_get(key);
    return text ? *text == "true" : fallback;
}

int32_t pref_get_int(const char* key, int32_t fallback)
{
    std::optional<std::string> text = pref_get(key);
    if (!text)
        return fallback;
    // A decimal number with a point whatever the locale; what no 32-bit
    // integer holds reads as a text that is not a number.
    const double value = g_ascii_strtod(text->c_str(), nullptr);
    if (!std::isfinite(value) || value <= double(INT32_MIN) - 1 || value >= double(INT32_MAX) + 1)
        return 0;
    return int32_t(value);
}

bool pref_set_int(const char* key, int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return pref_set(key, text);
}

int32_t stored_window_size(setting s)
{
    const int32_t size = setting_int(s);
    return size >= 1 && size <= 16384 ? size : 0;
}
