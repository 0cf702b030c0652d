// SPDX-License-Identifier: GPL-3.0-or-later
// The coordinate dump: every sample in the local frame with its derived
// quantities, as a fixed-width table in "coord.txt" in the working directory.
// Always feet and mph, whatever units the report uses.
#pragma once

#include <cstdint>

#include "core/track/gps_point.h"

// Writes count samples starting at first. Clears *err on entry.
void coord_dump_write(const gps_point* first, uint32_t count, const char** err);
