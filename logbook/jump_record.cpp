// The results of an analysed swoop as the logbook stores them, and the UTC
// time of a jump.

#include "logbook/jump_record.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/platform/platform.h"
#include "core/track/track_frames.h"

const char* const logbook_analysis_version = SKIMRA_ANALYSIS_VERSION;

const std::array<result_field, result_count> result_fields { {
    { "entry_gate_speed_mps", quantity::speed },
    { "exit_gate_speed_mps", quantity::speed },
    { "turn_degrees", quantity::angle },
    { "turn_time_s", quantity::duration },
    { "rollout_time_s", quantity::duration },
    { "time_aloft_s", quantity::duration },
    { "speed_course_time_s", quantity::duration },
    { "max_vertical_speed_mps", quantity::speed },
    { "max_total_speed_mps", quantity::speed },
    { "max_horizontal_speed_mps", quantity::speed },
    { "rollout_vertical_speed_mps", quantity::speed },
    { "stop_distance_m", quantity::length },
    { "touchdown_distance_m", quantity::length },
    { "touchdown_speed_mps", quantity::speed },
    { "exit_height_m", quantity::length },
    { "turn_start_height_m", quantity::length },
    { "turn_start_back_m", quantity::length },
    { "turn_start_offset_m", quantity::length },
    { "max_vertical_height_m", quantity::length },
    { "max_vertical_back_m", quantity::length },
    { "max_vertical_offset_m", quantity::length },
    { "rollout_start_height_m", quantity::length },
    { "rollout_start_back_m", quantity::length },
    { "rollout_start_offset_m", quantity::length },
    { "rollout_end_height_m", quantity::length },
    { "rollout_end_back_m", quantity::length },
    { "rollout_end_offset_m", quantity::length },
    { "max_total_height_m", quantity::length },
    { "max_total_back_m", quantity::length },
    { "max_total_offset_m", quantity::length },
    { "max_horizontal_height_m", quantity::length },
    { "max_horizontal_back_m", quantity::length },
    { "max_horizontal_offset_m", quantity::length },
} };

namespace {

std::optional<double> if_finite(double v)
{
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

// A value the record keeps as 0 when it is missing.
std::optional<double> unless_zero(double v)
{
    return v != 0 ? if_finite(v) : std::nullopt;
}

// Seconds between two millisecond times, signed (a touchdown estimate before
// the bottom gives a negative time, as in the report).
double seconds_between(uint64_t later, uint64_t earlier)
{
    return static_cast<double>(static_cast<int64_t>(later - earlier)) / 1000;
}

// Height, back and offset of a local position (m) into three consecutive results.
void put_position(jump_record& jump, result_id height, double x, double y, double z)
{
    jump.results[height] = if_finite(z);
    jump.results[height + 1] = if_finite(-x);
    jump.results[height + 2] = if_finite(-y);
}

void put_sample_position(jump_record& jump, result_id height, const gps_point& p)
{
    put_position(jump, height, p.pos_local[0], p.pos_local[1], p.pos_local[2]);
}

using std::chrono::days;
using std::chrono::milliseconds;
using std::chrono::sys_days;

// Whole seconds and the milliseconds left over, rounding toward minus infinity.
void split_ms(int64_t ms, int64_t& seconds, int64_t& rest)
{
    seconds = ms / 1000;
    rest = ms % 1000;
    if (rest < 0) {
        seconds -= 1;
        rest += 1000;
    }
}

struct utc_fields {
    int year, month, day, hour, minute, second, ms;
};

utc_fields utc_breakdown(int64_t utc_ms)
{
    const std::chrono::sys_time<milliseconds> t { milliseconds(utc_ms) };
    const sys_days day = std::chrono::floor<days>(t);
    const std::chrono::year_month_day ymd(day);
    const std::chrono::hh_mm_ss<milliseconds> hms(t - day);
    return { static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
        static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(hms.hours().count()),
        static_cast<int>(hms.minutes().count()), static_cast<int>(hms.seconds().count()),
        static_cast<int>(hms.subseconds().count()) };
}

} // namespace

void jump_results_from_swoop(const swoop& s, jump_record& jump)
{
    jump.results.fill(std::nullopt);
    jump.right_hand.reset();
    if (s.track_len == 0 || s.track.size() < s.track_len)
        return;
    // As the report does, an index beyond the track reads sample 0.
    auto at = [&](uint32_t i) -> const gps_point& { return s.track[i < s.track_len ? i : 0]; };
    const gps_point& top = at(s.top_of_turn);
    const gps_point& vert = at(s.max_vert_speed);
    const gps_point& roll = at(s.rollout);
    const gps_point& total = at(s.max_total_speed);
    const gps_point& horz = at(s.max_horz_speed);
    auto& r = jump.results;

    r[entry_gate_speed] = unless_zero(s.entry_gate_speed);
    r[exit_gate_speed] = unless_zero(s.exit_gate_speed);
    r[turn_degrees] = if_finite(std::fabs(s.turn_degrees));
    if (std::isfinite(s.turn_degrees))
        jump.right_hand = s.turn_degrees >= 0;
    r[turn_time] = seconds_between(static_cast<uint64_t>(roll.time), static_cast<uint64_t>(top.time));
    r[rollout_time] = seconds_between(s.bottom_time, static_cast<uint64_t>(roll.time));
    r[time_aloft] = seconds_between(s.touchdown_time, s.bottom_time);
    if (s.exit_gate_time != 0)
        r[speed_course_time] = seconds_between(s.exit_gate_time, s.entry_gate_time);
    r[max_vertical_speed] = if_finite(-vert.vel_local[2]);
    r[max_total_speed] = if_finite(total_speed(total));
    r[max_horizontal_speed] = if_finite(horizontal_speed(horz));
    r[rollout_vertical_speed] = if_finite(-roll.vel_local[2]);
    r[stop_distance] = if_finite(at(s.stop).pos_local[0]);
    r[touchdown_distance] = if_finite(s.touchdown_distance);
    r[touchdown_speed] = if_finite(s.touchdown_speed);
    if (s.plane_exit != 0)
        r[exit_height] = if_finite(at(s.plane_exit).pos_local[2]);
    put_sample_position(jump, turn_start_height, top);
    put_sample_position(jump, max_vertical_height, vert);
    put_sample_position(jump, rollout_start_height, roll);
    put_position(jump, rollout_end_height, s.bottom_xpos, s.bottom_ypos, s.bottom_zpos);
    put_sample_position(jump, max_total_height, total);
    put_sample_position(jump, max_horizontal_height, horz);
}

std::optional<int64_t> sample_time_to_utc_ms(int64_t sample_ms)
{
    int64_t seconds = 0, rest = 0;
    split_ms(sample_ms, seconds, rest);
    std::tm tm {};
    if (!platform_localtime(seconds, &tm))
        return std::nullopt;
    const std::chrono::year_month_day ymd { std::chrono::year(tm.tm_year + 1900),
        std::chrono::month(static_cast<unsigned>(tm.tm_mon + 1)),
        std::chrono::day(static_cast<unsigned>(tm.tm_mday)) };
    if (!ymd.ok())
        return std::nullopt;
    const int64_t day_ms = std::chrono::duration_cast<milliseconds>(sys_days(ymd).time_since_epoch()).count();
    return day_ms + ((tm.tm_hour * 60 + tm.tm_min) * 60 + tm.tm_sec) * int64_t(1000) + rest;
}

std::string utc_iso8601(int64_t utc_ms)
{
    const utc_fields f = utc_breakdown(utc_ms);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", f.year, f.month, f.day, f.hour,
        f.minute, f.second, f.ms);
    return text;
}

std::string utc_date_time(int64_t utc_ms)
{
    const utc_fields f = utc_breakdown(utc_ms);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour,
        f.minute, f.second);
    return text;
}

std::optional<int64_t> utc_midnight_ms(const std::string& date)
{
    if (date.size() != 10 || date[4] != '-' || date[7] != '-')
        return std::nullopt;
    for (size_t i : { 0, 1, 2, 3, 5, 6, 8, 9 })
        if (date[i] < '0' || date[i] > '9')
            return std::nullopt;
    auto number = [&](size_t from, size_t count) { return std::stoi(date.substr(from, count)); };
    const std::chrono::year_month_day ymd { std::chrono::year(number(0, 4)),
        std::chrono::month(static_cast<unsigned>(number(5, 2))),
        std::chrono::day(static_cast<unsigned>(number(8, 2))) };
    if (!ymd.ok())
        return std::nullopt;
    return std::chrono::duration_cast<milliseconds>(sys_days(ymd).time_since_epoch()).count();
}
