// SPDX-License-Identifier: GPL-3.0-or-later
// The truth beside each simulated track, as a small hand-written JSON document.
#include <array>
#include <cinttypes>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "core/track/track_frames.h"
#include "tools/track_sim/track_sim.h"

namespace {

class json_writer {
public:
    void key(const char* name)
    {
        out_ += first_ ? "\n  \"" : ",\n  \"";
        first_ = false;
        out_ += name;
        out_ += "\": ";
    }
    void number(const char* name, double v, const char* format = "%.3f")
    {
        key(name);
        append(format, v);
    }
    void integer(const char* name, int64_t v)
    {
        key(name);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%" PRId64, v);
        out_ += buf;
    }
    void boolean(const char* name, bool v)
    {
        key(name);
        out_ += v ? "true" : "false";
    }
    void time(const char* name, int64_t ms)
    {
        // Times as ms since the epoch, with the logger's text beside them.
        integer(name, ms);
        std::string text = std::string(name) + "_text";
        key(text.c_str());
        if (ms) {
            out_ += '"';
            out_ += sim_time_text(ms);
            out_ += '"';
        } else {
            out_ += "null";
        }
    }
    void point(const char* name, const vec3& p, const char* format = "%.3f")
    {
        key(name);
        vec(p, format);
    }
    void matrix(const char* name, const frame_matrix& m)
    {
        key(name);
        out_ += "[";
        for (size_t r = 0; r < 4; ++r) {
            out_ += r ? ",\n    [" : "\n    [";
            for (size_t c = 0; c < 4; ++c) {
                if (c)
                    out_ += ", ";
                append("%.17g", m[r][c]);
            }
            out_ += "]";
        }
        out_ += "\n  ]";
    }
    template <class Range>
    void points(const char* name, const Range& ps, size_t count, const char* format = "%.3f")
    {
        key(name);
        out_ += "[";
        size_t i = 0;
        for (const vec3& p : ps) {
            if (i == count)
                break;
            out_ += i ? ",\n    " : "\n    ";
            vec(p, format);
            ++i;
        }
        out_ += "\n  ]";
    }
    // [[start, end], ...] of ms times.
    void time_pairs(
        const char* name, const std::array<int64_t, 6>& a, const std::array<int64_t, 6>& b, size_t count)
    {
        key(name);
        out_ += "[";
        for (size_t k = 0; k < count; ++k) {
            char buf[96];
            std::snprintf(buf, sizeof buf, "%s\n    [%" PRId64 ", %" PRId64 "]", k ? "," : "", a[k], b[k]);
            out_ += buf;
        }
        out_ += "\n  ]";
    }
    // [v, ...], ten to a line.
    void numbers(const char* name, const std::vector<double>& vs, const char* format = "%.3f")
    {
        key(name);
        out_ += "[";
        for (size_t i = 0; i < vs.size(); ++i) {
            out_ += i == 0 ? "\n    " : i % 10 == 0 ? ",\n    " : ", ";
            append(format, vs[i]);
        }
        out_ += "\n  ]";
    }
    std::string finish() { return "{" + out_ + "\n}\n"; }

private:
    void append(const char* format, double v)
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, format, v);
        out_ += buf;
    }
    void vec(const vec3& p, const char* format)
    {
        out_ += "[";
        for (size_t k = 0; k < 3; ++k) {
            if (k)
                out_ += ", ";
            append(format, p[k]);
        }
        out_ += "]";
    }
    std::string out_;
    bool first_ = true;
};

} // namespace

std::string walk_truth_json(const walk_truth& t)
{
    json_writer j;
    size_t n = t.has_exit_gate ? 6 : 5;
    j.matrix("matrix", t.matrix);
    j.number("theta", t.theta, "%.9f");
    j.number("theta_degrees", t.theta * 180.0 / std::numbers::pi, "%.4f");
    j.boolean("has_exit_gate", t.has_exit_gate);
    j.points("waypoints", t.waypoints, n);
    j.points("waypoints_wgs84", t.waypoints_wgs84, n, "%.9f");
    j.time_pairs("stops", t.stop_start, t.stop_end, n);
    j.point("exit_gate_nominal", t.exit_gate_nominal);
    j.points("pond", t.pond, t.pond.size());
    return j.finish();
}

std::string swoop_truth_json(const swoop_truth& t)
{
    json_writer j;
    j.matrix("course_matrix", t.course_matrix);
    j.matrix("run_matrix", t.run_matrix);
    j.number("run_rotation", t.run_rotation, "%.9f");
    j.time("takeoff_time", t.takeoff_time);
    j.time("false_start_time", t.false_start_time);
    j.time("plane_exit_time", t.plane_exit_time);
    j.time("deployment_time", t.deployment_time);
    j.time("pattern_entry_time", t.pattern_entry_time);
    j.time("top_of_turn_time", t.top_of_turn_time);
    j.time("max_descent_time", t.max_descent_time);
    j.time("bottom_time", t.bottom_time);
    j.time("touchdown_time", t.touchdown_time);
    j.time("stop_time", t.stop_time);
    j.time("end_time", t.end_time);
    j.number("turn_degrees", t.turn_degrees);
    j.number("max_descent_rate", t.max_descent_rate);
    j.number("max_horizontal_speed", t.max_horizontal_speed);
    j.point("bottom_pos", t.bottom_pos);
    j.boolean("entry_gate", t.entry_gate);
    j.time("entry_gate_time", t.entry_gate_time);
    j.number("entry_gate_speed", t.entry_gate_speed);
    j.number("entry_gate_y", t.entry_gate_y);
    j.boolean("exit_gate", t.exit_gate);
    j.integer("carve_direction", t.carve_direction);
    j.time("exit_gate_time", t.exit_gate_time);
    j.number("exit_gate_speed", t.exit_gate_speed);
    j.number("exit_gate_x", t.exit_gate_x);
    j.number("touchdown_speed", t.touchdown_speed);
    j.number("touchdown_x", t.touchdown_x);
    j.point("stop_pos", t.stop_pos);
    if (t.wind.on) {
        j.number("wind_speed", t.wind.speed);
        j.number("wind_from", t.wind.from);
        j.number("wind_north", t.wind.north_east[0]);
        j.number("wind_east", t.wind.north_east[1]);
        j.number("wind_run_x", t.wind.run[0]);
        j.number("wind_run_y", t.wind.run[1]);
        j.number("canopy_airspeed", t.wind.canopy_airspeed);
        j.number("entry_gate_airspeed", t.wind.entry_gate_airspeed);
        j.number("max_horizontal_airspeed", t.wind.max_horizontal_airspeed);
        j.numbers("airspeed", t.wind.airspeed);
    }
    return j.finish();
}
