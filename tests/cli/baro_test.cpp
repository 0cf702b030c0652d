// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-cli with heights from the barometer (-b, -s) on a simulated logger
// session: TRACK.CSV and SENSOR.CSV as the simulator writes them.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "tests/support/test_support.h"
#include "tools/track_sim/sensor_sim.h"
#include "tools/track_sim/track_sim.h"

using test_support::file_exists;
using test_support::read_file;
using test_support::run_program;
using test_support::temp_dir;
using test_support::write_file;

namespace {

struct session {
    std::string track; // TRACK.CSV
    std::string sensor; // SENSOR.CSV
};

const session& simulated_session()
{
    static const session s = [] {
        swoop_options o = example_swoop_base(sim_course {}, 0.0);
        o.record_motion = true;
        sim_swoop sim = generate_swoop(o);
        sensor_options so;
        so.seed = o.seed;
        sim_sensor sensor = simulate_swoop_sensor(sim, o, so);
        return session { format_track(sim.samples, sim_dialect::field_names), sensor.text };
    }();
    return s;
}

// The sensor file's text with some of its lines changed: keep(line) false
// drops a line.
template <class Keep> std::string sensor_lines(Keep keep)
{
    std::istringstream in(simulated_session().sensor);
    std::string out, line;
    size_t index = 0;
    while (std::getline(in, line))
        if (keep(line, index++))
            out += line + "\n";
    return out;
}

size_t sensor_line_count()
{
    const std::string& text = simulated_session().sensor;
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::vector<std::string> folder_names(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(cli_baro, sensor_file_errors_and_heights_lines)
{
    const session& ses = simulated_session();
    const size_t lines = sensor_line_count();
    const struct {
        const char* name;
        std::string sensor_name; // empty: no sensor file in the folder
        std::string sensor_text;
        std::vector<std::string> args;
        std::string error; // empty: success
    } cases[] = {
        { "no sensor file", "", "", { "-i", "-b", "TRACK.CSV" }, "no sensor file beside TRACK.CSV" },
        { "named file missing", "", "", { "-i", "-s", "none.csv", "TRACK.CSV" },
            "failed to open file: none.csv" },
        { "no barometer rows", "SENSOR.CSV",
            sensor_lines([](const std::string& l, size_t) { return l.rfind("$BARO,", 0) != 0; }),
            { "-i", "-b", "TRACK.CSV" }, "sensor file has no barometer rows" },
        { "no time rows", "SENSOR.CSV",
            sensor_lines([](const std::string& l, size_t) { return l.rfind("$TIME,", 0) != 0; }),
            { "-i", "-b", "TRACK.CSV" }, "sensor file has no usable time reference" },
        { "ends early", "SENSOR.CSV",
            sensor_lines([&](const std::string&, size_t i) { return i < lines / 2; }),
            { "-i", "-b", "TRACK.CSV" }, "sensor file does not cover the swoop" },
        { "any letter case", "Sensor.csv", ses.sensor, { "-i", "-b", "TRACK.CSV" }, "" },
        { "named with -s, metric", "other.csv", ses.sensor, { "-i", "-m", "-s", "other.csv", "TRACK.CSV" },
            "" },
    };
    const std::regex imperial(
        "\n\nheights from:          barometer and GPS\n"
        "entry gate height:     -?[0-9]+\\.[0-9] ft above the stop \\(\\+/- [0-9]+\\.[0-9] ft\\)\n"
        "exit gate height:      (-?[0-9]+\\.[0-9]|----) ft above the stop "
        "\\(\\+/- ([0-9]+\\.[0-9]|----) ft\\)\n$");
    const std::regex metric(
        "\n\nheights from:          barometer and GPS\n"
        "entry gate height:     -?[0-9]+\\.[0-9] m above the stop \\(\\+/- [0-9]+\\.[0-9] m\\)\n"
        "exit gate height:      (-?[0-9]+\\.[0-9]|----) m above the stop "
        "\\(\\+/- ([0-9]+\\.[0-9]|----) m\\)\n$");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        temp_dir dir;
        write_file(dir.file("TRACK.CSV"), ses.track);
        if (!c.sensor_name.empty())
            write_file(dir.file(c.sensor_name), c.sensor_text);
        const std::vector<std::string> before = folder_names(dir.path());
        auto r = run_program(test_support::cli_path(), c.args, dir.path());
        if (!c.error.empty()) {
            EXPECT_EQ(r.out, "ERROR: " + c.error + "\n");
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(folder_names(dir.path()), before); // nothing written
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        const std::string report = read_file(dir.file("TRACK.txt"));
        EXPECT_TRUE(std::regex_search(report, c.sensor_name == "other.csv" ? metric : imperial)) << report;
        EXPECT_EQ(r.out.substr(r.out.size() - report.size()), report);
        for (const char* out : { "TRACK.kml", "TRACK.pdf" })
            EXPECT_TRUE(file_exists(dir.file(out))) << out;

        // The specified lines come first, as many as without -b, then the four added.
        temp_dir gps;
        write_file(gps.file("TRACK.CSV"), ses.track);
        std::vector<std::string> plain = c.args;
        plain.erase(std::remove(plain.begin(), plain.end(), "-b"), plain.end());
        if (auto s = std::find(plain.begin(), plain.end(), "-s"); s != plain.end())
            plain.erase(s, s + 2);
        ASSERT_EQ(run_program(test_support::cli_path(), plain, gps.path()).status, 0);
        const std::string gps_report = read_file(gps.file("TRACK.txt"));
        EXPECT_EQ(std::count(report.begin(), report.end(), '\n'),
            std::count(gps_report.begin(), gps_report.end(), '\n') + 4);
    }
}
