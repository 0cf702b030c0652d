// SPDX-License-Identifier: GPL-3.0-or-later
// The interpolated sample at a time after the top of the turn, for the
// player's markers.
#pragma once

#include <cstdint>
#include <memory>

#include "core/swoop/swoop.h"
#include "core/track/gps_point.h"

// A new, otherwise zeroed sample at offset ms after the time of the
// top_of_turn sample, interpolated linearly in time between the two samples
// around it: time; sacc, pos_local, vel_local, dive_angle and turn_rate
// interpolated; turn_angle = the part of the next sample's turn angle reached
// (degrees); heading = the heading at the top of the turn plus every turn
// angle since (degrees, unwound, not reduced to 0..360).
// nullptr when the time lies after the stop sample, when the offset is
// negative (before the top of the turn, where the unsigned sum wraps), when
// the record has no analysed turn, or when memory runs out.
std::unique_ptr<gps_point> swoop_point_at(const swoop& s, int64_t offset);
