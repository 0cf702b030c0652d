// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/files/container.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>

#include "core/track/csv_reader.h"
#include "core/track/track_load.h"
#include "tests/support/test_support.h"

namespace {

using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

std::string from_hex(const char* hex)
{
    std::string bytes;
    for (const char* p = hex; *p; ++p) {
        if (*p == ' ')
            continue;
        bytes += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
        ++p;
    }
    return bytes;
}

// A swoop container of one sample, from the layout: file header, section
// table entry (type 1 at 42, 78 bytes), section header (8, 70, n = 1), sample.
const char* const swoop_golden
    = "75534b4d 001a 000000000000001a 0010 0001 0000000000000000"
      "00000001 000000000000002a 0000004e"
      "0008 0046 00000001"
      "0000016bf138ab68 4047c00000000000 c020800000000000 407c200000000000"
      "3ff0000000000000 c000000000000000 3fe0000000000000 3fc00000 40200000 3e800000 03 0c";

// A gate container: type 2 at 42, 176 bytes; header 144, matrix, theta 0.25,
// sample size 16, two pond points (1, 2) and (0.5, -2).
const char* const gate_golden = "75534b4d 001a 000000000000001a 0010 0001 0000000000000000"
                                "00000002 000000000000002a 000000b0"
                                "0090"
                                "3ff0000000000000 0000000000000000 0000000000000000 4029000000000000"
                                "0000000000000000 3ff0000000000000 0000000000000000 c008000000000000"
                                "0000000000000000 0000000000000000 3ff0000000000000 4059000000000000"
                                "0000000000000000 0000000000000000 0000000000000000 3ff0000000000000"
                                "3fd0000000000000 0010 00000002"
                                "3ff0000000000000 4000000000000000 3fe0000000000000 c000000000000000";

gps_point golden_sample()
{
    gps_point p {};
    p.time = 1563120151400;
    p.pos_wgs84 = { 47.5, -8.25, 450 };
    p.vel_ltp = { 1, -2, 0.5 };
    p.hacc = 1.5f;
    p.vacc = 2.5f;
    p.sacc = 0.25f;
    p.gpsfix = 3;
    p.numsv = 12;
    p.pos_local = { 7, 8, 9 }; // derived fields are not stored
    p.turn_rate = 5;
    return p;
}

frame_matrix golden_matrix()
{
    frame_matrix m = frame_identity();
    m[0][3] = 12.5;
    m[1][3] = -3;
    m[2][3] = 100;
    return m;
}

std::string message(const char* err)
{
    return err ? err : "";
}

std::string read_swoop(const std::string& path, gps_track& track)
{
    const char* err = nullptr;
    swoop_container_read(path.c_str(), track, &err);
    return message(err);
}

std::string read_gate(const std::string& path, gate_data& gate)
{
    const char* err = nullptr;
    gate_container_read(path.c_str(), gate, &err);
    return message(err);
}

TEST(container, big_endian_helpers)
{
    uint8_t b[8];
    be_encode(0x0102030405060708u, 8, b);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 8), from_hex("0102030405060708"));
    EXPECT_EQ(be_decode(b, 8), 0x0102030405060708u);
    be_encode(0xA1B2C3D4u, 4, b);
    EXPECT_EQ(be_decode(b, 4), 0xA1B2C3D4u);
    EXPECT_EQ(b[0], 0xA1);
    be_encode(0x1234, 2, b);
    EXPECT_EQ(be_decode(b, 2), 0x1234u);
    EXPECT_EQ(b[1], 0x34);
    be_encode(0xFE, 1, b);
    EXPECT_EQ(be_decode(b, 1), 0xFEu);
}

TEST(container, writers_produce_the_layout_byte_for_byte)
{
    temp_dir dir;
    gps_point p = golden_sample();
    const char* err = nullptr;
    swoop_container_write(dir.file("s.skm").c_str(), &p, 1, &err);
    ASSERT_EQ(message(err), "");
    EXPECT_EQ(read_file(dir.file("s.skm")), from_hex(swoop_golden));

    // The pond ends at the first all-zero point.
    gate_container_write(dir.file("g.skm").c_str(), golden_matrix(), 0.25,
        { { 1, 2, 7 }, { 0.5, -2, 0 }, { 0, 0, 0 }, { 9, 9, 9 } }, &err);
    ASSERT_EQ(message(err), "");
    EXPECT_EQ(read_file(dir.file("g.skm")), from_hex(gate_golden));
}

TEST(container, readers_take_the_golden_files)
{
    temp_dir dir;
    write_file(dir.file("s.skm"), from_hex(swoop_golden));
    gps_track track;
    ASSERT_EQ(read_swoop(dir.file("s.skm"), track), "");
    ASSERT_EQ(track.count, 1u);
    gps_point expected = golden_sample();
    expected.pos_local = { 0, 0, 0 };
    expected.turn_rate = 0;
    EXPECT_EQ(std::memcmp(&track.gps_points[0], &expected, sizeof expected), 0);

    write_file(dir.file("g.skm"), from_hex(gate_golden));
    gate_data gate;
    gate.track.resize(3); // not touched
    ASSERT_EQ(read_gate(dir.file("g.skm"), gate), "");
    EXPECT_EQ(gate.matrix, golden_matrix());
    EXPECT_EQ(gate.theta, 0.25);
    EXPECT_EQ(gate.pond, (std::vector<vec3> { { 1, 2, 0 }, { 0.5, -2, 0 }, { 0, 0, 0 } }));
    EXPECT_EQ(gate.track.size(), 3u);
}

TEST(container, text_track_round_trip_keeps_raw_fields_bit_for_bit)
{
    temp_dir dir;
    std::string text = "time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,gpsFix,numSV\n\n";
    for (int i = 0; i < 50; ++i) {
        text += "2019-07-14T16:02:" + std::to_string(10 + i / 5) + "." + std::to_string(i % 5 * 2)
            + "00Z,47.123456" + std::to_string(i % 10) + ",-8.7654321,456.7" + std::to_string(i)
            + ",-1.234,0.1,1e-7,0.333,2.71828,0.1," + std::to_string(i % 4) + "," + std::to_string(i) + "\n";
    }
    write_file(dir.file("t.csv"), text);
    gps_track original;
    const char* err = nullptr;
    track_read_csv(dir.file("t.csv").c_str(), original, &err);
    ASSERT_EQ(message(err), "");
    original.gps_points[0].time = -1234567; // a negative time survives as well
    original.gps_points[1].vel_ltp[0] = -0.0;
    for (gps_point& p : original.gps_points)
        p.acc_local = { 1, 2, 3 };
    swoop_container_write(dir.file("t.skm").c_str(), original.gps_points.data(), original.count, &err);
    ASSERT_EQ(message(err), "");
    EXPECT_EQ(read_file(dir.file("t.skm")).size(), 42u + 8 + 70 * original.count);

    gps_track back;
    ASSERT_EQ(read_swoop(dir.file("t.skm"), back), "");
    ASSERT_EQ(back.count, original.count);
    EXPECT_EQ(back.gps_points.size(), back.count);
    for (uint32_t i = 0; i < back.count; ++i) {
        gps_point expected {};
        std::memcpy(&expected, &original.gps_points[i], offsetof(gps_point, numsv) + 1);
        EXPECT_EQ(std::memcmp(&back.gps_points[i], &expected, sizeof expected), 0) << "sample " << i;
    }
}

TEST(container, gate_round_trip_with_and_without_pond)
{
    temp_dir dir;
    const char* err = nullptr;
    std::vector<vec3> pond
        = { { 1, 1, 0 }, { 2, 3, 0 }, { -4, 5, 0 }, { 6, -7.5, 0 }, { 1, 1, 0 }, { 0, 0, 0 } };
    gate_container_write(dir.file("g.skm").c_str(), golden_matrix(), -1.5, pond, &err);
    gate_data gate;
    ASSERT_EQ(read_gate(dir.file("g.skm"), gate), "");
    EXPECT_EQ(gate.pond, pond);
    EXPECT_EQ(gate.theta, -1.5);

    gate_container_write(dir.file("n.skm").c_str(), golden_matrix(), 0, {}, &err);
    ASSERT_EQ(message(err), "");
    gate_data none;
    ASSERT_EQ(read_gate(dir.file("n.skm"), none), "");
    EXPECT_EQ(none.pond, (std::vector<vec3> { { 0, 0, 0 } }));

    swoop_container_write(dir.file("e.skm").c_str(), nullptr, 0, &err);
    gps_track empty;
    EXPECT_EQ(read_swoop(dir.file("e.skm"), empty), "");
    EXPECT_EQ(empty.count, 0u);
}

TEST(container, reading_errors)
{
    temp_dir dir;
    const std::string swoop = from_hex(swoop_golden);
    const std::string gate = from_hex(gate_golden);
    auto patched = [](std::string bytes, size_t offset, const char* hex) {
        std::string b = from_hex(hex);
        return bytes.replace(offset, b.size(), b);
    };
    struct bad_file {
        std::string bytes;
        bool as_gate;
        const char* message;
    };
    const bad_file cases[] = {
        { swoop.substr(0, 20), false, "failed to read SKM header" },
        { patched(swoop, 3, "4e"), false, "invalid SKM header" },
        { patched(swoop, 4, "001b"), false, "invalid SKM header" },
        { patched(swoop, 14, "0011"), true, "invalid SKM header" },
        { patched(swoop, 16, "0002"), false, "more/less than one section" },
        { patched(swoop, 16, "0000"), true, "more/less than one section" },
        { swoop.substr(0, 41), false, "failed to read section header table entry" },
        { patched(swoop, 6, "00000000000003e8"), false, "failed to read section header table entry" },
        { patched(swoop, 6, "ffffffffffffffff"), false, "failed to read section header table entry" },
        { swoop, true, "not a gate section" },
        { gate, false, "not a swoop section" },
        { swoop.substr(0, 47), false, "failed to read swoop header" },
        { gate.substr(0, 185), true, "failed to read gate header" },
        { patched(swoop, 44, "0047"), false, "invalid swoop header" },
        { patched(swoop, 42, "0009"), false, "invalid swoop header" },
        { patched(gate, 180, "0018"), true, "invalid gate header" },
        { patched(swoop, 38, "0000004f"), false, "incorrect swoop section size" },
        { patched(gate, 38, "000000b1"), true, "incorrect gate section size" },
        { swoop.substr(0, 119), false, "failed to read swoop sample" },
        { gate.substr(0, 217), true, "failed to read gate sample" },
        // A count that the section size confirms but the file cannot hold:
        // refused before anything is allocated.
        { patched(patched(swoop, 38, "042c1d88"), 46, "000f4240"), false, "failed to read swoop sample" },
        { patched(patched(gate, 38, "00f42490"), 182, "000f4240"), true, "failed to read gate sample" },
    };
    for (const bad_file& c : cases) {
        SCOPED_TRACE(c.message);
        write_file(dir.file("bad.skm"), c.bytes);
        gate_data g;
        g.theta = 7;
        g.pond = { { 1, 1, 1 } };
        gps_track t;
        t.count = 5; // records are untouched on failure
        EXPECT_EQ(
            c.as_gate ? read_gate(dir.file("bad.skm"), g) : read_swoop(dir.file("bad.skm"), t), c.message);
        EXPECT_EQ(g.theta, 7);
        EXPECT_EQ(g.pond.size(), 1u);
        EXPECT_EQ(t.count, 5u);
        EXPECT_TRUE(t.gps_points.empty());
    }
    gps_track t;
    std::string missing = dir.file("missing.skm");
    EXPECT_EQ(read_swoop(missing, t), "failed to open file: " + missing);
}

TEST(container, accepts_what_it_does_not_check)
{
    temp_dir dir;
    // Reserved bytes set, the section moved to offset 100, bytes behind it.
    std::string swoop = from_hex(swoop_golden);
    std::string moved = swoop.substr(0, 42) + std::string(58, '\x55') + swoop.substr(42) + "trailing";
    moved.replace(18, 8, "RESERVED");
    moved.replace(30, 8, from_hex("0000000000000064"));
    write_file(dir.file("m.skm"), moved);
    gps_track t;
    ASSERT_EQ(read_swoop(dir.file("m.skm"), t), "");
    EXPECT_EQ(t.gps_points[0].numsv, 12);
}

TEST(container, writing_errors)
{
    const char* err = nullptr;
    gps_point p = golden_sample();
    swoop_container_write("/nonexistent/dir/s.skm", &p, 1, &err);
    EXPECT_EQ(message(err), "failed to open file: /nonexistent/dir/s.skm");
    gate_container_write("/nonexistent/dir/g.skm", golden_matrix(), 0, {}, &err);
    EXPECT_EQ(message(err), "failed to open file: /nonexistent/dir/g.skm");

    // A full disk: the small files sit in the stream's buffer until closed,
    // the large one fails while the samples are written.
    swoop_container_write("/dev/full", &p, 1, &err);
    EXPECT_EQ(message(err), "failed to write swoop sample");
    swoop_container_write("/dev/full", nullptr, 0, &err);
    EXPECT_EQ(message(err), "failed to write swoop header");
    std::vector<gps_point> many(5000, p);
    swoop_container_write("/dev/full", many.data(), 5000, &err);
    EXPECT_EQ(message(err), "failed to write swoop sample");
    gate_container_write("/dev/full", golden_matrix(), 0, { { 1, 2, 0 }, { 0, 0, 0 } }, &err);
    EXPECT_EQ(message(err), "failed to write gate sample");
    gate_container_write("/dev/full", golden_matrix(), 0, {}, &err);
    EXPECT_EQ(message(err), "failed to write gate header");

    // The writers clear the error on entry.
    temp_dir dir;
    swoop_container_write(dir.file("ok.skm").c_str(), &p, 1, &err);
    EXPECT_EQ(err, nullptr);
}

} // namespace
