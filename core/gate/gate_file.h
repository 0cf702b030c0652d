// SPDX-License-Identifier: GPL-3.0-or-later
// The gate geometry file: a hand-editable text holding the frame matrix, the
// speed-carve angle and the pond outline of a surveyed course, plus mapping
// lines that send particular swoops to another geometry file or to no gate.
//
// Line kinds, told by their first characters:
//   "\n"            empty line, ignored
//   "//"            comment
//   "["             matrix row: "[%lf, %lf, %lf, %lf]"
//   "("             pond line: one to four "(x, y)" pairs, local metres
//   "theta = "      speed-carve angle in degrees
//   "*" or a digit  mapping line: "<pattern> - <target>", target a file
//                   name (optionally in double quotes) or "nogate"
#pragma once

#include <memory>
#include <vector>

#include "core/geometry/vec_types.h"

// Writes the geometry file and copies it to "matrix.txt" in the working
// directory. theta_degrees == 0 writes no theta section; an empty pond writes
// no pond section.
void gate_file_write(const char* path, const frame_matrix& matrix, double theta_degrees,
    const std::vector<vec3>& pond, const char** err);

// Reads a geometry file for the swoop named swoop_name, following mapping
// lines. On entry *matrix, *pond and *err are cleared. Results:
//   *matrix        the frame matrix, or null when a mapping line chose "nogate"
//   *pond          local (x, y, 0) metres ended by an all-zero point; empty
//                  when the file has none
//   *theta_degrees 0 when a complete file has no theta line; untouched when
//                  the read ends in "nogate" or an error
// On error *err is set and neither matrix nor pond is returned. A number that
// is not finite ("nan", "inf", "1e999") in a matrix row, a pond line or the
// theta line fails the read with "failed to parse %s": no survey gives one,
// and a frame made of it would put every swoop nowhere.
void gate_file_read(const char* path, const char* swoop_name, std::unique_ptr<frame_matrix>* matrix,
    std::vector<vec3>* pond, double* theta_degrees, const char** err);
