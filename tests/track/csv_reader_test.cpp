// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include <sys/stat.h>

#include "core/track/line_reader.h"
#include "tests/support/test_support.h"

namespace {

using test_support::temp_dir;
using test_support::write_file;

const char* const header = "time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,heading,cAcc,gpsFix,numSV";
const char* const units = ",(deg),(deg),(m),(m/s),(m/s),(m/s),(m),(m),(m/s),(deg),(deg),,";
const char* const row_a
    = "2019-07-14T16:02:31.400Z,47.1234567,8.7654321,456.789,-1.25,2.5,-0.75,1.5,2.25,0.5,123.4,1.5,3,14";
const char* const row_b = "2019-07-14T16:02:31.600Z,47.25,8.5,450.5,-1.5,2.75,-1,1.75,2.5,0.25,120,1,3,15";
const int64_t row_a_time = 1563120151400; // 2019-07-14T16:02:31.400 read as UTC

struct read_result {
    gps_track track;
    std::string err; // "" on success
};

read_result read_text(const std::string& content, bool record_dialect = false)
{
    temp_dir dir;
    std::string path = dir.file("track.csv");
    write_file(path, content);
    read_result r;
    const char* err = nullptr;
    if (record_dialect)
        track_read_gnss(path.c_str(), r.track, &err);
    else
        track_read_csv(path.c_str(), r.track, &err);
    if (err) {
        r.err = err;
        EXPECT_TRUE(r.track.gps_points.empty()) << "a failed read leaves no track";
    }
    return r;
}

std::string lines(std::initializer_list<std::string> parts, const std::string& end = "\n")
{
    std::string s;
    for (const std::string& p : parts)
        s += p + end;
    return s;
}

std::string field_file(std::initializer_list<std::string> rows, const std::string& end = "\n")
{
    return std::string(header) + end + units + end + lines(rows, end);
}

void expect_same_raw(const gps_point& a, const gps_point& b)
{
    EXPECT_EQ(a.time, b.time);
    EXPECT_EQ(a.pos_wgs84, b.pos_wgs84);
    EXPECT_EQ(a.vel_ltp, b.vel_ltp);
    EXPECT_EQ(a.hacc, b.hacc);
    EXPECT_EQ(a.vacc, b.vacc);
    EXPECT_EQ(a.sacc, b.sacc);
    EXPECT_EQ(a.gpsfix, b.gpsfix);
    EXPECT_EQ(a.numsv, b.numsv);
}

TEST(csv_reader, field_name_dialect_fills_every_raw_field)
{
    read_result r = read_text(field_file({ row_a, row_b }));
    ASSERT_EQ(r.err, "");
    ASSERT_EQ(r.track.count, 2u);
    EXPECT_EQ(r.track.capacity, 4096u);
    const gps_point& p = r.track.gps_points[0];
    EXPECT_EQ(p.time, row_a_time);
    EXPECT_EQ(p.pos_wgs84, (vec3 { 47.1234567, 8.7654321, 456.789 }));
    EXPECT_EQ(p.vel_ltp, (vec3 { -1.25, 2.5, -0.75 }));
    EXPECT_EQ(p.hacc, 1.5f);
    EXPECT_EQ(p.vacc, 2.25f);
    EXPECT_EQ(p.sacc, 0.5f);
    EXPECT_EQ(p.gpsfix, 3);
    EXPECT_EQ(p.numsv, 14);
    EXPECT_EQ(r.track.gps_points[1].time, row_a_time + 200);
}

TEST(csv_reader, record_dialect_reads_gnss_rows_after_the_column_line)
{
    std::string content = lines({
        "$GNSS,2019-07-14T16:00:00.000Z,1,1,1,1,1,1,1,1,1,1,1,1,1", // before the column line: ignored
        std::string("$COL,GNSS,") + header,
        std::string("$UNIT,GNSS,") + units,
        std::string("$GNSS,") + row_a,
        "$COL,GNSS,time,numSV", // a later column line changes nothing
        "$VAR,FIRMWARE_VER,v2.0",
        std::string("$GNSS,") + row_b,
    });
    read_result r = read_text(content, true);
    ASSERT_EQ(r.err, "");
    ASSERT_EQ(r.track.count, 2u);
    read_result f = read_text(field_file({ row_a, row_b }));
    expect_same_raw(r.track.gps_points[0], f.track.gps_points[0]);
    expect_same_raw(r.track.gps_points[1], f.track.gps_points[1]);
}

TEST(csv_reader, line_ends_read_alike_and_blank_lines_are_skipped)
{
    read_result lf = read_text(field_file({ row_a, "", row_b }, "\n"));
    ASSERT_EQ(lf.err, "");
    ASSERT_EQ(lf.track.count, 2u);
    for (const char* end : { "\r\n", "\r", "\n\r", "\r\r\n" }) {
        SCOPED_TRACE(testing::PrintToString(std::string(end)));
        for (bool record : { false, true }) {
            std::string content = record
                ? lines({ std::string("$COL,GNSS,") + header, std::string("$GNSS,") + row_a, "",
                            std::string("$GNSS,") + row_b },
                    end)
                : field_file({ row_a, "", row_b }, end);
            read_result r = read_text(content, record);
            ASSERT_EQ(r.err, "");
            ASSERT_EQ(r.track.count, 2u);
            expect_same_raw(r.track.gps_points[0], lf.track.gps_points[0]);
            expect_same_raw(r.track.gps_points[1], lf.track.gps_points[1]);
        }
    }
}

// CR CR LF is one line end (also where a block of the file ends inside it);
// CR CR without LF still ends a line and an empty one after it.
TEST(csv_reader, cr_cr_lf_is_one_line_end)
{
    std::string pad_header = std::string(header) + ",pad";
    for (size_t split : { 1, 2, 3 }) {
        SCOPED_TRACE(split);
        std::string start = pad_header + "\r\r\n" + units + "\r\r\n";
        std::string row = std::string(row_a) + ",";
        row += std::string(csv_block_size - start.size() - row.size() - split, 'x');
        read_result r = read_text(start + row + "\r\r\n" + row_b + ",x\r\r\n");
        ASSERT_EQ(r.err, "");
        ASSERT_EQ(r.track.count, 2u);
        EXPECT_EQ(r.track.gps_points[1].time, row_a_time + 200);
    }
    read_result cut = read_text(field_file({ row_a }, "\r\r\n") + row_b + "\r\r");
    ASSERT_EQ(cut.err, "");
    EXPECT_EQ(cut.track.count, 2u);
    read_result lone
        = read_text(std::string("$COL,GNSS,") + header + "\r\r$GNSS," + row_a + "\r\r\r\n", true);
    ASSERT_EQ(lone.err, "");
    EXPECT_EQ(lone.track.count, 1u);
    // The empty line after CR CR is the units line; the real one is a row.
    EXPECT_EQ(read_text(field_file({ row_a }, "\r\r")).err, "invalid time field");
}

TEST(csv_reader, complete_last_line_without_line_end_is_read)
{
    read_result r = read_text(field_file({ row_a }) + row_b);
    ASSERT_EQ(r.err, "");
    EXPECT_EQ(r.track.count, 2u);
    read_result g = read_text(std::string("$COL,GNSS,") + header + "\r\n$GNSS," + row_a, true);
    ASSERT_EQ(g.err, "");
    EXPECT_EQ(g.track.count, 1u);
}

// A logger that loses power leaves a cut last line; it must not spoil the
// track (a half-filled sample would put the jump at latitude 0).
TEST(csv_reader, cut_last_line_is_dropped)
{
    std::string b(row_b);
    for (size_t cut : { size_t { 10 }, size_t { 23 }, b.find(",8.5") + 2, b.rfind(',') }) {
        SCOPED_TRACE(b.substr(0, cut));
        read_result r = read_text(field_file({ row_a }) + b.substr(0, cut));
        ASSERT_EQ(r.err, "");
        EXPECT_EQ(r.track.count, 1u);
        read_result g = read_text(
            std::string("$COL,GNSS,") + header + "\n$GNSS," + row_a + "\n$GNSS," + b.substr(0, cut), true);
        ASSERT_EQ(g.err, "");
        EXPECT_EQ(g.track.count, 1u);
    }
    // The only row cut: nothing left.
    EXPECT_EQ(read_text(field_file({}) + "2019-07-14T16:0").err, "no GPS points found");
}

TEST(csv_reader, incomplete_lines_with_line_end_behave_as_before)
{
    // Fewer fields: counted, the missing columns 0 (even in a slot that an
    // abandoned longer row filled before).
    std::string longer = std::string(row_b) + ",extra";
    read_result r = read_text(field_file({ row_a, longer, "2019-07-14T16:02:32.000Z,47.5" }));
    ASSERT_EQ(r.err, "");
    ASSERT_EQ(r.track.count, 2u);
    const gps_point& p = r.track.gps_points[1];
    EXPECT_EQ(p.pos_wgs84, (vec3 { 47.5, 0, 0 }));
    EXPECT_EQ(p.vel_ltp, (vec3 { 0, 0, 0 }));
    EXPECT_EQ(p.hacc, 0.0f);
    EXPECT_EQ(p.numsv, 0);
    // A cut time field with a line end, or anywhere but the last line, fails.
    EXPECT_EQ(read_text(field_file({ row_a, "2019-07-14T16:0" })).err, "invalid time field");
    EXPECT_EQ(read_text(field_file({ "2019-07-14T16:0" }) + row_a).err, "invalid time field");
}

TEST(csv_reader, line_length_limit_is_32767_bytes_with_line_end)
{
    std::string pad_header = std::string(header) + ",pad";
    auto padded_row = [](size_t length_with_end, const std::string& end) {
        std::string row = std::string(row_a) + ",";
        return row + std::string(length_with_end - row.size() - end.size(), 'x') + end;
    };
    for (const std::string end : { "\n", "\r\n" }) {
        std::string start = pad_header + end + units + end;
        read_result fits = read_text(start + padded_row(32767, end) + row_b + ",x" + end);
        ASSERT_EQ(fits.err, "");
        EXPECT_EQ(fits.track.count, 2u);
        EXPECT_EQ(read_text(start + padded_row(32768, end) + row_b + end).err,
            "line length exceeded size of buffer");
    }
    // A last line without line end may use all but one byte of the block.
    std::string start = pad_header + "\n" + units + "\n";
    EXPECT_EQ(read_text(start + padded_row(32767, "")).track.count, 1u);
    EXPECT_EQ(
        read_text(start + row_b + ",x\n" + padded_row(32768, "")).err, "line length exceeded size of buffer");
    EXPECT_EQ(
        read_text(std::string(40000, 'a') + "\n" + units + "\n" + row_a + "\n").err, "missing field names");
    EXPECT_EQ(read_text("$COL,GNSS," + pad_header + "\n$GNSS," + padded_row(32768 - 6, "\n"), true).err,
        "line length exceeded size of buffer");
}

TEST(csv_reader, header_rules)
{
    auto with_header = [](const std::string& h) { return h + "\n" + units + "\n" + row_a + "\n"; };
    std::string no_numsv = "time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,heading,cAcc,gpsFix";
    EXPECT_EQ(read_text(with_header(no_numsv)).err, "invalid field names");
    EXPECT_EQ(read_text(with_header(no_numsv), true).err, "missing $ prefix");
    EXPECT_EQ(read_text("$COL,GNSS," + with_header(no_numsv), true).err, "invalid field names");

    // No gpsFix column: gpsfix is 0; heading and cAcc pass without a word.
    testing::internal::CaptureStdout();
    read_result r
        = read_text(with_header("time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,heading,cAcc,numSV,gpsx"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "WARNING: unknown field (gpsx)\n");
    ASSERT_EQ(r.err, "");
    EXPECT_EQ(r.track.gps_points[0].gpsfix, 0);
    EXPECT_EQ(r.track.gps_points[0].numsv, 3); // the row's 13th field
    testing::internal::CaptureStdout();
    EXPECT_EQ(read_text(with_header(header)).err, "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // A byte-order mark makes the first name unknown.
    testing::internal::CaptureStdout();
    EXPECT_EQ(read_text(with_header(std::string("\xEF\xBB\xBF") + header)).err, "invalid field names");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "WARNING: unknown field (\xEF\xBB\xBFtime)\n");
    testing::internal::CaptureStdout();
    read_result bom = read_text(std::string("\xEF\xBB\xBFheading,") + header + "\n\n1," + row_a + "\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "WARNING: unknown field (\xEF\xBB\xBFheading)\n");
    EXPECT_EQ(bom.track.count, 1u);

    // A column named twice: the rightmost value stays.
    read_result d = read_text("time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,numSV,lat\n\n"
                              "2019-07-14T16:02:31.400Z,1,2,3,4,5,6,7,8,9,10,11\n");
    ASSERT_EQ(d.err, "");
    EXPECT_EQ(d.track.gps_points[0].pos_wgs84[0], 11.0);
    // A blank units line is still the units line; a blank first line is no header.
    EXPECT_EQ(read_text(std::string(header) + "\n\n" + row_a + "\n").track.count, 1u);
    EXPECT_EQ(read_text(std::string("\n") + header + "\n" + units + "\n" + row_a + "\n").err,
        "invalid field names");
}

TEST(csv_reader, file_level_messages)
{
    EXPECT_EQ(read_text("").err, "missing field names");
    EXPECT_EQ(read_text(std::string(header) + "\n").err, "missing field units");
    EXPECT_EQ(read_text(field_file({})).err, "no GPS points found");
    EXPECT_EQ(read_text(field_file({ "", "" })).err, "no GPS points found");
    EXPECT_EQ(read_text("", true).err, "no GPS points found");
    EXPECT_EQ(read_text(std::string("$GNSS,") + row_a + "\n", true).err, "no GPS points found");
    EXPECT_EQ(read_text(std::string(header) + "\n", true).err, "missing $ prefix");
    EXPECT_EQ(
        read_text(std::string("$COL,GNSS,") + header + "\n$GNSS," + row_a + "\n" + row_b + "\n", true).err,
        "missing $ prefix");

    gps_track track;
    const char* err = nullptr;
    track_read_csv("/nonexistent/dir/t.csv", track, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "failed to open file: /nonexistent/dir/t.csv");
    err = nullptr;
    track_read_gnss("/nonexistent/dir/t.csv", track, &err);
    EXPECT_STREQ(err, "failed to open file: /nonexistent/dir/t.csv");
}

TEST(csv_reader, time_field_forms)
{
    auto time_of = [](const std::string& t) {
        read_result r = read_text(field_file({ t + ",1,2,3,4,5,6,7,8,9,10,11,12,13" }));
        return r.err.empty() ? std::to_string(r.track.gps_points[0].time) : r.err;
    };
    EXPECT_EQ(time_of("2019-07-14T16:02:31.4005Z"), std::to_string(row_a_time));
    EXPECT_EQ(time_of("2019-07-14T16:02:31.400Zanything"), std::to_string(row_a_time));
    EXPECT_EQ(time_of("2019-07-14T16:02:31Z"), std::to_string(row_a_time - 400));
    EXPECT_EQ(time_of("2019-07-14T16:02:31.9999Z"), std::to_string(row_a_time + 599));
    EXPECT_EQ(
        time_of("2019-07-14T16:02:91.5Z"), std::to_string(row_a_time + 60100)); // carried by the conversion
    EXPECT_EQ(time_of("2019-7-14T16:2:31.400Z"), std::to_string(row_a_time));
    // A negative sub-second part: that many milliseconds before the whole second.
    const struct {
        const char* text;
        int64_t ms_from_row_a;
    } negative[] = {
        { "2019-07-14T16:02:31.-002Z", -400 - 2 }, { "2019-07-14T16:02:31.-02Z", -400 - 2 },
        { "2019-07-14T16:02:31.-2Z", -400 - 2 }, { "2019-07-14T16:02:31.-400Zanything", -400 - 400 },
        { "2019-07-14T16:02:31.-999Z", -400 - 999 }, { "2019-07-14T16:02:31.-000Z", -400 },
        { "2019-07-14T16:02:00.-002Z", -31400 - 2 }, // the minute before
    };
    for (const auto& n : negative)
        EXPECT_EQ(time_of(n.text), std::to_string(row_a_time + n.ms_from_row_a)) << n.text;
    for (const char* bad : { "2019-07-14T16:02:31.4", "2019-07-14 16:02:31.4Z", "2019/07/14T16:02:31Z", "",
             "2019-07-14T16:02:.Z", "2019-07-14T16:02:Z", "T16:02:31Z", "-07-14T16:02:31Z",
             "2019-07-14T16:02:infZ", "2019-07-14T16:02:1e300Z", "2019-07-14T16:02:31.4 Z",
             "2019-07-14T16:02:31.-0002Z", "2019-07-14T16:02:31.-Z", "2019-07-14T16:02:31.-2",
             "2019-07-14T16:02:31-002Z", "2019-07-14T16:02:31.5-002Z", "2019-07-14T16:02:31.--2Z",
             "2019-07-14T16:02:31.-+2Z", "2019-07-14T16:02:31.- 2Z", "2019-07-14T16:02:31.-2 Z",
             "2019-07-14T16:02: 31.-002Z", "2019-07-14T16:02:+31.-002Z", "2019-07-14T16:02:.-002Z",
             "2019-07-14T16:02:1e1.-002Z", "2019-07-14T16:02:31.-2.5Z" }) {
        EXPECT_EQ(time_of(bad), "invalid time field") << bad;
    }
}

TEST(csv_reader, numbers_read_as_strtod_and_never_fail)
{
    read_result r = read_text(
        field_file({ "2019-07-14T16:02:31.400Z,, 1.5,+2,1e2,0x10,abc,-inf,3.4e38,1e39,1,2,300,-1" }));
    ASSERT_EQ(r.err, "");
    const gps_point& p = r.track.gps_points[0];
    EXPECT_EQ(p.pos_wgs84, (vec3 { 0, 1.5, 2 }));
    EXPECT_EQ(p.vel_ltp[0], 100.0);
    EXPECT_EQ(p.vel_ltp[1], 16.0);
    EXPECT_EQ(p.vel_ltp[2], 0.0);
    EXPECT_EQ(p.hacc, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(p.vacc, static_cast<float>(3.4e38));
    EXPECT_EQ(p.sacc, std::numeric_limits<float>::infinity());
    EXPECT_EQ(p.gpsfix, 300 & 0xff);
    EXPECT_EQ(p.numsv, 255);
    // A decimal comma makes one field more: the row is dropped.
    EXPECT_EQ(read_text(field_file({ row_a, "2019-07-14T16:02:32.400Z,47,8,456,1,2,3,12,5,1,2,0,0,3,14" }))
                  .track.count,
        1u);
}

TEST(csv_reader, samples_keep_file_order_and_duplicates)
{
    read_result r = read_text(field_file({ row_b, row_a, row_a }));
    ASSERT_EQ(r.track.count, 3u);
    EXPECT_EQ(r.track.gps_points[0].time, row_a_time + 200);
    EXPECT_EQ(r.track.gps_points[1].time, row_a_time);
    EXPECT_EQ(r.track.gps_points[2].time, row_a_time);
}

TEST(csv_reader, track_grows_from_4096_to_8192)
{
    std::string content = std::string(header) + "\n" + units + "\n";
    for (int i = 0; i < 4096; ++i)
        content += std::string(row_a) + "\n";
    read_result full = read_text(content);
    EXPECT_EQ(full.track.count, 4096u);
    EXPECT_EQ(full.track.capacity, 4096u);
    read_result grown = read_text(content + row_b + "\n");
    EXPECT_EQ(grown.track.count, 4097u);
    EXPECT_EQ(grown.track.capacity, 8192u);
    EXPECT_EQ(grown.track.gps_points.size(), 8192u);
    EXPECT_EQ(grown.track.gps_points[4096].time, row_a_time + 200);
}

// Storage is set aside from the file's size; a pipe has none to tell, and a
// file of short rows outgrows the estimate. Either reads as a plain file does.
TEST(csv_reader, pipes_and_files_that_outgrow_their_estimate_read_alike)
{
    std::string content = std::string(header) + "\n" + units + "\n";
    for (int i = 0; i < 9000; ++i)
        content += std::string(i % 2 ? row_a : row_b) + "\n";
    read_result file = read_text(content);
    ASSERT_EQ(file.err, "");
    ASSERT_EQ(file.track.count, 9000u);
    EXPECT_EQ(file.track.capacity, 16384u);
    EXPECT_EQ(file.track.gps_points.size(), 16384u);
    EXPECT_EQ(file.track.gps_points[12000].time, 0) << "slots beyond count stay zero";

    temp_dir dir;
    std::string fifo = dir.file("track.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { write_file(fifo, content); });
    gps_track piped;
    const char* err = nullptr;
    track_read_csv(fifo.c_str(), piped, &err);
    writer.join();
    ASSERT_EQ(err, nullptr) << err;
    ASSERT_EQ(piped.count, file.track.count);
    EXPECT_EQ(piped.capacity, file.track.capacity);
    for (uint32_t i = 0; i < piped.count; i += 997)
        expect_same_raw(piped.gps_points[i], file.track.gps_points[i]);
    expect_same_raw(piped.gps_points[8999], file.track.gps_points[8999]);

    // Short rows: far more samples than 64-byte rows would give.
    std::string shortrows = "time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,numSV\n\n";
    for (int i = 0; i < 5000; ++i)
        shortrows += "2019-07-14T16:02:31Z,1,2,3,4,5,6,7,8,9,1\n";
    read_result small = read_text(shortrows);
    ASSERT_EQ(small.err, "");
    EXPECT_EQ(small.track.count, 5000u);
    EXPECT_EQ(small.track.capacity, 8192u);
    EXPECT_EQ(small.track.gps_points[4999].pos_wgs84[2], 3.0);
}

TEST(csv_reader, logger_utc_reading_is_taken_as_local_time)
{
    test_support::scoped_tz tz("Europe/Berlin");
    read_result r
        = read_text(field_file({ row_a, "2019-01-14T16:02:31.400Z,1,2,3,4,5,6,7,8,9,10,11,12,13" }));
    ASSERT_EQ(r.err, "");
    EXPECT_EQ(r.track.gps_points[0].time, row_a_time - 2 * 3600 * 1000); // summer time
    EXPECT_EQ(r.track.gps_points[1].time, 1547481751400 - 1 * 3600 * 1000); // winter time
}

} // namespace
