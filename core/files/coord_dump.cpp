// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/files/coord_dump.h"

#include <cmath>
#include <cstdio>

#include "core/geometry/units.h"
#include "core/platform/platform.h"
#include "core/track/error_text.h"

namespace {

constexpr const char* dump_name = "coord.txt";

} // namespace

void coord_dump_write(const gps_point* first, uint32_t count, const char** err)
{
    *err = nullptr;
    file_ptr f(std::fopen(dump_name, "wb"));
    if (!f) {
        *err = errmsg("failed to open file: %s", dump_name);
        return;
    }
    std::FILE* out = f.get();
    std::fputs("time  (posx,posy,posz)  (velx,vely,velz)  (accx,accy,accz)  gforce  dive_angle  heading  "
               "turn_rate\n",
        out);
    std::fputs(
        "(sec) (ft) (ft) (ft) (mph) (mph) (mph) (mph/s) (mph/s) (mph/s)  () (deg) (deg) (deg/s)\n", out);
    for (uint32_t i = 0; i < count; ++i) {
        const gps_point& p = first[i];
        uint64_t t = static_cast<uint64_t>(p.time); // ms, taken as unsigned
        const vec3& a = p.acc_local;
        double gforce = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]) / standard_gravity;
        std::fprintf(out, "%5d.%03d   ", static_cast<int>((t / 1000) % 100000), static_cast<int>(t % 1000));
        std::fprintf(out, "(%10.2f,%10.2f,%10.2f )   ", p.pos_local[0] * feet_per_metre,
            p.pos_local[1] * feet_per_metre, p.pos_local[2] * feet_per_metre);
        std::fprintf(out, "(%8.2f,%8.2f,%8.2f )   ", p.vel_local[0] * mph_per_mps,
            p.vel_local[1] * mph_per_mps, p.vel_local[2] * mph_per_mps);
        std::fprintf(out, "(%8.2f%8.2f%8.2f )", a[0] * mph_per_mps, a[1] * mph_per_mps, a[2] * mph_per_mps);
        std::fprintf(out, "%8.2f%5.0f%8.0f%10.2f\n", gforce, p.dive_angle, p.heading, p.turn_rate);
    }
    // A full disk shows when the buffered lines are flushed.
    if (!file_close_checked(f))
        *err = errmsg("failed to write file: %s", dump_name);
}
