// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/swoop/samples_csv.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "core/platform/platform.h"
#include "core/track/error_text.h"
#include "core/track/track_frames.h"

const char* const samples_csv_header
    = "time_from_gate_s,x_m,y_m,z_m,horizontal_speed_mps,vertical_speed_mps,total_speed_mps,heading_deg,"
      "turn_rate_dps,hacc_m,vacc_m,sacc_mps";

namespace {

void cell(std::string& line, double v, bool first = false)
{
    if (!first)
        line += ',';
    if (!std::isfinite(v))
        return;
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", v);
    line += text;
}

} // namespace

void samples_csv_write(const char* path, const swoop& s, const char** err)
{
    *err = nullptr;
    if (s.track_len == 0 || s.track.size() < s.track_len || s.top_of_turn >= s.track_len) {
        *err = errmsg("no points found in track");
        return;
    }
    const uint32_t last = s.stop < s.track_len ? s.stop : s.track_len - 1;
    const int64_t origin = s.entry_gate_time != 0 ? int64_t(s.entry_gate_time) : s.track[s.top_of_turn].time;

    std::string text = std::string(samples_csv_header) + "\r\n";
    for (uint32_t i = s.top_of_turn; i <= last; i++) {
        const gps_point& g = s.track[i];
        std::string line;
        cell(line, double(int64_t(uint64_t(g.time) - uint64_t(origin))) / 1000, true);
        for (double v :
            { g.pos_local[0], g.pos_local[1], g.pos_local[2], horizontal_speed(g), -g.vel_local[2],
                total_speed(g), g.heading, g.turn_rate, double(g.hacc), double(g.vacc), double(g.sacc) })
            cell(line, v);
        text += line + "\r\n";
    }

    file_ptr f(std::fopen(path, "wb"));
    if (!f) {
        *err = errmsg("failed to open file: %s", path);
        return;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
    if (!file_close_checked(f) || !written)
        *err = errmsg("failed to write file: %s", path);
}
