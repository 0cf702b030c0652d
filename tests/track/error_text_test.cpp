// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/error_text.h"

#include <gtest/gtest.h>

#include <string>

#include "core/track/gps_point.h"
#include "tests/support/test_support.h"

namespace {

using test_support::file_exists;
using test_support::temp_dir;

TEST(strbuf, grows_by_doubling_and_keeps_the_text)
{
    const char* err = nullptr;
    strbuf sb;
    ASSERT_TRUE(strbuf_new(sb, &err));
    EXPECT_EQ(sb.size, 1024u);
    std::string long_text(1500, 'a');
    strbuf_printf(sb, "%s", long_text.c_str());
    EXPECT_EQ(sb.size, 2048u);
    EXPECT_EQ(strbuf_text(sb), long_text);
    EXPECT_EQ(sb.buf[sb.len], '\0');

    strbuf edge;
    ASSERT_TRUE(strbuf_new(edge, &err));
    strbuf_printf(edge, "%s", std::string(1023, 'b').c_str());
    EXPECT_EQ(edge.size, 1024u);
    strbuf_printf(edge, "%c", 'c');
    EXPECT_EQ(edge.size, 2048u);
    EXPECT_EQ(strbuf_text(edge), std::string(1023, 'b') + "c");
    strbuf_printf(edge, "%d-%s", 42, "x");
    EXPECT_EQ(strbuf_text(edge), std::string(1023, 'b') + "c42-x");
    EXPECT_EQ(err, nullptr);
}

TEST(errmsg, cuts_at_255_characters_and_shares_one_buffer)
{
    std::string path = "/" + std::string(400, 'p');
    std::string expected = ("failed to open file: " + path).substr(0, 255);
    EXPECT_EQ(std::string(errmsg("failed to open file: %s", path.c_str())), expected);

    const char* first = errmsg("failed to open file: %s", "a.csv");
    const char* second = errmsg("invalid time field");
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "invalid time field");
}

TEST(file_copy, copies_bytes_and_names_the_failing_file)
{
    temp_dir dir;
    std::string content("line 1\r\nbinary \0\xff end", 22);
    test_support::write_file(dir.file("src"), content);
    const char* err = nullptr;
    file_copy(dir.file("dst").c_str(), dir.file("src").c_str(), &err);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(test_support::read_file(dir.file("dst")), content);

    file_copy(dir.file("out").c_str(), dir.file("missing").c_str(), &err);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(std::string(err), "could not open " + dir.file("missing") + " for reading");
    EXPECT_FALSE(file_exists(dir.file("out")));

    err = nullptr;
    file_copy(dir.file("no/such/dir").c_str(), dir.file("src").c_str(), &err);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(std::string(err), "could not open " + dir.file("no/such/dir") + " for writing");

    err = nullptr;
    file_copy("/dev/full", dir.file("src").c_str(), &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "failure during write to /dev/full");
}

TEST(gps_track, grows_from_4096_to_8192_and_zeroes_new_slots)
{
    gps_track track;
    const char* err = nullptr;
    for (uint32_t i = 0; i < 4097; ++i) {
        gps_point* p = gps_track_append(track, &err);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(track.capacity, i < 4096 ? 4096u : 8192u);
        EXPECT_EQ(p->gpsfix, 0);
        EXPECT_EQ(p->time, 0);
        p->time = i;
        ++track.count;
    }
    EXPECT_EQ(track.gps_points.size(), 8192u);
    EXPECT_EQ(track.gps_points[4095].time, 4095);
    EXPECT_EQ(track.gps_points[4096].time, 4096);
    gps_track_clear(track);
    EXPECT_TRUE(track.gps_points.empty());
    EXPECT_EQ(track.count, 0u);
    EXPECT_EQ(track.capacity, 0u);
}

} // namespace
