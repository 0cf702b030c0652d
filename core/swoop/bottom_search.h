// SPDX-License-Identifier: GPL-3.0-or-later
// The bottom of a swoop, found in raw GPS terms (altitude and down speed of
// the logger), shared by the phase detection and the frame built from the
// swoop itself.
#pragma once

#include <cstdint>
#include <vector>

#include "core/track/gps_point.h"

// Searches samples s to e of the track (count samples in use) for the bottom
// of the swoop. *index is the sample before the bottom and *time the bottom
// time (ms, truncated): the earlier of the moment the altitude was last 1 m
// above the lowest point and the moment the down speed fell to 1.25 m/s (the
// speed wins a tie); sample s + 1 and its time when neither is found.
void swoop_bottom_search(const std::vector<gps_point>& track, uint32_t count, uint32_t s, uint32_t e,
    uint32_t* index, uint64_t* time);
