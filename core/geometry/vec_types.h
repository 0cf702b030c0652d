// SPDX-License-Identifier: GPL-3.0-or-later
// Small value types shared by the whole core: 3-vectors, 2-D points,
// segments and the 4 x 4 frame matrix.
#pragma once

#include <array>

// Three doubles (x, y, z). Positions in metres, velocities in m/s; a geodetic
// point holds latitude (degrees), longitude (degrees), height (metres).
using vec3 = std::array<double, 3>;

// Two doubles (x, y).
using vec2 = std::array<double, 2>;

// A segment: start point, then end point (x1, y1, x2, y2).
using segment = std::array<double, 4>;

// Frame matrix, row-major: rows 0 to 2 are the local x, y and z axes in
// ECEF (columns 0 to 2) with the translation in column 3; row 3 is
// (0, 0, 0, 1). It maps ECEF to the local course frame.
using frame_matrix = std::array<std::array<double, 4>, 4>;

// The identity frame: every element 0 except the diagonal.
constexpr frame_matrix frame_identity()
{
    return { { { 1, 0, 0, 0 }, { 0, 1, 0, 0 }, { 0, 0, 1, 0 }, { 0, 0, 0, 1 } } };
}
