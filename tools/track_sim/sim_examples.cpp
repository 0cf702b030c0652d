// SPDX-License-Identifier: GPL-3.0-or-later
// The bundled examples: one course, its gate walk and three swoops.
#include <cstddef>
#include <iterator>

#include "tools/track_sim/track_sim.h"

swoop_options example_swoop_base(const sim_course& course, double theta)
{
    swoop_options o;
    o.course = course;
    o.theta = theta;
    o.exit_height = 1000.0;
    o.climb_start = 850.0;
    o.jump_run = 10.0;
    o.freefall_time = 4.0;
    o.canopy_sink = 9.0;
    o.stand_time = 8.0;
    return o;
}

swoop_options example_swoop(const sim_course& course, double theta, sim_example which)
{
    // What sets the swoops apart, in the order of sim_example.
    struct flight {
        uint64_t seed;
        double turn_degrees;
        bool right_turn;
        double turn_height; // m above ground
        double peak_descent; // m/s
        double entry_speed; // m/s
        double entry_y; // m, run frame
    };
    static constexpr flight flights[] = {
        // seed  turn   right  height descent entry  entry_y
        { 21, 270.0, true, 165.0, 24.0, 28.5, 2.0 }, // right_270
        { 22, 450.0, false, 255.0, 27.0, 30.0, -3.5 }, // left_450
        { 23, 270.0, false, 170.0, 25.0, 29.0, 1.0 }, // carve
    };
    const flight& f = flights[static_cast<size_t>(which)];
    swoop_options o = example_swoop_base(course, theta);
    o.seed = f.seed;
    o.turn_degrees = f.turn_degrees;
    o.right_turn = f.right_turn;
    o.turn_height = f.turn_height;
    o.peak_descent = f.peak_descent;
    o.entry_speed = f.entry_speed;
    o.entry_y = f.entry_y;
    if (which == sim_example::left_450) {
        o.false_start = true;
        o.walk_away = 6.0;
    }
    o.carve = which == sim_example::carve;
    return o;
}

std::vector<sim_file> bundled_examples()
{
    std::vector<sim_file> files;
    auto add = [&files](const std::string& stem, std::string track, std::string truth) {
        files.push_back({ stem + ".csv", std::move(track) });
        files.push_back({ stem + ".json", std::move(truth) });
    };

    walk_options walk;
    walk.seed = 11;
    walk.exit_gate_offset = { 1.2, -0.8 };
    sim_walk gate = generate_walk(walk);
    add("gate-walk", format_track(gate.samples, sim_dialect::field_names), walk_truth_json(gate.truth));

    struct example_file {
        sim_example which;
        const char* stem;
        sim_dialect dialect;
    };
    static constexpr example_file swoops[] = {
        { sim_example::right_270, "swoop-270-right", sim_dialect::field_names },
        { sim_example::left_450, "swoop-450-left", sim_dialect::records },
        { sim_example::carve, "swoop-carve", sim_dialect::field_names },
    };
    for (size_t k = 0; k < std::size(swoops); ++k) {
        swoop_options o = example_swoop(walk.course, gate.truth.theta, swoops[k].which);
        o.start_time += static_cast<int64_t>(k + 1) * 3600000; // an hour apart, after the walk
        sim_swoop s = generate_swoop(o);
        add(swoops[k].stem, format_track(s.samples, swoops[k].dialect), swoop_truth_json(s.truth));
    }
    return files;
}
