// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/plot/plot_wind.h"

#include <cstdio>

#include "core/plot/catalogue_support.h"
#include "core/plot/plot_catalogue.h"

using namespace catalogue;

bool plot_add_airspeed(plot& swoop_speed, const swoop& s, const wind_estimate& w, const display_units& units)
{
    if (!w.present)
        return true;
    std::unique_ptr<series> air = or_none([&] {
        auto out = sample_series(
            s, span_of(s, swoop_speed_start(s), s.stop), style_dashed_key, plot_red, [&](const gps_point& g) {
                return vec2 { g.pos_local[0] * units.length_factor,
                    sample_airspeed(g, w) * units.speed_factor };
            });
        out->label = "horz airspeed";
        return out;
    });
    if (!air)
        return false;
    plot_add_series(swoop_speed, std::move(air));
    return true;
}

void plot_set_wind_arrow(plot& overhead, const wind_estimate& w, const display_units& units)
{
    plot_arrow a;
    a.color = plot_blue;
    if (w.present) {
        char text[64];
        std::snprintf(text, sizeof text, "wind %.1f %s", w.speed * units.speed_factor, units.speed_name);
        a.label = text;
        a.toward = w.local; // the overhead view's axes are local x and y
    } else {
        a.label = "wind ----";
    }
    overhead.arrow = std::move(a);
}
