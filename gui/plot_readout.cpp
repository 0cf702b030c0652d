// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/plot_readout.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "core/swoop/point_at.h"
#include "gui/gtk_helpers.h"

namespace {

std::string number(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

// The unit of an axis label "speed (mph)"; none for a label of several
// ("(feet, mph, number of satellites)").
std::string unit_of(const std::string& label)
{
    const size_t open = label.rfind('(');
    const size_t close = label.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return "";
    const std::string unit = label.substr(open + 1, close - open - 1);
    return unit.find(',') == std::string::npos ? unit : "";
}

// A legend label cut before its details: "z-axis (max 53.8 mph @ 177 ft)" -> "z-axis".
std::string short_label(const std::string& label)
{
    const size_t open = label.find(" (");
    return open == std::string::npos ? label : label.substr(0, open);
}

// Whether a series of the plot belongs to the swoop: its own (named after
// its file), or for the selected swoop also the labelled series of its other
// quantities. Player marks and course marks are not.
bool belongs(const series& x, const swoop& s, bool selected)
{
    if (x.style == style_marker)
        return false;
    if (x.name)
        return *x.name == s.file;
    return selected && x.label && x.count > 1;
}

// ms from a to b on the logger's clock.
double seconds_from(int64_t time, int64_t origin)
{
    return double(int64_t(uint64_t(time) - uint64_t(origin))) / 1000;
}

int64_t origin_of(const swoop& s)
{
    if (s.entry_gate_time != 0)
        return int64_t(s.entry_gate_time);
    return s.top_of_turn < s.track_len ? s.track[s.top_of_turn].time : 0;
}

// The sample of the swoop from its top of the turn to its stop for which
// score (of its point in the plot) is least.
template <class Score>
std::optional<uint32_t> best_sample(
    const swoop& s, const plot_set_entry& entry, const display_units& units, Score score)
{
    std::optional<uint32_t> best;
    double least = std::numeric_limits<double>::infinity();
    const uint32_t last = s.stop < s.track_len ? s.stop : (s.track_len ? s.track_len - 1 : 0);
    for (uint32_t i = s.top_of_turn; i <= last && i < s.track_len; i++) {
        // Through the player's interpolation, so that the heading is unwound
        // as the plot's own is.
        const std::unique_ptr<gps_point> g = swoop_point_at(
            s, int32_t(int64_t(uint64_t(s.track[i].time) - uint64_t(s.track[s.top_of_turn].time))));
        const std::optional<vec2> at = entry.locate(s, g ? *g : s.track[i], units);
        if (!at || !std::isfinite((*at)[0]) || !std::isfinite((*at)[1]))
            continue;
        const double d = score(*at);
        if (d < least) {
            least = d;
            best = i;
        }
    }
    return best;
}

} // namespace

std::string swoop_display_name(const swoop& s)
{
    return display_base_name(s.file);
}

int32_t slider_time_of(const swoop& s, uint32_t sample)
{
    return int32_t(int64_t(uint64_t(s.track[sample].time) - uint64_t(origin_of(s))));
}

std::string plot_readout(const plot& p, const plot_layout& l, const plot_set_entry& entry,
    const std::vector<const swoop*>& drawn, const display_units& units, double x, double y)
{
    std::string text;
    const vec2 at = plot_to_data(l, p, x, y);
    if (entry.position_axes) {
        for (const swoop* s : drawn) {
            const auto nearest = best_sample(*s, entry, units, [&](const vec2& point) {
                const vec2 on = plot_to_surface(l, p, point);
                return std::hypot(on[0] - x, on[1] - y);
            });
            if (!text.empty())
                text += '\n';
            text += swoop_display_name(*s) + ": ";
            if (!nearest) {
                text += "-";
                continue;
            }
            const vec2 point = *entry.locate(*s, s->track[*nearest], units);
            char line[160];
            std::snprintf(line, sizeof line, "%.1f %s, %.1f %s at %+.2f s", point[0], units.length_short,
                point[1], units.length_short, seconds_from(s->track[*nearest].time, origin_of(*s)));
            text += line;
        }
        return text;
    }

    text = p.x_label + ": " + number(at[0]);
    const std::string unit = unit_of(p.y_label);
    for (size_t k = 0; k < drawn.size(); k++) {
        const swoop& s = *drawn[k];
        std::string values;
        for (const series* x_series = p.series.get(); x_series; x_series = x_series->next.get()) {
            if (!belongs(*x_series, s, k == 0))
                continue;
            const std::optional<double> v = series_y_at(*x_series, at[0]);
            if (!v)
                continue;
            if (!values.empty())
                values += ", ";
            if (x_series->label && k == 0 && !x_series->label->empty())
                values += short_label(*x_series->label) + " ";
            values += number(*v);
        }
        text += "\n" + swoop_display_name(s) + ": "
            + (values.empty() ? "-" : values + (unit.empty() ? "" : " " + unit));
    }
    return text;
}

std::optional<uint32_t> plot_pick_sample(const plot& p, const plot_layout& l, const plot_set_entry& entry,
    const swoop& s, const display_units& units, double x, double y)
{
    const vec2 at = plot_to_data(l, p, x, y);
    if (entry.time_axis)
        return best_sample(s, entry, units, [&](const vec2& point) { return std::fabs(point[0] - at[0]); });
    return best_sample(s, entry, units, [&](const vec2& point) {
        const vec2 on = plot_to_surface(l, p, point);
        return std::hypot(on[0] - x, on[1] - y);
    });
}
