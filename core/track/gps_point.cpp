// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/gps_point.h"

#include <new>
#include <stdexcept>

#include "core/platform/platform.h"
#include "core/track/error_text.h"

namespace {

// Sets aside storage for n samples; a new block is advised as a large one
// before the samples are written into it. Throws as vector::reserve does.
void reserve_storage(gps_track& track, size_t n)
{
    if (n <= track.gps_points.capacity())
        return;
    track.gps_points.reserve(n);
    platform_advise_large_block(track.gps_points.data(), track.gps_points.capacity() * sizeof(gps_point));
}

} // namespace

gps_point* gps_track_append(gps_track& track, const char** err)
{
    if (track.count >= track.capacity) {
        uint32_t capacity = track.capacity == 0 ? 4096u : track.capacity * 2u;
        if (capacity <= track.capacity) {
            *err = errmsg("failed to realloc gps_points");
            return nullptr;
        }
        try {
            reserve_storage(track, capacity);
            track.gps_points.resize(capacity, gps_point {});
        } catch (const std::bad_alloc&) {
            *err = errmsg("failed to realloc gps_points");
            return nullptr;
        } catch (const std::length_error&) {
            *err = errmsg("failed to realloc gps_points");
            return nullptr;
        }
        track.capacity = capacity;
    }
    return &track.gps_points[track.count];
}

void gps_track_reserve(gps_track& track, size_t samples)
{
    if (samples > UINT32_MAX)
        return;
    try {
        reserve_storage(track, samples);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
}

void gps_track_clear(gps_track& track)
{
    std::vector<gps_point>().swap(track.gps_points);
    track.count = 0;
    track.capacity = 0;
}
