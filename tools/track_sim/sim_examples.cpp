// The bundled examples: one course, its gate walk and three swoops.
#include "tools/track_sim/track_sim.h"

std::vector<sim_file> bundled_examples()
{
    std::vector<sim_file> files;

    walk_options walk;
    walk.seed = 11;
    walk.exit_gate_offset = {1.2, -0.8};
    sim_walk gate = generate_walk(walk);
    files.push_back({"gate-walk.csv", format_track(gate.samples, sim_dialect::field_names)});
    files.push_back({"gate-walk.json", walk_truth_json(gate.truth)});

    // Logs that start late in the climb keep the files small.
    swoop_options base;
    base.course = walk.course;
    base.theta = gate.truth.theta;
    base.exit_height = 1000.0;
    base.climb_start = 850.0;
    base.jump_run = 10.0;
    base.freefall_time = 4.0;
    base.canopy_sink = 9.0;
    base.stand_time = 8.0;

    swoop_options right = base;
    right.seed = 21;
    right.start_time += 3600000;
    right.turn_degrees = 270.0;
    right.right_turn = true;
    right.turn_height = 165.0;
    right.peak_descent = 24.0;
    right.entry_speed = 28.5;
    right.entry_y = 2.0;
    sim_swoop a = generate_swoop(right);
    files.push_back({"swoop-270-right.csv", format_track(a.samples, sim_dialect::field_names)});
    files.push_back({"swoop-270-right.json", swoop_truth_json(a.truth)});

    swoop_options left = base;
    left.seed = 22;
    left.start_time += 2 * 3600000;
    left.false_start = true;
    left.turn_degrees = 450.0;
    left.right_turn = false;
    left.turn_height = 255.0;
    left.peak_descent = 27.0;
    left.entry_speed = 30.0;
    left.entry_y = -3.5;
    left.walk_away = 6.0;
    sim_swoop b = generate_swoop(left);
    files.push_back({"swoop-450-left.csv", format_track(b.samples, sim_dialect::records)});
    files.push_back({"swoop-450-left.json", swoop_truth_json(b.truth)});

    swoop_options carve = base;
    carve.seed = 23;
    carve.start_time += 3 * 3600000;
    carve.turn_degrees = 270.0;
    carve.right_turn = false;
    carve.turn_height = 170.0;
    carve.peak_descent = 25.0;
    carve.entry_speed = 29.0;
    carve.entry_y = 1.0;
    carve.carve = true;
    sim_swoop c = generate_swoop(carve);
    files.push_back({"swoop-carve.csv", format_track(c.samples, sim_dialect::field_names)});
    files.push_back({"swoop-carve.json", swoop_truth_json(c.truth)});
    return files;
}
