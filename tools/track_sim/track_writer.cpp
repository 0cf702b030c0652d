// SPDX-License-Identifier: GPL-3.0-or-later
// The two logger dialects, written as the logger writes them, and the
// truth files beside them.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "core/platform/platform.h"
#include "core/track/error_text.h"
#include "tools/track_sim/sim_internal.h"
#include "tools/track_sim/track_format.h"
#include "tools/track_sim/track_sim.h"

using namespace sim_detail;

namespace {

void append(std::string& out, const char* format, double v)
{
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, format, v);
    out.append(buf, static_cast<size_t>(n));
}

// One data row without its line end: the values shared by both dialects.
// The record dialect has no heading, cAcc or gpsFix columns.
void append_row(std::string& out, const gps_point& p, bool field_names)
{
    out += sim_time_text(text_time_for(p.time));
    out += ',';
    append(out, fmt_lat, p.pos_wgs84[0]);
    out += ',';
    append(out, fmt_lon, p.pos_wgs84[1]);
    out += ',';
    append(out, fmt_height, p.pos_wgs84[2]);
    for (double v : p.vel_ltp) {
        out += ',';
        append(out, fmt_velocity, v);
    }
    out += ',';
    append(out, fmt_hacc, p.hacc);
    out += ',';
    append(out, fmt_vacc, p.vacc);
    out += ',';
    append(out, fmt_sacc, p.sacc);
    char buf[64];
    if (field_names) {
        // Course over ground and its accuracy, as the logger reports them.
        double speed = std::hypot(p.vel_ltp[0], p.vel_ltp[1]);
        double heading = std::atan2(p.vel_ltp[1], p.vel_ltp[0]) * 180.0 / std::numbers::pi;
        if (heading < 0)
            heading += 360.0;
        double cacc = speed > 0 ? std::min(180.0, p.sacc / speed * 180.0 / std::numbers::pi) : 180.0;
        std::snprintf(buf, sizeof buf, ",%.5f,%.5f,%u,%u", heading, cacc, static_cast<unsigned>(p.gpsfix),
            static_cast<unsigned>(p.numsv));
    } else {
        std::snprintf(buf, sizeof buf, ",%u", static_cast<unsigned>(p.numsv));
    }
    out += buf;
}

} // namespace

std::string sim_time_text(int64_t ms)
{
    int64_t seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    int64_t rest = ms - seconds * 1000;
    int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    int64_t day_seconds = seconds - days * 86400;
    // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
    int64_t z = days + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t day = doy - (153 * mp + 2) / 5 + 1;
    int64_t month = mp < 10 ? mp + 3 : mp - 9;
    int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", static_cast<int>(year),
        static_cast<int>(month), static_cast<int>(day), static_cast<int>(day_seconds / 3600),
        static_cast<int>(day_seconds / 60 % 60), static_cast<int>(day_seconds % 60), static_cast<int>(rest));
    return buf;
}

std::string format_track(const std::vector<gps_point>& samples, sim_dialect dialect)
{
    std::string out;
    out.reserve(samples.size() * 120 + 256);
    if (dialect == sim_dialect::field_names) {
        out += "time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,heading,cAcc,gpsFix,numSV\r\n";
        out += ",(deg),(deg),(m),(m/s),(m/s),(m/s),(m),(m),(m/s),(deg),(deg),,\r\n";
        for (const gps_point& p : samples) {
            append_row(out, p, true);
            out += "\r\n";
        }
    } else {
        out += "$FILE,1\n";
        out += "$VAR,DEVICE_ID,track-sim\n";
        out += "$VAR,RATE_MS,";
        if (samples.size() > 1) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%" PRId64, samples[1].time - samples[0].time);
            out += buf;
        }
        out += "\n";
        out += "$COL,GNSS,time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,numSV\n";
        out += "$UNIT,GNSS,,deg,deg,m,m/s,m/s,m/s,m,m,m/s,\n";
        out += "$DATA\n";
        for (const gps_point& p : samples) {
            out += "$GNSS,";
            append_row(out, p, false);
            out += "\n";
        }
    }
    return out;
}

bool write_text_file(const char* path, const std::string& text, const char** err)
{
    file_ptr f(std::fopen(path, "wb"));
    if (!f) {
        *err = errmsg("failed to open file: %s", path);
        return false;
    }
    std::fwrite(text.data(), 1, text.size(), f.get());
    if (!file_close_checked(f)) {
        *err = errmsg("failed to write file: %s", path);
        return false;
    }
    return true;
}

bool write_track(
    const char* path, const std::vector<gps_point>& samples, sim_dialect dialect, const char** err)
{
    return write_text_file(path, format_track(samples, dialect), err);
}
