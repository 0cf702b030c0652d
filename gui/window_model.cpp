// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/window_model.h"

#include <algorithm>
#include <iterator>

#include "core/geometry/geodetic.h"
#include "core/sensor/sensor_beside.h"
#include "core/swoop/baro_report.h"

namespace {

// The Okabe-Ito palette, colour-blind safe, without its black and with its
// yellow (faint on white) last.
constexpr uint32_t overlay_palette[]
    = { 0xE69F00, 0x56B4E9, 0x009E73, 0x0072B2, 0xD55E00, 0xCC79A7, 0xF0E442 };

model_event event_of(model_change kind, swoop* changed = nullptr, bool added = false)
{
    model_event event {};
    event.kind = kind;
    event.changed = changed;
    event.added = added;
    return event;
}

void notify(window_model& m, const model_event& event)
{
    if (m.closing)
        return;
    m.notifying++;
    // Listeners connected while this runs hear the next change.
    const size_t count = m.listeners.size();
    for (size_t i = 0; i < count && i < m.listeners.size(); i++) {
        if (m.listeners[i].kind != event.kind || !m.listeners[i].notify)
            continue;
        // A copy: the listener may connect others, which moves the list.
        const model_listener listener = m.listeners[i].notify;
        listener(event);
    }
    if (--m.notifying == 0)
        std::erase_if(m.listeners, [](const window_model::listener& l) { return !l.notify; });
}

} // namespace

int model_listen(window_model& m, model_change kind, model_listener listener)
{
    const int id = m.next_listener++;
    m.listeners.push_back({ id, kind, std::move(listener) });
    return id;
}

void model_unlisten(window_model& m, int id)
{
    for (auto& l : m.listeners)
        if (l.id == id)
            l.notify = nullptr; // removed once no notification runs
    if (m.notifying == 0)
        std::erase_if(m.listeners, [](const window_model::listener& l) { return !l.notify; });
}

void model_add_swoop(window_model& m, swoop* s)
{
    m.swoops.push_back(s);
    notify(m, event_of(model_change::rows, s, true));
}

void model_remove_swoop(window_model& m, swoop* s)
{
    const bool was_selected = m.selected == s;
    std::erase(m.compared, s);
    std::erase(m.swoops, s);
    m.baro.erase(s);
    if (was_selected)
        m.selected = nullptr;
    model_event event = event_of(model_change::rows, s);
    event.was_selected = was_selected;
    notify(m, event);
}

void model_select(window_model& m, swoop* s)
{
    m.selected = s;
    notify(m, event_of(model_change::selection));
}

void model_set_compared(window_model& m, swoop* s, bool compared)
{
    if (compared == model_is_compared(m, s))
        return;
    if (compared) {
        // In list order.
        std::vector<swoop*> ticked;
        for (swoop* open : m.swoops)
            if (open == s || model_is_compared(m, open))
                ticked.push_back(open);
        m.compared = std::move(ticked);
    } else {
        std::erase(m.compared, s);
    }
    notify(m, event_of(model_change::compared, s, compared));
}

void model_set_gate(window_model& m, std::unique_ptr<::gate> g, std::vector<vec3> pond)
{
    m.gate = std::move(g);
    m.pond = std::move(pond);
    m.pond_angle = 0;
    notify(m, event_of(model_change::gate));
}

void model_set_options(window_model& m, const window_options& options)
{
    const window_options before = m.options;
    m.options = options;
    model_event event = event_of(model_change::options);
    event.before = before;
    notify(m, event);
}

void model_set_time(window_model& m, std::optional<int32_t> time)
{
    if (m.time == time)
        return;
    m.time = time;
    notify(m, event_of(model_change::time));
}

void model_set_player(window_model& m, bool playing, bool dragging)
{
    if (m.playing == playing && m.dragging == dragging)
        return;
    m.playing = playing;
    m.dragging = dragging;
    notify(m, event_of(model_change::player));
}

bool model_is_compared(const window_model& m, const swoop* s)
{
    return std::find(m.compared.begin(), m.compared.end(), s) != m.compared.end();
}

std::vector<swoop*> model_overlays(const window_model& m)
{
    std::vector<swoop*> drawn;
    if (!m.selected)
        return drawn;
    for (swoop* s : m.compared)
        if (s != m.selected)
            drawn.push_back(s);
    return drawn;
}

std::optional<uint32_t> model_overlay_color(const window_model& m, const swoop* s)
{
    if (!m.options.color_overlays)
        return std::nullopt;
    const std::vector<swoop*> overlays = model_overlays(m);
    for (size_t k = 0; k < overlays.size(); k++)
        if (overlays[k] == s)
            return overlay_palette[k % std::size(overlay_palette)];
    return std::nullopt;
}

std::string model_apply_heights(window_model& m, swoop& s)
{
    std::string message;
    swoop_baro& b = m.baro[&s];
    if (m.options.use_baro && !b.looked) {
        b.looked = true;
        b.sensor = sensor_file_beside(s.file);
        const char* err = nullptr;
        if (!b.sensor.empty())
            swoop_baro_from_file(s, b.sensor, b.fusion, &err);
        b.fused = !b.sensor.empty() && !err;
        if (err)
            message = b.sensor + ": " + err;
    }
    const bool fused = m.options.use_baro && b.fused;
    if (fused && s.height_sigma.empty()) {
        swoop_use_baro_heights(s, b.fusion);
        s.height_sigma = b.fusion.sigma;
    } else if (!fused && !s.height_sigma.empty()) {
        swoop_set_height_correction(s, {});
        s.height_sigma.clear();
    }
    return message;
}

const baro_fusion* model_fusion(const window_model& m, const swoop* s)
{
    const auto it = m.baro.find(s);
    return m.options.use_baro && it != m.baro.end() && it->second.fused ? &it->second.fusion : nullptr;
}

std::string model_heights_lines(const window_model& m, const swoop& s)
{
    if (!m.options.use_baro)
        return {};
    if (const baro_fusion* f = model_fusion(m, &s)) {
        const gate_heights heights = swoop_gate_heights(s, *f);
        return report_baro_lines(&heights, m.options.units);
    }
    const auto it = m.baro.find(&s);
    if (it != m.baro.end() && it->second.looked && it->second.sensor.empty())
        return report_baro_lines(nullptr, m.options.units);
    return {};
}

void model_turn_pond(window_model& m, double angle)
{
    if (m.pond_angle == angle)
        return;
    if (m.gate) {
        const std::vector<vec3>& source = m.gate->pond;
        for (size_t i = 0; i < source.size() && i < m.pond.size(); i++) {
            if (source[i][0] == 0 && source[i][1] == 0)
                break;
            m.pond[i] = source[i];
        }
    }
    polygon_rotate(m.pond.empty() ? nullptr : m.pond.data(), angle);
    m.pond_angle = angle;
}

void model_open_swoops(window_model& m, std::vector<std::string> paths)
{
    if (!m.closing && m.commands.open_swoops)
        m.commands.open_swoops(std::move(paths));
}

bool model_open_gate(window_model& m, const char* path, bool remember)
{
    return !m.closing && m.commands.open_gate && m.commands.open_gate(path, remember);
}

void model_close_gate(window_model& m)
{
    if (!m.closing && m.commands.close_gate)
        m.commands.close_gate();
}

void model_close_swoop(window_model& m, swoop* s)
{
    if (!m.closing && s && m.commands.close_swoop)
        m.commands.close_swoop(s);
}

void model_attach_video(window_model& m, std::string path)
{
    if (!m.closing && m.commands.attach_video)
        m.commands.attach_video(std::move(path));
}
