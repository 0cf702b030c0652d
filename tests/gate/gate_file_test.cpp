// SPDX-License-Identifier: GPL-3.0-or-later
// The gate geometry file: writer output byte for byte, round trips, every
// line kind of the reader and its messages, and the mapping lines.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "core/gate/gate_file.h"
#include "tests/support/test_support.h"

using test_support::read_file;
using test_support::scoped_cwd;
using test_support::temp_dir;
using test_support::write_file;

namespace {

const frame_matrix golden_matrix = { { { 0.123456789012, -0.987654321, 0.5, -1234567.891234 },
    { -0.25, 0.75, -0.0000000004, 9876.5 }, { 0.6, 0.7, 0.8, -6378137.25 }, { 0, 0, 0, 1 } } };

const std::string matrix_rows = "[ 0.1, 0.2, 0.3, 10.0]\n"
                                "[ 0.4, 0.5, 0.6, 20.0]\n"
                                "[ 0.7, 0.8, 0.9, 30.0]\n"
                                "[ 0.0, 0.0, 0.0, 1.0]\n";

struct read_out {
    std::unique_ptr<frame_matrix> matrix;
    std::vector<vec3> pond;
    double theta = 99; // degrees; a value the reader must either set or leave
    const char* err = nullptr;
    std::string message() const { return err ? err : ""; }
};

read_out read_gate(const std::string& path, const char* swoop = "swoop.csv")
{
    read_out r;
    r.pond.push_back({ 1, 2, 3 }); // must be cleared on entry
    gate_file_read(path.c_str(), swoop, &r.matrix, &r.pond, &r.theta, &r.err);
    return r;
}

// Writes content to name in dir and reads it back.
read_out read_text(const temp_dir& dir, const std::string& content, const char* swoop = "swoop.csv")
{
    write_file(dir.file("gate.txt"), content);
    return read_gate(dir.file("gate.txt"), swoop);
}

} // namespace

TEST(gate_file_write, matches_the_golden_file_and_copies_it_to_matrix_txt)
{
    temp_dir dir;
    scoped_cwd cwd(dir.path());
    // Five points: four plus the closing one, then the terminator.
    std::vector<vec3> pond = { { 1.26, 2.0, 0.4 }, { -10.04, 3.5, 0 }, { 100, -200, 0 }, { 0.55, 0, 0 },
        { 1.26, 2.0, 0.4 }, { 0, 0, 0 } };
    const char* err = nullptr;
    gate_file_write("walk.txt", golden_matrix, -12.345678912, pond, &err);
    ASSERT_EQ(err, nullptr) << err;
    std::string golden = read_file(test_support::data_file("gate/written_gate.txt"));
    EXPECT_EQ(read_file(dir.file("walk.txt")), golden);
    EXPECT_EQ(read_file(dir.file("matrix.txt")), golden);
}

TEST(gate_file_write, theta_zero_and_no_pond_write_only_the_matrix)
{
    temp_dir dir;
    scoped_cwd cwd(dir.path());
    const char* err = nullptr;
    gate_file_write("walk.txt", golden_matrix, 0.0, {}, &err);
    ASSERT_EQ(err, nullptr) << err;
    std::string golden = read_file(test_support::data_file("gate/written_gate.txt"));
    std::string text = read_file(dir.file("walk.txt"));
    EXPECT_EQ(text, golden.substr(0, golden.find("\n// This value")));
    EXPECT_EQ(text.find("theta"), std::string::npos);

    read_out r = read_gate(dir.file("walk.txt"));
    ASSERT_EQ(r.err, nullptr) << r.message();
    EXPECT_EQ(r.theta, 0.0);
    EXPECT_TRUE(r.pond.empty());
}

TEST(gate_file_write, pond_line_layout)
{
    temp_dir dir;
    scoped_cwd cwd(dir.path());
    const std::string header = "\n// These (x, y) coordinates define the perimeter of the swoop pond.\n"
                               "// They are expressed in meters in the local reference frame.\n\n";
    auto pond_text = [&](const std::vector<vec3>& pond) {
        const char* err = nullptr;
        gate_file_write("walk.txt", golden_matrix, 0.0, pond, &err);
        EXPECT_EQ(err, nullptr);
        std::string text = read_file(dir.file("walk.txt"));
        size_t at = text.find(header);
        return at == std::string::npos ? std::string("<none>") : text.substr(at + header.size());
    };
    // A terminator alone: the comment lines and no point line.
    EXPECT_EQ(pond_text({ { 0, 0, 0 } }), "");
    // Exactly four points: one full line, no extra line feed.
    EXPECT_EQ(pond_text({ { 1, 1, 0 }, { 2, 2, 0 }, { 3, 3, 0 }, { 1, 1, 0 }, { 0, 0, 0 } }),
        "(   1.0,    1.0),  (   2.0,    2.0),  (   3.0,    3.0),  (   1.0,    1.0),\n");
    // A vertex at (0, 0) with a height still counts; only an all-zero point ends the pond.
    EXPECT_EQ(pond_text({ { 0, 0, 0.5 }, { 2, 2, 0 }, { 0, 0, 0 }, { 7, 7, 0 } }),
        "(   0.0,    0.0),  (   2.0,    2.0),\n");
}

TEST(gate_file_write, failures_are_reported)
{
    temp_dir dir;
    scoped_cwd cwd(dir.path());
    const char* err = nullptr;
    std::string missing = dir.file("no/such/dir/walk.txt");
    gate_file_write(missing.c_str(), golden_matrix, 0.0, {}, &err);
    EXPECT_STREQ(err, ("failed to open file: " + missing).c_str());

    // A full disk: the buffered text fails when it is flushed at the close.
    if (std::filesystem::exists("/dev/full")) {
        err = nullptr;
        gate_file_write("/dev/full", golden_matrix, 0.0, {}, &err);
        EXPECT_STREQ(err, "failed to write file: /dev/full");
        EXPECT_FALSE(test_support::file_exists(dir.file("matrix.txt")));
    }

    // The copy keeps its own messages.
    std::filesystem::create_directory(dir.file("matrix.txt"));
    err = nullptr;
    gate_file_write("walk.txt", golden_matrix, 0.0, {}, &err);
    EXPECT_STREQ(err, "could not open matrix.txt for writing");
}

TEST(gate_file_write, writing_matrix_txt_itself_keeps_its_content)
{
    // A gate log named matrix.csv has its geometry file named matrix.txt.
    temp_dir dir;
    scoped_cwd cwd(dir.path());
    const char* err = nullptr;
    gate_file_write("matrix.txt", golden_matrix, 1.5, {}, &err);
    ASSERT_EQ(err, nullptr) << err;
    read_out r = read_gate(dir.file("matrix.txt"));
    ASSERT_EQ(r.err, nullptr) << r.message();
    EXPECT_EQ(r.theta, 1.5);
}

TEST(gate_file, round_trip_keeps_matrix_theta_and_pond)
{
    temp_dir dir;
    scoped_cwd cwd(dir.path());
    const frame_matrix m = { { { -0.412345678912, 0.876543210987, 0.2481632641, 2222.718281828 },
        { -0.91, -0.39, 0.123456789123, -4321.0987654 }, { 0.0312, 0.275, 0.96, -6367512.3456789 },
        { 0, 0, 0, 1 } } };
    std::vector<vec3> pond;
    for (int k = 0; k < 37; ++k)
        pond.push_back({ 30 * std::cos(k * 0.17) + 0.04, -22.5 * std::sin(k * 0.17) - 0.03, 1.7 });
    pond.push_back(pond.front());
    pond.push_back({ 0, 0, 0 });
    const char* err = nullptr;
    gate_file_write("walk.txt", m, 17.123456789, pond, &err);
    ASSERT_EQ(err, nullptr) << err;

    read_out r = read_gate(dir.file("matrix.txt"));
    ASSERT_EQ(r.err, nullptr) << r.message();
    ASSERT_TRUE(r.matrix);
    for (int row = 0; row < 4; ++row) {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR((*r.matrix)[row][c], m[row][c], 0.5e-9) << row << "," << c;
        EXPECT_NEAR((*r.matrix)[row][3], m[row][3], 0.5e-3) << row;
    }
    EXPECT_NEAR(r.theta, 17.123456789, 0.5e-8);
    ASSERT_EQ(r.pond.size(), pond.size());
    for (size_t k = 0; k + 1 < pond.size(); ++k) {
        EXPECT_NEAR(r.pond[k][0], pond[k][0], 0.05 + 1e-6) << k;
        EXPECT_NEAR(r.pond[k][1], pond[k][1], 0.05 + 1e-6) << k;
        EXPECT_EQ(r.pond[k][2], 0.0); // heights are not kept
    }
    EXPECT_EQ(r.pond.back(), (vec3 { 0, 0, 0 }));
}

TEST(gate_file_read, line_kinds)
{
    temp_dir dir;
    // Comments, empty lines, a theta line, pond lines with one to four points,
    // extra blanks and a trailing comma.
    read_out r = read_text(dir,
        "// comment\n\n" + matrix_rows
            + "\ntheta =   -3.25\n"
              "(1.1, 2.2)\n"
              "(3.0,4.0),(5.0,  6.0),\n"
              "(7, 8), (9, 10), (11, 12), (13, 14),  \n");
    ASSERT_EQ(r.err, nullptr) << r.message();
    ASSERT_TRUE(r.matrix);
    EXPECT_EQ((*r.matrix)[1][3], 20.0);
    EXPECT_EQ((*r.matrix)[2][1], 0.8);
    EXPECT_EQ(r.theta, -3.25);
    ASSERT_EQ(r.pond.size(), 8u);
    // Pond numbers are read in single precision.
    EXPECT_EQ(r.pond[0], (vec3 { static_cast<double>(1.1f), static_cast<double>(2.2f), 0 }));
    EXPECT_EQ(r.pond[6], (vec3 { 13, 14, 0 }));
    EXPECT_EQ(r.pond[7], (vec3 { 0, 0, 0 }));

    // CR LF line ends are read like LF.
    std::string crlf = "// comment\r\n" + matrix_rows + "theta = 2.5\r\n(1, 2)\r\n";
    for (size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
        if (at == 0 || crlf[at - 1] != '\r')
            crlf.insert(at, "\r");
    r = read_text(dir, crlf);
    ASSERT_EQ(r.err, nullptr) << r.message();
    EXPECT_EQ(r.theta, 2.5);
    EXPECT_EQ(r.pond.size(), 2u);
}

TEST(gate_file_read, malformed_lines)
{
    temp_dir dir;
    std::string parse = "failed to parse " + dir.file("gate.txt");
    std::string invalid = "invalid line in " + dir.file("gate.txt");
    struct bad_case {
        std::string text;
        std::string message;
    } cases[] = {
        { matrix_rows + "\r\n", invalid }, // empty line with CR LF
        { matrix_rows + "/ not a comment\n", invalid },
        { matrix_rows + " (1, 2)\n", invalid },
        { matrix_rows + "theta=1\n", invalid },
        { "[1, 2, 3]\n" + matrix_rows, parse }, // three numbers
        { matrix_rows + "[0, 0, 0, 1]\n", parse }, // five rows
        { matrix_rows.substr(0, matrix_rows.rfind('[')), parse }, // three rows
        { "", parse },
        { matrix_rows + "(1, 2), (3)\n", parse }, // odd count
        { matrix_rows + "(x, y)\n", parse },
        { matrix_rows + "theta = x\n", parse },
        { matrix_rows + "2019\n", parse }, // mapping without target
        { matrix_rows + "2019 other.txt\n", parse },
        { "* - nosuchfile.txt\n" + matrix_rows, "failed to open file: nosuchfile.txt" },
    };
    for (const bad_case& c : cases) {
        read_out r = read_text(dir, c.text);
        EXPECT_EQ(r.message(), c.message) << c.text;
        EXPECT_FALSE(r.matrix) << c.text;
        EXPECT_TRUE(r.pond.empty()) << c.text;
        EXPECT_EQ(r.theta, 99) << c.text;
    }
    read_out r = read_gate(dir.file("missing.txt"));
    EXPECT_EQ(r.message(), "failed to open file: " + dir.file("missing.txt"));
}

TEST(gate_file_read, long_lines_are_read_in_pieces)
{
    temp_dir dir;
    // A comment of more than 99 characters: its second piece is a line of its own.
    std::string long_comment = "//" + std::string(120, '-') + "\n";
    EXPECT_EQ(
        read_text(dir, long_comment + matrix_rows).message(), "invalid line in " + dir.file("gate.txt"));
    // Patterns and targets longer than the line piece stay inside their buffers.
    EXPECT_EQ(read_text(dir, std::string(300, '7') + " - x\n" + matrix_rows, "7").message(),
        "failed to parse " + dir.file("gate.txt"));
    read_out r = read_text(dir, "7 - " + std::string(300, 'a') + "\n" + matrix_rows, "7");
    EXPECT_EQ(r.message(), "failed to open file: " + std::string(95, 'a'));
}

TEST(gate_file_read, mapping_lines)
{
    temp_dir dir;
    write_file(dir.file("other.txt"), matrix_rows + "theta = 7\n(5, 6)\n");

    // "*" with "nogate" before the matrix: no gate for anyone.
    read_out r = read_text(dir, "* - nogate\n" + matrix_rows + "(1, 2)\n");
    EXPECT_EQ(r.err, nullptr);
    EXPECT_FALSE(r.matrix);
    EXPECT_TRUE(r.pond.empty());
    EXPECT_EQ(r.theta, 99);

    // A name prefix with a quoted target; what the file held before is dropped.
    std::string text = "(1, 2)\ntheta = 3\n2019 - \"" + dir.file("other.txt") + "\"\n" + matrix_rows;
    r = read_text(dir, text, "2019-07-14-swoop.csv");
    ASSERT_EQ(r.err, nullptr) << r.message();
    ASSERT_TRUE(r.matrix);
    EXPECT_EQ(r.theta, 7);
    ASSERT_EQ(r.pond.size(), 2u);
    EXPECT_EQ(r.pond[0], (vec3 { 5, 6, 0 }));

    // Other swoops read on.
    r = read_text(dir, text, "2018-07-14-swoop.csv");
    ASSERT_EQ(r.err, nullptr) << r.message();
    EXPECT_EQ(r.theta, 3);
    ASSERT_EQ(r.pond.size(), 2u);
    EXPECT_EQ(r.pond[0], (vec3 { 1, 2, 0 }));

    // "nogate" reached through a nested file.
    write_file(dir.file("none.txt"), "* - nogate\n");
    r = read_text(dir, "20 - " + dir.file("none.txt") + "\n" + matrix_rows, "2020.csv");
    EXPECT_EQ(r.err, nullptr);
    EXPECT_FALSE(r.matrix);

    // Only mapping lines, none of which applies.
    r = read_text(dir, "2019 - nogate\n2020 - other.txt\n", "2021.csv");
    EXPECT_EQ(r.message(), "failed to parse " + dir.file("gate.txt"));
}

TEST(gate_file_read, mapping_depth_is_limited)
{
    temp_dir dir;
    // A file that maps to itself.
    std::string self = dir.file("self.txt");
    write_file(self, "* - " + self + "\n");
    read_out r = read_gate(self);
    EXPECT_EQ(r.message(), "too many nested mapping lines in " + self);
    EXPECT_FALSE(r.matrix);

    // Two files mapping to each other: the 33rd level would start from a.txt.
    write_file(dir.file("a.txt"), "* - " + dir.file("b.txt") + "\n");
    write_file(dir.file("b.txt"), "* - " + dir.file("a.txt") + "\n");
    r = read_gate(dir.file("a.txt"));
    EXPECT_EQ(r.message(), "too many nested mapping lines in " + dir.file("a.txt"));

    // A chain of 32 mapping lines is still followed; 33 are not.
    auto chain = [&](int hops) {
        for (int k = 0; k < hops; ++k)
            write_file(dir.file("c" + std::to_string(k) + ".txt"),
                "* - " + dir.file("c" + std::to_string(k + 1) + ".txt") + "\n");
        write_file(dir.file("c" + std::to_string(hops) + ".txt"), matrix_rows);
        return read_gate(dir.file("c0.txt"));
    };
    r = chain(32);
    EXPECT_EQ(r.err, nullptr) << r.message();
    EXPECT_TRUE(r.matrix);
    r = chain(33);
    EXPECT_EQ(r.message(), "too many nested mapping lines in " + dir.file("c32.txt"));
}
