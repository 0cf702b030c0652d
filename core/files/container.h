// SPDX-License-Identifier: GPL-3.0-or-later
// The binary track container (extension skm): a 26-byte file header, one
// 16-byte section table entry and one section, either a swoop track (the raw
// fields of its samples) or a gate (matrix, theta and pond). Every integer is
// big-endian; doubles and singles are stored as their IEEE 754 bit patterns.
#pragma once

#include <cstdint>
#include <vector>

#include "core/geometry/vec_types.h"
#include "core/track/gps_point.h"

// The course geometry a gate section stores.
struct gate_geometry {
    frame_matrix matrix {}; // ECEF-to-local transform
    double theta = 0; // radians, speed-carve rotation of the entry gate
    std::vector<vec3> pond; // local (x, y, z) metres, closed, ended by an all-zero point; empty = no pond
};

// Big-endian conversion for widths 1, 2, 4 and 8 bytes: the first byte is
// the most significant.
uint64_t be_decode(const uint8_t* bytes, unsigned width);
void be_encode(uint64_t value, unsigned width, uint8_t* bytes);

// Reads a swoop section into an empty track: exactly n zeroed samples with
// the raw fields filled (count = capacity = n). The track is untouched on
// failure; *err is untouched on success.
void swoop_container_read(const char* path, gps_track& track, const char** err);

// Writes a swoop container of the raw fields of count samples.
void swoop_container_write(const char* path, const gps_point* points, uint32_t count, const char** err);

// Reads a gate section: sets matrix, theta and pond (n points with z = 0,
// plus the all-zero terminator). gate is untouched on failure.
void gate_container_read(const char* path, gate_geometry& gate, const char** err);

// Writes a gate container; the pond points written are those before the
// first all-zero point (an empty pond writes none). theta in radians.
void gate_container_write(const char* path, const frame_matrix& matrix, double theta,
    const std::vector<vec3>& pond, const char** err);
