// Noise-free gate walks for the survey tests: a course laid out in its own
// frame (x along the course, y left, metres) somewhere on the earth, walked
// stop by stop at a fixed sample rate.
#pragma once

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "core/geometry/geodetic.h"
#include "core/track/gps_point.h"

namespace walk_fixture {

// Where the course lies and which way it points.
struct course {
    double lat = 47.3;        // degrees, gate centre
    double lon = 8.5;         // degrees
    double height = 412.0;    // m, ground at the gate centre
    double heading = 30.0;    // degrees clockwise from north: direction of +x
};

// ECEF (m) of a course point (x, y along and left of the course, z up, m).
inline vec3 course_to_ecef(const course& c, const vec3& p)
{
    const double pi = wgs84::pi;
    const double psi = c.heading * pi / 180;
    // East and north of the point.
    const double e = p[0] * std::sin(psi) - p[1] * std::cos(psi);
    const double n = p[0] * std::cos(psi) + p[1] * std::sin(psi);
    const double phi = c.lat * pi / 180;
    const double lam = c.lon * pi / 180;
    const vec3 o = wgs84_to_ecef({c.lat, c.lon, c.height});
    const vec3 east = {-std::sin(lam), std::cos(lam), 0};
    const vec3 north = {-std::sin(phi) * std::cos(lam), -std::sin(phi) * std::sin(lam), std::cos(phi)};
    const vec3 up = {std::cos(phi) * std::cos(lam), std::cos(phi) * std::sin(lam), std::sin(phi)};
    vec3 r;
    for (int k = 0; k < 3; ++k)
        r[k] = o[k] + e * east[k] + n * north[k] + p[2] * up[k];
    return r;
}

// A waypoint to walk to and how long to stand there.
struct stop {
    vec3 at;        // course metres
    double seconds; // standing time
};

struct walk_options {
    double rate = 5;        // samples per second
    double speed = 1.3;     // m/s walking
    double logger_z = 1.0;  // m, logger above the ground
    double lead_in = 3;     // s of samples with poor accuracy before the walk
};

// Samples of a walk along the stops (straight lines between them), with
// pos_wgs84, vel_ltp, accuracies and time filled.
inline std::vector<gps_point> make_walk(const course& c, const std::vector<stop>& stops,
                                        const walk_options& o = {})
{
    std::vector<gps_point> track;
    const int64_t t0 = 1563120151000; // ms
    double t = 0;                     // s since the start
    const double dt = 1.0 / o.rate;
    auto add = [&](const vec3& p, float acc) {
        gps_point g{};
        g.time = t0 + static_cast<int64_t>(std::llround(t * 1000));
        vec3 q = p;
        q[2] += o.logger_z;
        g.pos_wgs84 = ecef_to_wgs84(course_to_ecef(c, q));
        g.hacc = acc;
        g.vacc = acc;
        g.sacc = 0.3f;
        g.gpsfix = 3;
        g.numsv = 12;
        track.push_back(g);
        t += dt;
    };
    for (double s = 0; s < o.lead_in; s += dt)
        add(stops.front().at, 9.0f);
    for (size_t k = 0; k < stops.size(); ++k) {
        for (double s = 0; s < stops[k].seconds; s += dt)
            add(stops[k].at, 1.5f);
        if (k + 1 == stops.size())
            break;
        const vec3& a = stops[k].at;
        const vec3& b = stops[k + 1].at;
        double len = std::hypot(b[0] - a[0], b[1] - a[1]);
        int steps = static_cast<int>(std::ceil(len / (o.speed * dt)));
        for (int s = 1; s < steps; ++s) {
            double f = static_cast<double>(s) / steps;
            add({a[0] + f * (b[0] - a[0]), a[1] + f * (b[1] - a[1]), a[2] + f * (b[2] - a[2])}, 1.5f);
        }
    }
    return track;
}

// Writes a walk as a logger file in the field-name dialect.
inline bool write_csv(const std::string& path, const std::vector<gps_point>& track)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fputs("time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,gpsFix,numSV\n"
               ",(deg),(deg),(m),(m/s),(m/s),(m/s),(m),(m),(m/s),,\n",
               f);
    for (const gps_point& g : track) {
        std::time_t secs = static_cast<std::time_t>(g.time / 1000);
        std::tm tm{};
        gmtime_r(&secs, &tm);
        std::fprintf(f, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ,%.10f,%.10f,%.4f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%d,%d\n",
                     tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                     static_cast<int>(g.time % 1000), g.pos_wgs84[0], g.pos_wgs84[1], g.pos_wgs84[2],
                     g.vel_ltp[0], g.vel_ltp[1], g.vel_ltp[2], g.hacc, g.vacc, g.sacc, g.gpsfix, g.numsv);
    }
    return std::fclose(f) == 0;
}

// The standard course: entry gate ends 5 m either side of the centre, course
// points 20 m before and after, the pond walk starting 60 m down the course.
// clockwise swaps the gate ends (B on the right of the course).
inline std::vector<stop> standard_stops(bool clockwise, bool exit_gate, const vec3& exit_at = {51.65, 39.64, 0},
                                        double seconds = 10)
{
    double side = clockwise ? -1 : 1;
    std::vector<stop> s = {
        {{60, 15 * side, 0}, seconds},   // W0 start of the pond walk
        {{0, 5 * side, 0}, seconds},     // W1 B
        {{-20, 0, 0}, seconds},          // W2 C
        {{0, -5 * side, 0}, seconds},    // W3 D
        {{20, 0, 0}, seconds},           // W4 A
    };
    if (exit_gate)
        s.push_back({exit_at, seconds});
    return s;
}

} // namespace walk_fixture
