#include "core/track/gps_point.h"

#include <new>
#include <stdexcept>

#include "core/track/error_text.h"

gps_point* gps_track_append(gps_track& track, const char** err)
{
    if (track.count >= track.capacity) {
        uint32_t capacity = track.capacity == 0 ? 4096u : track.capacity * 2u;
        if (capacity <= track.capacity) {
            *err = errmsg("failed to realloc gps_points");
            return nullptr;
        }
        try {
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

void gps_track_clear(gps_track& track)
{
    std::vector<gps_point>().swap(track.gps_points);
    track.count = 0;
    track.capacity = 0;
}
