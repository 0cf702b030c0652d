// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated logger session folder for the front ends' barometer tests:
// TRACK.CSV and, when asked, the SENSOR.CSV the simulator makes for it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"
#include "tools/track_sim/sensor_sim.h"
#include "tools/track_sim/track_sim.h"

// Writes the session into folder and returns the track's path. A non-empty
// sensor_text is written in place of the simulated sensor file.
inline std::string write_logger_session(
    const std::filesystem::path& folder, uint64_t seed, bool with_sensor, const std::string& sensor_text = "")
{
    std::filesystem::create_directories(folder);
    swoop_options o = example_swoop_base(sim_course {}, 0.0);
    o.seed = seed;
    o.record_motion = true;
    sim_swoop sim = generate_swoop(o); // the sensor simulation may add GPS errors to its samples
    sensor_options so;
    so.seed = seed;
    const sim_sensor sensor = simulate_swoop_sensor(sim, o, so);
    test_support::write_file(
        (folder / "TRACK.CSV").string(), format_track(sim.samples, sim_dialect::field_names));
    if (with_sensor)
        test_support::write_file(
            (folder / "SENSOR.CSV").string(), sensor_text.empty() ? sensor.text : sensor_text);
    return (folder / "TRACK.CSV").string();
}
