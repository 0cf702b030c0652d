// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-logbook plot: the progression document, drawn with the plot renderer.

#include "logbook/progression_plot.h"

#include <cairo-pdf.h>

#include <algorithm>

#include "core/plot/cairo_handles.h"
#include "core/plot/plot_catalogue.h"
#include "logbook/commands.h"
#include "logbook/display.h"
#include "logbook/jump_store.h"

#if defined(__SANITIZE_ADDRESS__)
// Text drawing makes fontconfig load its configuration and font caches once
// per process; they stay until exit. The sanitizer build's leak checker looks
// past them at our own allocations (in the program and in the tests, which
// both draw through this file).
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
#endif

namespace {

constexpr double ms_per_day = 86400000.0;

struct progression_item {
    const char* title; // names the result; the date of the first jump follows
    result_id id;
    uint32_t color; // of the points; the mean is drawn darker
};

constexpr progression_item items[] = {
    { "entry gate speed", entry_gate_speed, plot_blue },
    { "max horizontal speed", max_horizontal_speed, plot_purple },
    { "degrees of rotation", turn_degrees, plot_green },
    { "rollout height", rollout_start_height, plot_red },
};

// Half the brightness of each channel.
uint32_t darker(uint32_t rgb)
{
    return (rgb >> 1) & 0x7f7f7f;
}

std::unique_ptr<series> series_of(series_style style, uint32_t color, std::string label,
    const std::vector<double>& x, const std::vector<double>& y)
{
    std::unique_ptr<series> s = series_new(static_cast<uint32_t>(std::max<size_t>(x.size(), 1)));
    if (!s)
        return nullptr;
    s->style = style;
    s->color = color;
    s->label = std::move(label);
    for (size_t i = 0; i < x.size(); ++i)
        series_add_point(*s, vec2 { x[i], y[i] });
    return s;
}

} // namespace

std::vector<double> trailing_mean(const std::vector<double>& values, size_t window)
{
    std::vector<double> means;
    means.reserve(values.size());
    double sum = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        sum += values[i];
        if (i >= window)
            sum -= values[i - window];
        means.push_back(sum / static_cast<double>(std::min(i + 1, window)));
    }
    return means;
}

std::vector<std::unique_ptr<plot>> progression_plots(
    const std::vector<jump_record>& rows, const display_units& u)
{
    std::vector<const jump_record*> jumps;
    for (const jump_record& j : rows)
        if (j.jump_time_utc && !j.error)
            jumps.push_back(&j);
    std::vector<std::unique_ptr<plot>> plots;
    if (jumps.empty())
        return plots;
    std::stable_sort(jumps.begin(), jumps.end(),
        [](const jump_record* a, const jump_record* b) { return *a->jump_time_utc < *b->jump_time_utc; });
    const int64_t first = *jumps.front()->jump_time_utc;
    const std::string first_day = utc_date_time(first).substr(0, 10);

    for (const progression_item& item : items) {
        const quantity kind = result_fields[item.id].kind;
        std::vector<double> days, values;
        for (const jump_record* j : jumps) {
            if (const std::optional<double>& v = j->results[item.id]) {
                days.push_back(static_cast<double>(*j->jump_time_utc - first) / ms_per_day);
                values.push_back(to_display(*v, kind, u));
            }
        }
        std::unique_ptr<plot> p = plot_new();
        if (!p)
            return {};
        p->title = std::string(item.title) + " since " + first_day;
        p->x_label = "days since the first jump";
        p->y_label = std::string(item.title) + " (" + unit_name(kind, u) + ")";
        plot_add_series(*p, series_of(style_dots, item.color, "each jump", days, values));
        plot_add_series(*p,
            series_of(style_line, darker(item.color),
                "mean of the last " + std::to_string(progression_window) + " jumps", days,
                trailing_mean(values, progression_window)));
        plots.push_back(std::move(p));
    }
    return plots;
}

bool write_progression_pdf(
    const std::string& path, const std::vector<std::unique_ptr<plot>>& plots, std::string& err)
{
    cairo_surface_ptr surface(cairo_pdf_surface_create(path.c_str(), 792, 612));
    {
        cairo_context_ptr cr(cairo_create(surface.get()));
        for (size_t i = 0; i < plots.size() && i < 4; ++i)
            plot_render(cr.get(), plots[i].get(), static_cast<int>(i) + 1);
        cairo_surface_show_page(surface.get());
    }
    cairo_surface_finish(surface.get());
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        err = "failed to write file: " + path;
        return false;
    }
    return true;
}

int logbook_plot(const std::string& db_path, const std::string& pdf_path, const display_units& u)
{
    std::vector<jump_record> rows;
    if (!load_jumps(db_path, jump_filter {}, rows))
        return exit_failure;
    std::vector<std::unique_ptr<plot>> plots = progression_plots(rows, u);
    if (plots.empty()) {
        print_error("the logbook holds no analysed jump to plot");
        return exit_failure;
    }
    std::string err;
    if (!write_progression_pdf(pdf_path, plots, err)) {
        print_error(err);
        return exit_failure;
    }
    return exit_ok;
}
