// SPDX-License-Identifier: GPL-3.0-or-later
// track-sim: writes simulated gate walks and swoops as logger files, with
// their truth beside them (same name, extension json).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/track_sim/sensor_sim.h"
#include "tools/track_sim/track_sim.h"

namespace {

const char* usage_text = "usage: track-sim examples <folder>\n"
                         "       track-sim walk <file.csv> [options]\n"
                         "       track-sim swoop <file.csv> [options]\n"
                         "options for both:\n"
                         "  --seed N  --rate HZ  --noise LEVEL  --drop P  --records\n"
                         "  --lat DEG  --lon DEG  --ground M  --heading DEG  --start MS\n"
                         "walk:\n"
                         "  --clockwise  --no-exit-gate  --exit-right  --exit-offset X,Y  --stop S\n"
                         "  --pond-length M  --pond-width M  --upstream M  --walk-speed MS\n"
                         "swoop:\n"
                         "  --theta RAD  --turn DEG  --left  --turn-height M  --peak-descent MS\n"
                         "  --entry-speed MS  --entry-y M  --skim M  --carve  --carve-right  --reverse\n"
                         "  --false-start  --exit-height M  --climb-start M  --freefall S  --walk-away S\n"
                         "  --wind MS,FROM (degrees true)  --gust MS  --poor-sacc P\n"
                         "  --pattern  --high-turns  --opposite-hand\n"
                         "sensor file (both; SENSOR.CSV and SENSOR-truth.csv beside the track, whose GPS\n"
                         "heights and velD then carry realistic errors):\n"
                         "  --sensor  --baro-coefficient C  --clock-offset S  --gps-time  --perfect-baro\n";

[[noreturn]] void usage()
{
    std::fputs(usage_text, stderr);
    std::exit(2);
}

double number(const char* text)
{
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (end == text || *end != '\0') {
        std::fprintf(stderr, "track-sim: not a number: %s\n", text);
        std::exit(2);
    }
    return v;
}

std::string beside(const std::string& path, const char* extension)
{
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    std::string stem = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        ? path.substr(0, dot)
        : path;
    return stem + extension;
}

bool write(const std::string& path, const std::string& text)
{
    const char* err = nullptr;
    if (!write_text_file(path.c_str(), text, &err)) {
        std::fprintf(stderr, "track-sim: %s\n", err);
        return false;
    }
    return true;
}

int run_examples(const std::string& folder)
{
    for (const sim_file& f : bundled_examples()) {
        if (!write(folder + "/" + f.name, f.text))
            return 1;
        std::printf("%s/%s\n", folder.c_str(), f.name.c_str());
    }
    return 0;
}

// The options after the file name, one at a time.
struct arguments {
    int argc;
    char** argv;
    int next = 3;

    bool more() const { return next < argc; }
    std::string option() { return argv[next++]; }
    // The value that follows an option.
    const char* value()
    {
        if (next >= argc)
            usage();
        return argv[next++];
    }
};

// The sensor file's options; `wanted` is set by any of them.
struct sensor_request {
    bool wanted = false;
    sensor_options options;
};

bool sensor_option(const std::string& a, arguments& args, sensor_request& r)
{
    if (a == "--sensor")
        r.wanted = true;
    else if (a == "--baro-coefficient")
        r.options.coefficient = number(args.value());
    else if (a == "--clock-offset")
        r.options.clock_offset = number(args.value());
    else if (a == "--gps-time")
        r.options.gps_time = true;
    else if (a == "--perfect-baro")
        r.options.barometer_errors = false;
    else
        return false;
    r.wanted = true;
    return true;
}

std::string folder_of(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool write_sensor(const std::string& track_path, const sim_sensor& s)
{
    const std::string folder = folder_of(track_path);
    return write(folder + "/SENSOR.CSV", s.text)
        && write(folder + "/SENSOR-truth.csv", sensor_truth_csv(s.truth));
}

// Options shared by walks and swoops; true when the argument was one of them.
template <typename options>
bool common_option(const std::string& a, arguments& args, options& o, bool& records)
{
    if (a == "--seed")
        o.seed = std::strtoull(args.value(), nullptr, 10);
    else if (a == "--rate")
        o.rate = number(args.value());
    else if (a == "--noise")
        o.noise.level = number(args.value());
    else if (a == "--drop")
        o.noise.drop_rate = number(args.value());
    else if (a == "--records")
        records = true;
    else if (a == "--lat")
        o.course.lat = number(args.value());
    else if (a == "--lon")
        o.course.lon = number(args.value());
    else if (a == "--ground")
        o.course.ground_height = number(args.value());
    else if (a == "--heading")
        o.course.heading = number(args.value());
    else if (a == "--start")
        o.start_time = std::strtoll(args.value(), nullptr, 10);
    else
        return false;
    return true;
}

// Writes the track file and its truth beside it; the exit status.
int write_run(
    const std::string& path, const std::vector<gps_point>& samples, bool records, const std::string& truth)
{
    bool ok = write(path, format_track(samples, records ? sim_dialect::records : sim_dialect::field_names))
        && write(beside(path, ".json"), truth);
    return ok ? 0 : 1;
}

int run_walk(const std::string& path, arguments args)
{
    walk_options o;
    bool records = false;
    sensor_request sensor;
    while (args.more()) {
        std::string a = args.option();
        if (common_option(a, args, o, records) || sensor_option(a, args, sensor))
            continue;
        if (a == "--clockwise")
            o.clockwise = true;
        else if (a == "--no-exit-gate")
            o.exit_gate = false;
        else if (a == "--exit-right")
            o.exit_gate_right = true;
        else if (a == "--exit-offset") {
            const char* v = args.value();
            char* end = nullptr;
            o.exit_gate_offset[0] = std::strtod(v, &end);
            if (*end != ',')
                usage();
            o.exit_gate_offset[1] = number(end + 1);
        } else if (a == "--stop")
            o.stop_time = number(args.value());
        else if (a == "--pond-length")
            o.pond_length = number(args.value());
        else if (a == "--pond-width")
            o.pond_width = number(args.value());
        else if (a == "--upstream")
            o.upstream = number(args.value());
        else if (a == "--walk-speed")
            o.walk_speed = number(args.value());
        else
            usage();
    }
    sim_walk w = generate_walk(o);
    if (sensor.wanted) {
        sensor.options.seed = o.seed;
        if (!write_sensor(path, simulate_walk_sensor(w, o, sensor.options)))
            return 1;
    }
    return write_run(path, w.samples, records, walk_truth_json(w.truth));
}

int run_swoop(const std::string& path, arguments args)
{
    swoop_options o;
    bool records = false;
    sensor_request sensor;
    while (args.more()) {
        std::string a = args.option();
        if (common_option(a, args, o, records) || sensor_option(a, args, sensor))
            continue;
        if (a == "--theta")
            o.theta = number(args.value());
        else if (a == "--turn")
            o.turn_degrees = number(args.value());
        else if (a == "--left")
            o.right_turn = false;
        else if (a == "--turn-height")
            o.turn_height = number(args.value());
        else if (a == "--peak-descent")
            o.peak_descent = number(args.value());
        else if (a == "--entry-speed")
            o.entry_speed = number(args.value());
        else if (a == "--entry-y")
            o.entry_y = number(args.value());
        else if (a == "--skim")
            o.skim_height = number(args.value());
        else if (a == "--carve")
            o.carve = true;
        else if (a == "--carve-right")
            o.carve = o.carve_right = true;
        else if (a == "--reverse")
            o.reverse = true;
        else if (a == "--false-start")
            o.false_start = true;
        else if (a == "--exit-height")
            o.exit_height = number(args.value());
        else if (a == "--climb-start")
            o.climb_start = number(args.value());
        else if (a == "--freefall")
            o.freefall_time = number(args.value());
        else if (a == "--walk-away")
            o.walk_away = number(args.value());
        else if (a == "--wind") {
            const char* v = args.value();
            char* end = nullptr;
            o.wind.on = true;
            o.wind.speed = std::strtod(v, &end);
            if (end == v || *end != ',')
                usage();
            o.wind.from = number(end + 1);
        } else if (a == "--gust")
            o.wind.gust = number(args.value());
        else if (a == "--poor-sacc")
            o.wind.poor_sacc = number(args.value());
        else if (a == "--pattern")
            o.pattern.on = true;
        else if (a == "--high-turns")
            o.pattern.on = o.pattern.high_turns = true;
        else if (a == "--opposite-hand")
            o.pattern.on = o.pattern.opposite_hand = true;
        else
            usage();
    }
    o.record_motion = sensor.wanted;
    sim_swoop s = generate_swoop(o);
    if (sensor.wanted) {
        sensor.options.seed = o.seed;
        if (!write_sensor(path, simulate_swoop_sensor(s, o, sensor.options)))
            return 1;
    }
    return write_run(path, s.samples, records, swoop_truth_json(s.truth));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        usage();
    std::string command = argv[1];
    try {
        if (command == "examples")
            return run_examples(argv[2]);
        if (command == "walk")
            return run_walk(argv[2], arguments { argc, argv });
        if (command == "swoop")
            return run_swoop(argv[2], arguments { argc, argv });
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "track-sim: %s\n", e.what());
        return 1;
    }
    usage();
}
