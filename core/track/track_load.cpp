// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/track_load.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/files/container.h"
#include "core/track/csv_reader.h"
#include "core/track/error_text.h"

namespace {

// The text dialects in their order: record dialect, then field-name
// dialect. The message of the last reader stays, except for a file whose
// "$COL,GNSS," column line was read: that is a record-dialect file, and what
// went wrong in it is the record reader's to say (the field-name reader would
// blame the field names of its first line).
bool read_text_track(const char* path, gps_track& track, const char** err)
{
    *err = nullptr;
    bool column_line_seen = false;
    track_read_gnss(path, track, column_line_seen, err);
    if (!*err)
        return true;
    if (column_line_seen)
        return false;
    *err = nullptr;
    gps_track_clear(track);
    track_read_csv(path, track, err);
    return !*err;
}

// True when the sample's position and velocity are finite numbers.
bool placeable(const gps_point& p)
{
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(p.pos_wgs84[i]) || !std::isfinite(p.vel_ltp[i]))
            return false;
    }
    return true;
}

// Hands the samples over trimmed to the count read (no reallocation). A
// sample whose position or velocity is not a finite number ("nan", "inf" or
// "1e999" in a text file, such bit patterns in a container) cannot be placed
// on the course: it is left out, as if the logger had not written it.
std::vector<gps_point> take_samples(gps_track& track)
{
    std::vector<gps_point> samples = std::move(track.gps_points);
    samples.resize(track.count);
    track = gps_track {};
    std::erase_if(samples, [](const gps_point& p) { return !placeable(p); });
    return samples;
}

// Reads a text track and hands over its placeable samples; a file without
// any fails as a file without samples does.
bool load_text_samples(const char* path, std::vector<gps_point>& samples, const char** err)
{
    gps_track track;
    if (!read_text_track(path, track, err))
        return false;
    samples = take_samples(track);
    if (samples.empty()) {
        *err = errmsg("no GPS points found");
        return false;
    }
    return true;
}

} // namespace

void gate_track_load(const char* path, gate_data& out, const char** err)
{
    *err = nullptr;
    gate_container_read(path, out, err);
    if (!*err)
        return;
    std::vector<gps_point> samples;
    if (!load_text_samples(path, samples, err))
        return;
    out.track_len = static_cast<uint32_t>(samples.size());
    out.track = std::move(samples);
}

void swoop_track_load(const char* path, gps_track& out, const char** err)
{
    *err = nullptr;
    swoop_container_read(path, out, err);
    std::vector<gps_point> samples;
    if (!*err) {
        samples = take_samples(out);
    } else if (!load_text_samples(path, samples, err)) {
        return;
    }
    const uint32_t count = static_cast<uint32_t>(samples.size());
    out.gps_points = std::move(samples);
    out.count = count;
    out.capacity = count;
}
