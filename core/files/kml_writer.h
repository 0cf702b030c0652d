// SPDX-License-Identifier: GPL-3.0-or-later
// KML 2.2 export of a flight path, with an optional entry-gate line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/geometry/vec_types.h"
#include "core/track/gps_point.h"

// Writes count samples starting at first (the first sample must exist even
// when count is 0: its time names the track). markers, when given, are the two
// geodetic ends of the entry gate (lat deg, lon deg, height m).
void kml_write(
    const char* path, const gps_point* first, uint32_t count, const vec3* markers, const char** err);

// The track name: the time's whole seconds broken down as local time, "%b%d %H:%M"
// with English month abbreviations whatever the locale (e.g. "Jul14 16:02").
void kml_track_name(int64_t time_ms, char* out, size_t size);
