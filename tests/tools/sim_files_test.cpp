// SPDX-License-Identifier: GPL-3.0-or-later
// Simulated logger files read back through the logger reader, and the
// bundled examples.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/gate/gate.h"
#include "core/swoop/swoop.h"
#include "core/track/csv_reader.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

using test_support::read_file;
using test_support::temp_dir;

namespace {

// Every raw field read back equals the generated one, bit for bit.
void expect_same_samples(const std::vector<gps_point>& made, const gps_track& read, bool has_fix)
{
    ASSERT_EQ(read.count, made.size());
    for (size_t k = 0; k < made.size(); ++k) {
        const gps_point& a = made[k];
        const gps_point& b = read.gps_points[k];
        ASSERT_EQ(a.time, b.time) << k;
        ASSERT_EQ(a.pos_wgs84, b.pos_wgs84) << k;
        ASSERT_EQ(a.vel_ltp, b.vel_ltp) << k;
        ASSERT_EQ(a.hacc, b.hacc) << k;
        ASSERT_EQ(a.vacc, b.vacc) << k;
        ASSERT_EQ(a.sacc, b.sacc) << k;
        ASSERT_EQ(has_fix ? a.gpsfix : 0, b.gpsfix) << k;
        ASSERT_EQ(a.numsv, b.numsv) << k;
    }
}

TEST(sim_files, field_name_dialect_reads_back_exactly)
{
    temp_dir dir;
    walk_options o;
    o.rate = 10;
    sim_walk w = generate_walk(o);
    std::string path = dir.file("walk.csv");
    const char* err = nullptr;
    ASSERT_TRUE(write_track(path.c_str(), w.samples, sim_dialect::field_names, &err));
    std::string text = read_file(path);
    EXPECT_EQ(
        text.rfind(
            "time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,heading,cAcc,gpsFix,numSV\r\n"
            ",(deg),(deg),(m),(m/s),(m/s),(m/s),(m),(m),(m/s),(deg),(deg),,\r\n2019-07-14T16:00:00.000Z,",
            0),
        0u);
    // Every line ends in CR LF.
    size_t lf = 0, crlf = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++lf;
            crlf += i > 0 && text[i - 1] == '\r';
        }
    }
    EXPECT_EQ(lf, w.samples.size() + 2);
    EXPECT_EQ(crlf, lf);

    gps_track track;
    track_read_csv(path.c_str(), track, &err);
    ASSERT_EQ(err, nullptr) << err;
    expect_same_samples(w.samples, track, true);
}

TEST(sim_files, record_dialect_reads_back_exactly)
{
    temp_dir dir;
    swoop_options o;
    o.rate = 25;
    o.climb_start = 1000;
    o.noise.drop_rate = 0.05;
    sim_swoop s = generate_swoop(o);
    std::string path = dir.file("swoop.csv");
    const char* err = nullptr;
    ASSERT_TRUE(write_track(path.c_str(), s.samples, sim_dialect::records, &err));
    std::string text = read_file(path);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.front(), '$');
    EXPECT_NE(
        text.find("\n$COL,GNSS,time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,numSV\n"), std::string::npos);
    EXPECT_NE(text.find("\n$GNSS,2019-07-14T16:00:00.000Z,"), std::string::npos);

    gps_track track;
    track_read_gnss(path.c_str(), track, &err);
    ASSERT_EQ(err, nullptr) << err;
    expect_same_samples(s.samples, track, false);
}

TEST(sim_files, times_print_as_the_logger_prints_them)
{
    EXPECT_EQ(sim_time_text(1563120000000), "2019-07-14T16:00:00.000Z");
    EXPECT_EQ(sim_time_text(951782399999), "2000-02-28T23:59:59.999Z");
    EXPECT_EQ(sim_time_text(951782400040), "2000-02-29T00:00:00.040Z");
    EXPECT_EQ(sim_time_text(0), "1970-01-01T00:00:00.000Z");
}

TEST(sim_files, unwritable_path_is_reported)
{
    const char* err = nullptr;
    EXPECT_FALSE(write_text_file("/nonexistent-folder/x.csv", "x", &err));
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(std::string(err), "failed to open file: /nonexistent-folder/x.csv");
}

TEST(sim_files, truth_json_names_every_field)
{
    sim_swoop s = generate_swoop(swoop_options {});
    std::string j = swoop_truth_json(s.truth);
    for (const char* key :
        { "\"run_matrix\"", "\"plane_exit_time\"", "\"top_of_turn_time\"", "\"turn_degrees\": 270.000",
            "\"entry_gate_speed\": 28.0", "\"exit_gate\": false", "\"stop_time_text\": \"2019-07-14T" })
        EXPECT_NE(j.find(key), std::string::npos) << key;
    EXPECT_EQ(j.front(), '{');
    EXPECT_EQ(j.substr(j.size() - 2), "}\n");
    std::string wj = walk_truth_json(generate_walk(walk_options {}).truth);
    for (const char* key : { "\"theta\": 0.000000000", "\"waypoints\"", "\"stops\"", "\"pond\"" })
        EXPECT_NE(wj.find(key), std::string::npos) << key;
}

// The committed examples are exactly what the simulator makes: regenerating
// them (scripts/make-examples) changes nothing.
TEST(sim_examples, committed_files_are_current)
{
    std::vector<sim_file> files = bundled_examples();
    EXPECT_EQ(files.size(), 8u);
    size_t total = 0;
    for (const sim_file& f : files) {
        std::string path = test_support::source_dir() + "/examples/" + f.name;
        ASSERT_TRUE(test_support::file_exists(path)) << path;
        EXPECT_TRUE(read_file(path) == f.text) << f.name << " differs: run scripts/make-examples";
        total += f.text.size();
    }
    EXPECT_LT(total, 600u * 1024u);
}

// The demo runs on the examples: the walk surveys and every swoop goes
// through the entry gate in the surveyed frame.
TEST(sim_examples, survey_and_swoops_analyse)
{
    std::string dir = test_support::source_dir() + "/examples/";
    std::string log;
    const char* err = nullptr;
    std::unique_ptr<gate> g = gate_open((dir + "gate-walk.csv").c_str(), &log, &err);
    ASSERT_TRUE(g) << err;
    EXPECT_EQ(log.find("WARNING"), std::string::npos) << log;
    EXPECT_NEAR(g->theta, 0.0208, 0.01);
    for (const char* name : { "swoop-270-right.csv", "swoop-450-left.csv", "swoop-carve.csv" }) {
        err = nullptr;
        std::unique_ptr<swoop> s = swoop_new((dir + name).c_str(), &err);
        ASSERT_TRUE(s) << err;
        swoop_analyse(*s, frame_from_gate, &g->matrix, g->theta, &err);
        ASSERT_EQ(err, nullptr) << name << ": " << err;
        EXPECT_NE(s->plane_exit, 0u) << name;
        EXPECT_NE(s->entry_gate, 0u) << name;
        EXPECT_GT(s->entry_gate_speed, 27.0) << name;
        EXPECT_LT(std::fabs(s->entry_gate_ypos), 5.0) << name;
    }
}

} // namespace
