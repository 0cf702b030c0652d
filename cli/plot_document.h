// SPDX-License-Identifier: GPL-3.0-or-later
// The two-page PDF of the eight plots of a swoop.
#pragma once

#include <vector>

#include "core/geometry/units.h"
#include "core/geometry/vec_types.h"
#include "core/swoop/swoop.h"

// Writes a 792 x 612 point, two-page PDF: overhead view, dive speed, side view
// and swoop speed on page 1; dive angle, turn rate, GPS accuracy and heading
// on page 2. pond is the perimeter in the swoop's frame, or empty. A document
// that cannot be written is reported as "failed to write file: %s".
void write_plot_document(const char* path, const swoop& s, const std::vector<vec3>& pond,
    const display_units& units, const char** err);
