// SPDX-License-Identifier: GPL-3.0-or-later
// The results of an analysed swoop as the logbook stores them, and the UTC
// time of a jump.

#include "logbook/jump_record.h"

#include <chrono>
#include <cstdio>

#include "core/swoop/wind.h"

const char* const logbook_analysis_version = SKIMRA_ANALYSIS_VERSION;

namespace {

// A result of the analysis' record, and a part of one of its positions.
template <auto field> std::optional<double> value(const swoop_results& r)
{
    return r.*field;
}
template <auto position, auto part> std::optional<double> value_at(const swoop_results& r)
{
    return (r.*position).*part;
}

} // namespace

const std::array<result_field, result_count> result_fields { {
    { "entry_gate_speed_mps", quantity::speed, value<&swoop_results::entry_gate_speed> },
    { "exit_gate_speed_mps", quantity::speed, value<&swoop_results::exit_gate_speed> },
    { "turn_degrees", quantity::angle, value<&swoop_results::turn_degrees> },
    { "turn_time_s", quantity::duration, value<&swoop_results::turn_time> },
    { "rollout_time_s", quantity::duration, value<&swoop_results::rollout_time> },
    { "time_aloft_s", quantity::duration, value<&swoop_results::time_aloft> },
    { "speed_course_time_s", quantity::duration, value<&swoop_results::speed_course_time> },
    { "max_vertical_speed_mps", quantity::speed, value<&swoop_results::max_vertical_speed> },
    { "max_total_speed_mps", quantity::speed, value<&swoop_results::max_total_speed> },
    { "max_horizontal_speed_mps", quantity::speed, value<&swoop_results::max_horizontal_speed> },
    { "rollout_vertical_speed_mps", quantity::speed, value<&swoop_results::rollout_vertical_speed> },
    { "stop_distance_m", quantity::length, value<&swoop_results::stop_distance> },
    { "touchdown_distance_m", quantity::length, value<&swoop_results::touchdown_distance> },
    { "touchdown_speed_mps", quantity::speed, value<&swoop_results::touchdown_speed> },
    { "exit_height_m", quantity::length, value<&swoop_results::exit_height> },
    { "turn_start_height_m", quantity::length,
        value_at<&swoop_results::turn_start, &result_position::height> },
    { "turn_start_back_m", quantity::length, value_at<&swoop_results::turn_start, &result_position::back> },
    { "turn_start_offset_m", quantity::length,
        value_at<&swoop_results::turn_start, &result_position::offset> },
    { "max_vertical_height_m", quantity::length,
        value_at<&swoop_results::max_vertical, &result_position::height> },
    { "max_vertical_back_m", quantity::length,
        value_at<&swoop_results::max_vertical, &result_position::back> },
    { "max_vertical_offset_m", quantity::length,
        value_at<&swoop_results::max_vertical, &result_position::offset> },
    { "rollout_start_height_m", quantity::length,
        value_at<&swoop_results::rollout_start, &result_position::height> },
    { "rollout_start_back_m", quantity::length,
        value_at<&swoop_results::rollout_start, &result_position::back> },
    { "rollout_start_offset_m", quantity::length,
        value_at<&swoop_results::rollout_start, &result_position::offset> },
    { "rollout_end_height_m", quantity::length,
        value_at<&swoop_results::rollout_end, &result_position::height> },
    { "rollout_end_back_m", quantity::length, value_at<&swoop_results::rollout_end, &result_position::back> },
    { "rollout_end_offset_m", quantity::length,
        value_at<&swoop_results::rollout_end, &result_position::offset> },
    { "max_total_height_m", quantity::length, value_at<&swoop_results::max_total, &result_position::height> },
    { "max_total_back_m", quantity::length, value_at<&swoop_results::max_total, &result_position::back> },
    { "max_total_offset_m", quantity::length, value_at<&swoop_results::max_total, &result_position::offset> },
    { "max_horizontal_height_m", quantity::length,
        value_at<&swoop_results::max_horizontal, &result_position::height> },
    { "max_horizontal_back_m", quantity::length,
        value_at<&swoop_results::max_horizontal, &result_position::back> },
    { "max_horizontal_offset_m", quantity::length,
        value_at<&swoop_results::max_horizontal, &result_position::offset> },
    { "wind_speed_mps", quantity::speed, nullptr },
    { "wind_from_deg", quantity::angle, nullptr },
    { "wind_sigma_mps", quantity::speed, nullptr },
    { "entry_gate_airspeed_mps", quantity::speed, nullptr },
} };

namespace {

using std::chrono::days;
using std::chrono::milliseconds;
using std::chrono::sys_days;

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
    const swoop_results& r = s.results;
    if (!r.has_samples)
        return;
    for (size_t id = 0; id < result_count; id++)
        if (result_fields[id].of)
            jump.results[id] = result_fields[id].of(r);
    if (r.turn_degrees)
        jump.right_hand = r.right_hand;
}

std::array<std::optional<double>, 4> jump_gate_heights(const jump_heights& h)
{
    return { h.entry_gate, h.entry_gate_sigma, h.exit_gate, h.exit_gate_sigma };
}

void jump_wind_from_swoop(const swoop& s, jump_record& jump)
{
    jump.with_wind = true;
    for (result_id id : { wind_speed, wind_from, wind_sigma, entry_gate_airspeed })
        jump.results[id].reset();
    if (!s.results.has_samples)
        return;
    const wind_estimate w = swoop_wind_estimate(s);
    if (!w.present)
        return;
    jump.results[wind_speed] = w.speed;
    jump.results[wind_from] = w.from;
    jump.results[wind_sigma] = w.speed_sigma;
    if (const double a = swoop_entry_gate_airspeed(s, w); a > 0)
        jump.results[entry_gate_airspeed] = a;
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
