// SPDX-License-Identifier: GPL-3.0-or-later
// End-to-end runs of the built skimra-cli in temporary folders, on simulated
// gate walks and swoops.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/files/container.h"
#include "core/track/track_load.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

using test_support::file_exists;
using test_support::read_file;
using test_support::run_program;
using test_support::temp_dir;

namespace {

// A surveyed course and a right-hand 270 through its gate, written into dir.
struct course_files {
    std::string walk = "walk.csv";
    std::string swoop = "swoop.csv";
};

course_files write_course(const temp_dir& dir, sim_dialect swoop_dialect = sim_dialect::field_names)
{
    walk_options wo;
    sim_walk walk = generate_walk(wo);
    swoop_options so;
    so.course = wo.course;
    so.theta = walk.truth.theta;
    sim_swoop sw = generate_swoop(so);
    const char* err = nullptr;
    course_files f;
    EXPECT_TRUE(write_track(dir.file(f.walk).c_str(), walk.samples, sim_dialect::field_names, &err));
    EXPECT_TRUE(write_track(dir.file(f.swoop).c_str(), sw.samples, swoop_dialect, &err));
    return f;
}

test_support::run_result cli(const temp_dir& dir, const std::vector<std::string>& args)
{
    return run_program(test_support::cli_path(), args, dir.path());
}

bool tool_available(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The value of one "Name:   value" line of pdfinfo's output.
std::string pdfinfo_field(const std::string& out, const std::string& name)
{
    size_t at = out.find("\n" + name + ":");
    if (at == std::string::npos)
        return {};
    size_t start = out.find_first_not_of(' ', at + name.size() + 2);
    size_t end = out.find('\n', start);
    return out.substr(start, end - start);
}

} // namespace

TEST(runs, gate_then_swoop_writes_every_output)
{
    temp_dir dir;
    course_files f = write_course(dir);
    auto r = cli(dir, { "-g", f.walk, f.swoop });
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    for (const char* name : { "walk.txt", "walk.kml", "matrix.txt", "swoop.txt", "swoop.kml", "swoop.pdf" })
        EXPECT_TRUE(file_exists(dir.file(name))) << name;
    EXPECT_FALSE(file_exists(dir.file("walk.skm")));
    EXPECT_FALSE(file_exists(dir.file("coord.txt")));
    EXPECT_EQ(read_file(dir.file("walk.txt")), read_file(dir.file("matrix.txt")));

    // The survey log comes first, then a blank line and the report as written.
    std::string report = read_file(dir.file("swoop.txt"));
    ASSERT_FALSE(report.empty());
    ASSERT_GE(r.out.size(), report.size() + 1);
    EXPECT_EQ(r.out.substr(r.out.size() - report.size() - 1), "\n" + report);
    EXPECT_NE(r.out.find("waypoint"), std::string::npos) << r.out;

    // Without -p the geometry file has no pond.
    EXPECT_EQ(read_file(dir.file("walk.txt")).find("perimeter"), std::string::npos);

    // The swoop's KML was rewritten with the entry gate.
    EXPECT_NE(read_file(dir.file("swoop.kml")).find("<name>entry gate</name>"), std::string::npos);
    EXPECT_NE(read_file(dir.file("walk.kml")).find("<name>entry gate</name>"), std::string::npos);
}

TEST(runs, documents_are_well_formed)
{
    temp_dir dir;
    course_files f = write_course(dir);
    auto r = cli(dir, { "-p", "-g", f.walk, f.swoop });
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    if (tool_available("xmllint")) {
        for (const char* kml : { "walk.kml", "swoop.kml" }) {
            auto x = run_program("/usr/bin/xmllint", { "--noout", dir.file(kml) });
            EXPECT_EQ(x.status, 0) << kml << x.err;
        }
    }
    if (tool_available("pdfinfo")) {
        auto info = run_program("/usr/bin/pdfinfo", { dir.file("swoop.pdf") });
        EXPECT_EQ(info.status, 0);
        EXPECT_EQ(pdfinfo_field(info.out, "Pages"), "2") << info.out;
        EXPECT_EQ(pdfinfo_field(info.out, "Page size").rfind("792 x 612 pts", 0), 0u) << info.out;
    }
    if (tool_available("pdftoppm")) {
        std::string out = test_support::output_dir("cli") + "/swoop-page";
        auto png = run_program("/usr/bin/pdftoppm", { "-png", "-r", "60", dir.file("swoop.pdf"), out });
        EXPECT_EQ(png.status, 0) << png.err;
    }
    // -p writes the pond into the geometry file, and so into matrix.txt.
    std::string geometry = read_file(dir.file("matrix.txt"));
    EXPECT_NE(geometry.find("// These (x, y) coordinates define the perimeter of the swoop pond.\n"),
        std::string::npos);
}

TEST(runs, implicit_gate_and_metric_need_no_matrix)
{
    temp_dir dir;
    course_files f = write_course(dir, sim_dialect::records);
    auto r = cli(dir, { "-i", "-m", f.swoop });
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(file_exists(dir.file("matrix.txt")));
    std::string report = read_file(dir.file("swoop.txt"));
    EXPECT_EQ(r.out, "\n" + report);
    EXPECT_NE(report.find("km/h"), std::string::npos) << report;
    EXPECT_EQ(report.find("mph"), std::string::npos) << report;
}

TEST(runs, debug_writes_containers_that_read_back_and_the_dump)
{
    temp_dir dir;
    course_files f = write_course(dir);
    auto r = cli(dir, { "-d", "-g", f.walk, f.swoop });
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_TRUE(file_exists(dir.file("walk.skm")));
    ASSERT_TRUE(file_exists(dir.file("swoop.skm")));
    EXPECT_TRUE(file_exists(dir.file("coord.txt")));

    const char* err = nullptr;
    gate_data gate;
    gate_container_read(dir.file("walk.skm").c_str(), gate, &err);
    EXPECT_EQ(err, nullptr);
    gps_track slice;
    swoop_container_read(dir.file("swoop.skm").c_str(), slice, &err);
    EXPECT_EQ(err, nullptr);
    EXPECT_GT(slice.count, 100u);

    // The slice analyses again on its own, to the same report.
    std::string report = read_file(dir.file("swoop.txt"));
    std::filesystem::rename(dir.file("swoop.skm"), dir.file("slice.skm"));
    auto again = cli(dir, { "slice.skm" });
    ASSERT_EQ(again.status, 0) << again.out;

    // A gate given as a container: geometry written again, no KML.
    std::filesystem::remove(dir.file("matrix.txt"));
    std::filesystem::rename(dir.file("walk.skm"), dir.file("stored.skm"));
    auto stored = cli(dir, { "-g", "stored.skm" });
    ASSERT_EQ(stored.status, 0) << stored.out;
    EXPECT_TRUE(file_exists(dir.file("stored.txt")));
    EXPECT_FALSE(file_exists(dir.file("stored.kml")));
    EXPECT_EQ(read_file(dir.file("stored.txt")), read_file(dir.file("walk.txt")));
}

TEST(runs, missing_matrix_leaves_the_whole_track_kml)
{
    temp_dir dir;
    course_files f = write_course(dir);
    auto r = cli(dir, { f.swoop });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR: failed to open file: matrix.txt\n");
    std::string kml = read_file(dir.file("swoop.kml"));
    EXPECT_EQ(kml.find("entry gate"), std::string::npos);
    EXPECT_FALSE(file_exists(dir.file("swoop.txt")));
}

TEST(runs, mapping_line_sends_a_swoop_to_no_gate)
{
    temp_dir dir;
    course_files f = write_course(dir);
    test_support::write_file(dir.file("matrix.txt"), "* - nogate\n");
    auto r = cli(dir, { f.swoop });
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(file_exists(dir.file("swoop.pdf")));
}

TEST(runs, outputs_never_overwrite_inputs)
{
    temp_dir dir;
    course_files f = write_course(dir);
    std::filesystem::copy_file(dir.file(f.swoop), dir.file("track.txt"));
    std::string before = read_file(dir.file("track.txt"));

    auto r = cli(dir, { "-i", "track.txt" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR: output file would overwrite input file: track.txt\n");
    EXPECT_FALSE(file_exists(dir.file("track.kml")));

    // The gate's geometry file would replace the swoop given with it.
    std::filesystem::copy_file(dir.file(f.swoop), dir.file("walk.txt"));
    r = cli(dir, { "-g", f.walk, "walk.txt" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR: output file would overwrite input file: walk.txt\n");
    EXPECT_FALSE(file_exists(dir.file("matrix.txt")));

    // A swoop named like matrix.txt, a container named .skm with -d.
    std::filesystem::copy_file(dir.file(f.swoop), dir.file("matrix.txt"));
    r = cli(dir, { "-g", f.walk, "matrix.txt" });
    EXPECT_EQ(r.status, 1);
    r = cli(dir, { "-d", "-i", "x.skm" });
    EXPECT_EQ(r.status, 1); // x.skm does not exist: nothing to protect, the load fails
    EXPECT_EQ(r.out.rfind("ERROR: failed to open file: x.skm", 0), 0u) << r.out;
    EXPECT_EQ(read_file(dir.file("track.txt")), before);
}

TEST(runs, empty_container_stops_before_writing)
{
    temp_dir dir;
    const char* err = nullptr;
    swoop_container_write(dir.file("empty.skm").c_str(), nullptr, 0, &err);
    ASSERT_EQ(err, nullptr);
    auto r = cli(dir, { "-i", "empty.skm" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR: no points found in track\n");
    EXPECT_FALSE(file_exists(dir.file("empty.kml")));
}

TEST(runs, unwritable_outputs_fail_with_status_1)
{
    temp_dir dir;
    course_files f = write_course(dir);
    // A folder in the way of an output cannot be written, even by root.
    std::filesystem::create_directory(dir.file("swoop.kml"));
    auto r = cli(dir, { "-i", f.swoop });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR: failed to open file: swoop.kml\n");
    std::filesystem::remove(dir.file("swoop.kml"));

    std::filesystem::create_directory(dir.file("swoop.txt"));
    r = cli(dir, { "-i", f.swoop });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR: failed to open file: swoop.txt\n"), std::string::npos) << r.out;
    std::filesystem::remove(dir.file("swoop.txt"));

    std::filesystem::create_directory(dir.file("swoop.pdf"));
    r = cli(dir, { "-i", f.swoop });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR: failed to write file: swoop.pdf\n"), std::string::npos) << r.out;
}
