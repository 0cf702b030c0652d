// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a gate or swoop file whatever its format: binary track container
// first, then the record dialect, then the field-name dialect. A file whose
// "$COL,GNSS," column line was read is record dialect: when its read fails,
// the record reader's message is the load's.
//
// Samples whose position or velocity is not a finite number ("nan", "inf" or
// "1e999" in a text file, such bit patterns in a container) cannot be placed
// on the course; both loaders leave them out, as if the logger had not
// written them. A text file without any other sample fails with "no GPS
// points found".
#pragma once

#include <cstdint>
#include <vector>

#include "core/files/container.h"
#include "core/geometry/vec_types.h"
#include "core/track/gps_point.h"

// What a gate file yields: a walk (text file) or a stored course geometry
// (container: matrix, theta and pond are set only then).
struct gate_data : gate_geometry {
    std::vector<gps_point> track; // gate walk samples; empty when the file was a container
    uint32_t track_len = 0; // number of samples in track
};

// The caller passes a default gate_data. On success either track is set (a
// text file, track.size() == track_len) or matrix, theta and pond are (a
// container).
void gate_track_load(const char* path, gate_data& out, const char** err);

// The caller passes an empty track; on success it holds the samples, with
// gps_points.size() == capacity == count.
void swoop_track_load(const char* path, gps_track& out, const char** err);
