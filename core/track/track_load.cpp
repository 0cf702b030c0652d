#include "core/track/track_load.h"

#include <utility>

#include "core/files/container.h"
#include "core/track/csv_reader.h"

namespace {

// The text dialects in their order: record dialect, then field-name
// dialect. The message of the last reader stays.
bool read_text_track(const char* path, gps_track& track, const char** err)
{
    *err = nullptr;
    track_read_gnss(path, track, err);
    if (!*err)
        return true;
    *err = nullptr;
    gps_track_clear(track);
    track_read_csv(path, track, err);
    return !*err;
}

// Hands the samples over trimmed to the count read (no reallocation).
std::vector<gps_point> take_samples(gps_track& track)
{
    std::vector<gps_point> samples = std::move(track.gps_points);
    samples.resize(track.count);
    track = gps_track {};
    return samples;
}

} // namespace

void gate_track_load(const char* path, gate_data& out, const char** err)
{
    *err = nullptr;
    gate_container_read(path, out, err);
    if (!*err)
        return;
    gps_track track;
    if (!read_text_track(path, track, err))
        return;
    out.track_len = track.count;
    out.track = take_samples(track);
}

void swoop_track_load(const char* path, gps_track& out, const char** err)
{
    *err = nullptr;
    swoop_container_read(path, out, err);
    if (!*err)
        return;
    gps_track track;
    if (!read_text_track(path, track, err))
        return;
    uint32_t count = track.count;
    out.gps_points = take_samples(track);
    out.count = count;
    out.capacity = count;
}
