// SPDX-License-Identifier: GPL-3.0-or-later
// Real-world quirks of logger files through the whole analysis: simulated
// jumps written as the logger writes them, then damaged the way cards,
// receivers and other tools damage them, loaded with swoop_new and analysed
// in the course frame (gate type 0) and without a gate (type 2).
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/swoop/report.h"
#include "core/swoop/swoop.h"
#include "core/swoop/swoop_stages.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

namespace {

using test_support::temp_dir;
using test_support::write_file;

constexpr double ft = 3.2808399;

// One analysis of a file: the message, or the report in feet and mph.
struct outcome {
    std::string err;
    std::string report;
    std::unique_ptr<swoop> s;
};

outcome analyse_text(const std::string& text, frame_kind gate_type, const frame_matrix& course)
{
    temp_dir dir;
    const std::string path = dir.file("swoop.csv");
    write_file(path, text);
    outcome o;
    const char* err = nullptr;
    o.s = swoop_new(path.c_str(), &err);
    if (!o.s) {
        o.err = err;
        return o;
    }
    swoop_analyse(*o.s, gate_type, gate_type == frame_from_swoop ? nullptr : &course, 0, &err);
    if (err) {
        o.err = err;
        return o;
    }
    o.report = swoop_report(*o.s, false, &err);
    EXPECT_EQ(err, nullptr);
    return o;
}

// The lines of a field-name file (the simulator ends them with CR LF).
std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
}

std::string text_of(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& l : lines)
        text += l + "\r\n";
    return text;
}

std::vector<std::string> fields_of(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string f;
    while (std::getline(in, f, ','))
        fields.push_back(f);
    return fields;
}

std::string line_of(const std::vector<std::string>& fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i)
        line += (i ? "," : "") + fields[i];
    return line;
}

// Field-name columns as the simulator writes them.
enum column { c_time, c_lat, c_lon, c_hmsl, c_veln, c_vele, c_veld, c_hacc, c_vacc };

void set_field(std::string& line, column c, const std::string& value)
{
    std::vector<std::string> f = fields_of(line);
    f[c] = value;
    line = line_of(f);
}

std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7f", v);
    return buf;
}

int count_lines(const std::string& s)
{
    int n = 0;
    for (char c : s)
        n += c == '\n';
    return n;
}

// A jump whose log starts on the ground before takeoff, and one whose log
// starts late in the climb (as the examples do).
const sim_swoop& jump_from_the_ground()
{
    static const sim_swoop sim = [] {
        swoop_options o;
        o.climb_start = 0;
        o.ground_time = 20;
        return generate_swoop(o);
    }();
    return sim;
}

const sim_swoop& jump_from_the_climb()
{
    static const sim_swoop sim = [] {
        swoop_options o;
        o.climb_start = 1100;
        return generate_swoop(o);
    }();
    return sim;
}

std::string field_name_text(const sim_swoop& sim)
{
    return format_track(sim.samples, sim_dialect::field_names);
}

} // namespace

TEST(swoop_quirks, first_fixes_with_poor_accuracy_and_irregular_spacing_change_nothing)
{
    const sim_swoop& sim = jump_from_the_ground();
    const std::string clean = field_name_text(sim);
    std::vector<std::string> lines = lines_of(clean);
    // Rows 2 to 16 are the receiver's first fixes: accuracies of hundreds of
    // metres, positions hundreds of metres off, and a third of them missing.
    std::vector<std::string> damaged(lines.begin(), lines.begin() + 2);
    for (size_t k = 2; k < lines.size(); ++k) {
        const size_t fix = k - 2;
        if (fix < 15) {
            if (fix % 3 == 1)
                continue;
            std::string& row = lines[k];
            set_field(row, c_lat, number(sim.samples[fix].pos_wgs84[0] + 0.002 * std::sin(fix)));
            set_field(row, c_lon, number(sim.samples[fix].pos_wgs84[1] - 0.003 * std::cos(fix)));
            set_field(row, c_hmsl, number(sim.samples[fix].pos_wgs84[2] + 300 * std::sin(3.0 * fix)));
            set_field(row, c_hacc, number(150 + 50 * fix));
            set_field(row, c_vacc, number(250 + 40 * fix));
        }
        damaged.push_back(lines[k]);
    }
    for (frame_kind type : { frame_from_gate, frame_from_swoop }) {
        SCOPED_TRACE(type);
        const outcome before = analyse_text(clean, type, sim.truth.course_matrix);
        const outcome after = analyse_text(text_of(damaged), type, sim.truth.course_matrix);
        ASSERT_EQ(before.err, "");
        ASSERT_EQ(after.err, "");
        EXPECT_EQ(after.report, before.report);
        EXPECT_EQ(after.s->track[after.s->plane_exit].time, before.s->track[before.s->plane_exit].time);
    }
}

TEST(swoop_quirks, altitude_spike_of_38000_ft_in_the_first_seconds_changes_nothing)
{
    // While the receiver acquires, it reports a wild height together with
    // the accuracy estimate that marks it as such.
    const sim_swoop& sim = jump_from_the_ground();
    const std::string clean = field_name_text(sim);
    std::vector<std::string> lines = lines_of(clean);
    for (size_t k = 5; k < 8; ++k) {
        set_field(lines[k], c_hmsl, number(38000 / ft));
        set_field(lines[k], c_hacc, "999.000");
        set_field(lines[k], c_vacc, "4294.967");
    }
    for (frame_kind type : { frame_from_gate, frame_from_swoop }) {
        SCOPED_TRACE(type);
        const outcome before = analyse_text(clean, type, sim.truth.course_matrix);
        const outcome after = analyse_text(text_of(lines), type, sim.truth.course_matrix);
        ASSERT_EQ(after.err, "");
        EXPECT_EQ(after.report, before.report);
        EXPECT_NE(after.s->plane_exit, 0u);
    }
}

TEST(swoop_quirks, last_row_cut_by_power_loss_is_left_out)
{
    const sim_swoop& sim = jump_from_the_climb();
    std::vector<std::string> lines = lines_of(field_name_text(sim));
    const std::string last = lines.back();
    lines.pop_back();
    const std::string whole = text_of(lines);
    for (size_t cut : { size_t { 10 }, size_t { 30 }, last.size() - 3 }) {
        SCOPED_TRACE(cut);
        const std::string damaged = whole + last.substr(0, cut);
        const outcome before = analyse_text(whole, frame_from_gate, sim.truth.course_matrix);
        const outcome after = analyse_text(damaged, frame_from_gate, sim.truth.course_matrix);
        ASSERT_EQ(after.err, "");
        EXPECT_EQ(after.s->track_len, sim.samples.size() - 1);
        EXPECT_EQ(after.report, before.report);
    }
}

TEST(swoop_quirks, trailing_commas_change_nothing)
{
    const sim_swoop& sim = jump_from_the_climb();
    const std::string clean = field_name_text(sim);
    std::vector<std::string> lines = lines_of(clean);
    for (std::string& l : lines)
        l += ',';
    const outcome before = analyse_text(clean, frame_from_gate, sim.truth.course_matrix);
    const outcome after = analyse_text(text_of(lines), frame_from_gate, sim.truth.course_matrix);
    ASSERT_EQ(after.err, "");
    EXPECT_EQ(after.report, before.report);
}

TEST(swoop_quirks, record_dialect_with_var_commas_short_unit_line_and_no_gpsfix)
{
    const sim_swoop& sim = jump_from_the_climb();
    std::string records = format_track(sim.samples, sim_dialect::records);
    // Header values with commas, and a $UNIT line cut short; the rows have
    // 11 fields, without gpsFix.
    const size_t col = records.find("$COL,GNSS,");
    ASSERT_NE(col, std::string::npos);
    records.insert(col, "$VAR,FIRMWARE_VER,v2019.06.11,rev,7\n$VAR,CFG,Model=6, Rate=200,x\n");
    const size_t unit = records.find("$UNIT,GNSS,");
    ASSERT_NE(unit, std::string::npos);
    records.replace(unit, records.find('\n', unit) - unit, "$UNIT,GNSS,,deg,deg");
    ASSERT_EQ(records.find("gpsFix"), std::string::npos);

    const outcome names = analyse_text(field_name_text(sim), frame_from_gate, sim.truth.course_matrix);
    const outcome recs = analyse_text(records, frame_from_gate, sim.truth.course_matrix);
    ASSERT_EQ(recs.err, "");
    EXPECT_EQ(recs.report, names.report);
    EXPECT_EQ(recs.s->track[100].gpsfix, 0);
}

TEST(swoop_quirks, repeated_and_backward_times_are_analysed)
{
    const sim_swoop& sim = jump_from_the_climb();
    const std::string clean = field_name_text(sim);
    std::vector<std::string> lines = lines_of(clean);
    auto time_of = [&](size_t k) { return fields_of(lines[k])[c_time]; };
    // Every 37th sample repeats the time before it; every 53rd pair of
    // samples has its times swapped, so that time runs backward once.
    for (size_t k = 102; k < lines.size(); k += 37)
        set_field(lines[k], c_time, time_of(k - 1));
    for (size_t k = 122; k + 1 < lines.size(); k += 53) {
        const std::string a = time_of(k);
        set_field(lines[k], c_time, time_of(k + 1));
        set_field(lines[k + 1], c_time, a);
    }
    for (frame_kind type : { frame_from_gate, frame_from_swoop }) {
        SCOPED_TRACE(type);
        const outcome before = analyse_text(clean, type, sim.truth.course_matrix);
        const outcome after = analyse_text(text_of(lines), type, sim.truth.course_matrix);
        ASSERT_EQ(after.err, "");
        EXPECT_EQ(count_lines(after.report), 17);
        EXPECT_EQ(after.s->top_of_turn, before.s->top_of_turn);
        EXPECT_EQ(after.s->rollout, before.s->rollout);
        EXPECT_EQ(after.s->stop, before.s->stop);
        EXPECT_NEAR(after.s->turn_degrees, before.s->turn_degrees, 5);
        EXPECT_NE(after.s->entry_gate, 0u);
    }
}

TEST(swoop_quirks, a_track_that_never_lands_gives_the_detectors_message)
{
    const sim_swoop& sim = jump_from_the_climb();
    const std::vector<std::string> lines = lines_of(field_name_text(sim));
    auto cut_after = [&](size_t samples) {
        return text_of(std::vector<std::string>(lines.begin(), lines.begin() + 2 + samples));
    };
    auto first_after = [&](int64_t time, double below_mps) {
        size_t k = 0;
        while (k < sim.samples.size()
            && (sim.samples[k].time < time
                || std::hypot(sim.samples[k].vel_ltp[0], sim.samples[k].vel_ltp[1]) >= below_mps))
            ++k;
        return k;
    };

    // The card filled up in the level run, still fast.
    const size_t fast = first_after(sim.truth.bottom_time, 1e9) + 2;
    EXPECT_EQ(analyse_text(cut_after(fast), frame_from_gate, sim.truth.course_matrix).err,
        "could not determine swoop heading");
    EXPECT_EQ(analyse_text(cut_after(fast), frame_from_swoop, sim.truth.course_matrix).err,
        "could not detect landing");

    // It filled up while the pilot slowed down, still faster than walking.
    const size_t slow = first_after(sim.truth.bottom_time, 7.0) + 2;
    ASSERT_GT(std::hypot(sim.samples[slow - 1].vel_ltp[0], sim.samples[slow - 1].vel_ltp[1]), 2 / 2.23693629);
    EXPECT_EQ(analyse_text(cut_after(slow), frame_from_gate, sim.truth.course_matrix).err,
        "did not detect end of motion after swoop");
}

TEST(swoop_quirks, one_sample_gives_the_detectors_message)
{
    const std::string one = test_support::read_file(test_support::data_file("quirks/one-sample.csv"));
    const frame_matrix& course = jump_from_the_climb().truth.course_matrix;
    EXPECT_EQ(analyse_text(one, frame_from_gate, course).err, "could not detect pattern entry");
    EXPECT_EQ(analyse_text(one, frame_from_swoop, course).err, "could not detect flight");

    // The report of such a record still has its 17 lines.
    outcome o = analyse_text(one, frame_from_gate, course);
    const char* err = nullptr;
    const std::string report = swoop_report(*o.s, true, &err);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(count_lines(report), 17);
}

// "nan", "inf", "1e999" in rows all through the jump: those rows cannot be
// placed and are left out; what remains is analysed as usual, and neither
// the report nor the record holds a value that is not a number.
TEST(swoop_quirks, non_numbers_in_rows_of_the_jump_leave_a_sound_analysis)
{
    const sim_swoop& sim = jump_from_the_climb();
    const std::string clean = field_name_text(sim);
    const char* values[] = { "nan", "inf", "-inf", "1e999", "-1e999", "NAN", "Infinity", "-nan" };
    const column columns[] = { c_lat, c_lon, c_hmsl, c_veln, c_vele, c_veld };
    for (frame_kind type : { frame_from_gate, frame_from_swoop }) {
        const outcome before = analyse_text(clean, type, sim.truth.course_matrix);
        ASSERT_EQ(before.err, "");
        // Rows at the start, at the exit, through the turn, at the bottom,
        // the stop and the end.
        const swoop& b = *before.s;
        const std::set<size_t> rows = { 0, b.plane_exit, b.top_of_turn, b.max_vert_speed, b.rollout,
            b.bottom_of_turn, b.bottom_of_turn + 1, b.entry_gate, b.stop, sim.samples.size() - 1 };
        std::vector<std::string> lines = lines_of(clean);
        size_t n = 0;
        for (size_t row : rows) {
            set_field(lines[2 + row], columns[n % 6], values[n % 8]);
            ++n;
        }
        SCOPED_TRACE(type);
        const outcome after = analyse_text(text_of(lines), type, sim.truth.course_matrix);
        ASSERT_EQ(after.err, "");
        EXPECT_EQ(after.s->track_len, sim.samples.size() - rows.size());
        EXPECT_EQ(count_lines(after.report), 17);
        EXPECT_EQ(after.report.find("nan"), std::string::npos) << after.report;
        EXPECT_EQ(after.report.find("inf"), std::string::npos) << after.report;
        EXPECT_NEAR(after.s->turn_degrees, b.turn_degrees, 10);
        EXPECT_NEAR(after.s->entry_gate_speed, b.entry_gate_speed, 0.5);
        EXPECT_NEAR(after.s->touchdown_distance, b.touchdown_distance, 5);
        EXPECT_NEAR(static_cast<double>(after.s->bottom_time), static_cast<double>(b.bottom_time), 400);
    }
}
