// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-logbook list and best: the season as a table, and its best results.

#include <algorithm>
#include <cstdio>

#include "logbook/commands.h"
#include "logbook/display.h"
#include "logbook/jump_store.h"

namespace {

// The result columns of the list, in order.
constexpr result_id list_results[] = { entry_gate_speed, exit_gate_speed, turn_degrees, turn_time,
    rollout_start_height, max_horizontal_speed, max_vertical_speed, stop_distance };

// The list's title of a result column, with its unit.
std::string column_title(result_id id, const display_units& u)
{
    const char* title = "";
    switch (id) {
    case entry_gate_speed:
        title = "entry";
        break;
    case exit_gate_speed:
        title = "exit";
        break;
    case turn_degrees:
    case turn_time:
        title = "turn";
        break;
    case rollout_start_height:
        title = "rollout";
        break;
    case max_horizontal_speed:
        title = "max horiz";
        break;
    case max_vertical_speed:
        title = "max vert";
        break;
    default:
        title = "stop";
        break;
    }
    return std::string(title) + " " + unit_name(result_fields[id].kind, u);
}

std::string turn_cell(const jump_record& j, const display_units& u)
{
    std::string cell = format_result(j.results[turn_degrees], quantity::angle, u);
    if (j.right_hand && j.results[turn_degrees])
        cell += *j.right_hand ? " R" : " L";
    return cell;
}

std::string date_cell(const jump_record& j)
{
    return j.jump_time_utc ? utc_date_time(*j.jump_time_utc) : "-";
}

// A best result: which one, and how it reads.
struct best_item {
    const char* label;
    result_id id;
};

constexpr best_item best_items[] = {
    { "entry gate speed", entry_gate_speed },
    { "entry gate airspeed", entry_gate_airspeed },
    { "exit gate speed", exit_gate_speed },
    { "max horizontal speed", max_horizontal_speed },
    { "max total speed", max_total_speed },
    { "max vertical speed", max_vertical_speed },
    { "degrees of rotation", turn_degrees },
    { "distance to stop", stop_distance },
};

// The row with the highest value of a result; the earliest jump wins a tie.
// Rows come newest first.
const jump_record* best_row(const std::vector<jump_record>& rows, result_id id)
{
    const jump_record* best = nullptr;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (it->results[id] && (!best || *it->results[id] > *best->results[id]))
            best = &*it;
    return best;
}

} // namespace

int logbook_list(const std::string& db_path, const list_options& opts)
{
    jump_filter filter;
    filter.since_utc = opts.since_utc;
    filter.course = opts.course;
    std::vector<jump_record> rows;
    if (!load_jumps(db_path, filter, rows))
        return exit_failure;
    const display_units& u = opts.units;

    text_table table;
    table.right_aligned = { false, false };
    std::vector<std::string> header = { "date (UTC)", "course" };
    for (result_id id : list_results) {
        header.push_back(column_title(id, u));
        table.right_aligned.push_back(true);
    }
    // The barometer's gate heights, once any listed jump has them (add -b).
    const bool heights = std::any_of(rows.begin(), rows.end(), heights_from_sensor);
    if (heights) {
        for (const char* title : { "entry height ", "exit height " })
            header.push_back(title + std::string(u.length_short));
        header.push_back("heights");
        table.right_aligned.insert(table.right_aligned.end(), { true, true, false });
    }
    header.push_back("file");
    table.right_aligned.push_back(false);
    table.rows.push_back(header);

    for (const jump_record& j : rows) {
        std::vector<std::string> cells = { date_cell(j), j.course };
        for (result_id id : list_results)
            cells.push_back(id == turn_degrees ? turn_cell(j, u)
                                               : format_result(j.results[id], result_fields[id].kind, u));
        if (heights) {
            cells.push_back(format_gate_height(j.heights.entry_gate, j.heights.entry_gate_sigma, u));
            cells.push_back(format_gate_height(j.heights.exit_gate, j.heights.exit_gate_sigma, u));
            cells.push_back(j.heights.source.value_or("GPS"));
        }
        cells.push_back(j.error ? j.path + "  (failed: " + *j.error + ")" : j.path);
        table.rows.push_back(cells);
    }
    print_table(stdout, table);
    return exit_ok;
}

int logbook_best(const std::string& db_path, const display_units& u)
{
    std::vector<jump_record> rows;
    if (!load_jumps(db_path, jump_filter {}, rows))
        return exit_failure;

    text_table table;
    table.right_aligned = { false, false, false, false };
    // The airspeed only once some jump was added with the wind (add -w).
    const bool any_wind
        = std::any_of(rows.begin(), rows.end(), [](const jump_record& j) { return j.with_wind; });
    for (const best_item& item : best_items) {
        if (item.id == entry_gate_airspeed && !any_wind)
            continue;
        const quantity kind = result_fields[item.id].kind;
        const jump_record* j = best_row(rows, item.id);
        if (!j) {
            table.rows.push_back({ item.label, "-", "", "" });
            continue;
        }
        std::string value = format_result(j->results[item.id], kind, u) + " " + unit_name(kind, u);
        if (item.id == turn_degrees && j->right_hand)
            value += *j->right_hand ? " (right-hand)" : " (left-hand)";
        // A gate speed with the height the barometer gives the gate crossing.
        const std::optional<double>* gate = item.id == entry_gate_speed ? &j->heights.entry_gate
            : item.id == exit_gate_speed                                ? &j->heights.exit_gate
                                                                        : nullptr;
        const std::optional<double>* sigma = item.id == entry_gate_speed ? &j->heights.entry_gate_sigma
            : item.id == exit_gate_speed                                 ? &j->heights.exit_gate_sigma
                                                                         : nullptr;
        if (gate && *gate && heights_from_sensor(*j))
            value += " at " + format_gate_height(*gate, *sigma, u) + " " + u.length_short + " above the stop";
        table.rows.push_back({ item.label, value, date_cell(*j), j->path });
    }
    print_table(stdout, table);
    return exit_ok;
}
