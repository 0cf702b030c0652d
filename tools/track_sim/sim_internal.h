// SPDX-License-Identifier: GPL-3.0-or-later
// Pieces shared by the walk and the swoop generators: the random numbers,
// smooth speed profiles, the course frame and the logger model that turns
// true motion into samples.
#pragma once

#include <cstdint>
#include <numbers>
#include <vector>

#include "core/geometry/vec_types.h"
#include "core/track/gps_point.h"
#include "tools/track_sim/track_sim.h"

namespace sim_detail {

// splitmix64: small, fast and the same on every platform and library version.
class rng {
public:
    explicit rng(uint64_t seed)
        : state_(seed)
    {
    }
    uint64_t next();
    double uniform(); // [0, 1)
    double gauss(); // mean 0, deviation 1, bounded to +-3.47 (sum of four uniforms)

private:
    uint64_t state_;
};

// A sub-stream seed for one purpose, so that changing one part of the
// simulation leaves the others' random numbers alone.
uint64_t stream_seed(uint64_t seed, uint64_t purpose);

// Shapes of a transition from value a to value b over a normalised time s in [0, 1].
enum class ease {
    linear, // constant rate
    smooth, // 3s^2 - 2s^3: starts and ends without a jump in rate
    ease_out, // 1 - (1 - s)^2: fast start, ends without a jump in rate
};
double ease_value(ease e, double s); // 0..1
double ease_integral(ease e, double s); // integral of ease_value from 0 to s
double ease_average(ease e); // ease_integral(e, 1)

// A scalar that changes through a list of transitions over time (seconds);
// between transitions it holds the last value reached.
class channel {
public:
    explicit channel(double initial = 0)
        : initial_(initial)
    {
    }
    // Adds a transition from the value held at t0 to b over [t0, t0 + duration].
    // Transitions must be added in time order and must not overlap.
    void ramp(double t0, double duration, double b, ease e = ease::smooth);
    // A transition with an explicit start value (may jump).
    void ramp_from(double t0, double duration, double a, double b, ease e = ease::smooth);
    double value(double t) const;
    double integral(double t0, double t1) const; // exact integral of the value
    double last() const; // value after the last transition

private:
    struct piece {
        double t0, t1, a, b;
        ease e;
    };
    double held_before(size_t i) const;
    std::vector<piece> pieces_;
    double initial_;
};

// Local frame to and from ECEF and geodetic.
struct frame {
    frame_matrix matrix; // ECEF -> local
    frame_matrix inverse; // local -> ECEF
};
frame make_frame(const frame_matrix& m);
vec3 local_to_wgs84(const frame& f, const vec3& local); // lat deg, lon deg, h m
vec3 local_velocity_to_ned(const frame& f, const vec3& wgs84, const vec3& vel_local); // m/s

// Turns the true motion into logger samples: slowly wandering position
// errors, velocity noise, plausible accuracy fields, dropped samples, and
// the rounding of the text file.
class logger_model {
public:
    logger_model(const frame_matrix& local, const sim_noise& noise, uint64_t seed);
    // Appends the sample for time ms (ms since the epoch) unless it is dropped.
    // first/last samples are never dropped.
    void record(
        int64_t time, const vec3& pos_local, const vec3& vel_local, bool keep, std::vector<gps_point>& out);

private:
    frame frame_;
    sim_noise noise_;
    rng noise_rng_, drop_rng_, acc_rng_;
    vec3 pos_error_ {}; // m, local frame
    double acc_phase_ = 0; // slow variation of the accuracy fields
    double hacc_wander_ = 0;
    int numsv_ = 11;
    int64_t last_time_ = 0;
    bool started_ = false;
};

// Rounds the raw fields to what the logger's text holds (and the reader gives back).
void quantize(gps_point& p);

// The time (ms since the epoch) a reader takes from the text of time t in a
// UTC zone: it truncates seconds x 1000, so "31.300" may read as 31299 ms.
int64_t logger_time(int64_t t);
// The text time whose reading is `read` (t or t + 1 ms).
int64_t text_time_for(int64_t read);

// Sample times: ms offsets from the start at the given rate, up to and including end_ms.
std::vector<int64_t> sample_offsets(double rate, int64_t end_ms);

// Unit factors of the analysis, and degrees to radians.
constexpr double ft_per_m = 3.2808399;
constexpr double mph_per_ms = 2.23693629;
constexpr double deg = std::numbers::pi / 180.0;

} // namespace sim_detail
