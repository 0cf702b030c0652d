// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/swoop_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/geometry/units.h"
#include "core/platform/glib_handles.h"
#include "gui/dialogs.h"
#include "gui/gtk_helpers.h"
#include "gui/settings.h"

namespace {

constexpr const char* swoop_key = "swoop";
constexpr const char* check_key = "check_button";
constexpr const char* part_key = "list_part";
constexpr const char* swatch_key = "swatch";

// The rows being checked against a gate, in list order, with the distance
// of each from the gate (miles; 0 until the check finds it too far).
struct swoop_node {
    GtkWidget* row;
    double distance;
};

class swoop_nodes {
public:
    void append(GtkWidget* row) { nodes_.push_back({ row, 0 }); }
    void remove(GtkWidget* row)
    {
        auto at
            = std::find_if(nodes_.begin(), nodes_.end(), [&](const swoop_node& n) { return n.row == row; });
        if (at == nodes_.end()) {
            std::printf("ERROR: swoop node not found in list\n");
            return;
        }
        nodes_.erase(at);
    }
    std::vector<swoop_node>& all() { return nodes_; }
    bool empty() const { return nodes_.empty(); }

private:
    std::vector<swoop_node> nodes_;
};

swoop_list_part& part_of(gpointer data)
{
    return *static_cast<swoop_list_part*>(data);
}

// The part a row belongs to.
swoop_list_part* list_of(GtkWidget* row)
{
    return static_cast<swoop_list_part*>(g_object_get_data(G_OBJECT(row), part_key));
}

bool ticked(GtkWidget* row)
{
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(row_check(row)));
}

// Analyses a ticked row's swoop in the selected swoop's frame, to be drawn
// over it; closes the row when that fails.
bool compare_in_selected_frame(swoop_list_part& l, GtkWidget* row, const swoop& selected)
{
    swoop& s = *row_swoop(row);
    const char* err = nullptr;
    if (l.model.gate)
        swoop_analyse(s, frame_as_given, &selected.matrix, 0, &err);
    else
        swoop_analyse(s, frame_from_swoop, nullptr, 0, &err);
    if (!err)
        return true;
    show_error(l.window, "%s", std::string(err).c_str());
    swoop_row_close(l, row);
    return false;
}

// After a change of selection or frame: the ticked swoops analysed in the
// selected one's frame, then the selection told to the window.
void show_selection(swoop_list_part& l)
{
    GtkWidget* selected = selected_row(l);
    swoop* s = selected ? row_swoop(selected) : nullptr;
    if (s)
        for (GtkWidget* row : swoop_rows(l))
            if (row != selected && ticked(row))
                compare_in_selected_frame(l, row, *s);
    model_select(l.model, s);
}

// "draw" of a row's colour swatch: the colour of its overlay, or nothing for
// a swoop not drawn in colour.
gboolean on_swatch_draw(GtkWidget* swatch, cairo_t* cr, gpointer row)
{
    swoop_list_part* l = list_of(GTK_WIDGET(row));
    const std::optional<uint32_t> color
        = l ? model_overlay_color(l->model, row_swoop(GTK_WIDGET(row))) : std::nullopt;
    if (!color)
        return FALSE;
    const int w = gtk_widget_get_allocated_width(swatch), h = gtk_widget_get_allocated_height(swatch);
    cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
    cairo_set_source_rgb(cr, double((*color >> 16) & 0xff) / 255, double((*color >> 8) & 0xff) / 255,
        double(*color & 0xff) / 255);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    return FALSE;
}

// The swatches follow the option and the compared swoops.
void show_swatches(swoop_list_part& l)
{
    for (GtkWidget* row : swoop_rows(l)) {
        GtkWidget* swatch = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(row), swatch_key));
        gtk_widget_set_visible(swatch, l.model.options.color_overlays);
        gtk_widget_queue_draw(swatch);
    }
}

// "destroy" of a row: its swoop goes with it.
void on_row_destroy(GtkWidget* row, gpointer)
{
    std::unique_ptr<swoop> owned(static_cast<swoop*>(g_object_steal_data(G_OBJECT(row), swoop_key)));
}

// "toggled" of a row's tick box: the swoop is compared or no longer. A
// swoop drawn over the selected one is analysed in its frame first.
void on_check_toggled(GtkToggleButton* check, gpointer row_data)
{
    GtkWidget* row = GTK_WIDGET(row_data);
    swoop_list_part* l = list_of(row);
    if (!l || l->model.closing)
        return;
    swoop* s = row_swoop(row);
    const bool active = gtk_toggle_button_get_active(check);
    GtkWidget* selected = selected_row(*l);
    if (active && selected && row != selected && !compare_in_selected_frame(*l, row, *row_swoop(selected)))
        return; // closed
    model_set_compared(l->model, s, active);
}

// Closes a row the user closed; the keys go on working afterwards: a closed
// row that had the focus hands it to the row now selected (or, with none
// left, to the list).
void close_keeping_focus(swoop_list_part& l, GtkWidget* row)
{
    swoop_row_close(l, row);
    if (!gtk_window_get_focus(GTK_WINDOW(l.window))) {
        GtkWidget* selected = selected_row(l);
        gtk_widget_grab_focus(selected ? selected : l.list);
    }
}

// "clicked" of a row's close button.
void on_row_close_clicked(GtkButton*, gpointer row)
{
    if (swoop_list_part* l = list_of(GTK_WIDGET(row)); l && !l->model.closing)
        close_keeping_focus(*l, GTK_WIDGET(row));
}

// The dialog offering to close the gate or the swoops that lie too far from
// it; returns the response (1 close the gate, 2 close the swoops).
int ask_incompatible(swoop_list_part& l, std::vector<swoop_node>& nodes)
{
    std::string text = "The selected gate is incompatible with one or more swoops:\n\n";
    for (const swoop_node& n : nodes) {
        if (n.distance == 0)
            continue;
        char line[64];
        std::snprintf(line, sizeof line, " (%.1f miles from gate)\n", n.distance);
        text += display_base_name(row_swoop(n.row)->file) + line;
    }
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Incompatible gate", GTK_WINDOW(l.window),
        GTK_DIALOG_MODAL, "Close _gate", 1, "Close _swoops", 2, nullptr);
    GtkWidget* label = gtk_label_new(text.c_str());
    g_object_set(label, "margin", 10, nullptr);
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), label);
    gtk_widget_show_all(dialog);
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response;
}

// Checks every node's swoop against the window's frame. Rows whose analysis
// fails are closed; rows too far from the gate lead to the "Incompatible
// gate" dialog. Returns whether the gate stays open.
bool gate_check_swoops(swoop_list_part& l, swoop_nodes& nodes)
{
    bool conflict = false;
    for (const swoop_node node : std::vector<swoop_node>(nodes.all())) {
        double distance = 0;
        if (swoop_check_gate(l, *row_swoop(node.row), &distance))
            continue;
        if (distance == 0) { // its error has been shown
            swoop_row_close(l, node.row);
            nodes.remove(node.row);
        } else {
            for (swoop_node& n : nodes.all())
                if (n.row == node.row)
                    n.distance = distance;
            conflict = true;
        }
    }
    if (!conflict)
        return true;

    if (ask_incompatible(l, nodes.all()) == 1) {
        gate_close(l);
        return false;
    }
    // Close the far swoops, the selected one last so that its neighbour
    // ends up selected.
    GtkWidget* selected = selected_row(l);
    bool close_selected = false;
    for (const swoop_node node : std::vector<swoop_node>(nodes.all())) {
        if (node.distance == 0)
            continue;
        if (node.row == selected)
            close_selected = true;
        else
            swoop_row_close(l, node.row);
        nodes.remove(node.row);
    }
    if (close_selected)
        swoop_row_close(l, selected);
    return true;
}

GtkWidget* gate_frame_new(swoop_list_part& l)
{
    GtkWidget* frame = gtk_frame_new("gate");
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_set_border_width(GTK_CONTAINER(box), 5);
    l.gate_label = gtk_label_new("(none selected)");
    g_object_set(l.gate_label, "margin-top", 5, "margin-bottom", 10, nullptr);
    gtk_box_pack_start(GTK_BOX(box), l.gate_label, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(frame), box);
    return frame;
}

GtkWidget* swoop_frame_new(swoop_list_part& l)
{
    GtkWidget* frame = gtk_frame_new("swoop");
    // The column grows with the names of the swoops, up to a point; longer
    // names scroll.
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_propagate_natural_width(GTK_SCROLLED_WINDOW(scrolled), TRUE);
    gtk_scrolled_window_set_min_content_width(GTK_SCROLLED_WINDOW(scrolled), 200);
    gtk_scrolled_window_set_max_content_width(GTK_SCROLLED_WINDOW(scrolled), 320);
    l.list = gtk_list_box_new();
    g_object_set(l.list, "border-width", 5, "can-focus", TRUE, nullptr);
    g_signal_connect(l.list, "row-selected", G_CALLBACK(on_row_selected), &l);
    gtk_container_add(GTK_CONTAINER(scrolled), l.list);
    gtk_container_add(GTK_CONTAINER(frame), scrolled);
    return frame;
}

} // namespace

std::unique_ptr<swoop_list_part> swoop_list_new(window_model& m, GtkWidget* window)
{
    auto l = std::unique_ptr<swoop_list_part>(new swoop_list_part(m, window));
    l->gate_frame = gate_frame_new(*l);
    l->swoop_frame = swoop_frame_new(*l);
    swoop_list_part* part = l.get();
    m.commands.open_swoops = [part](std::vector<std::string> paths) { swoops_open(*part, std::move(paths)); };
    m.commands.open_gate
        = [part](const char* path, bool remember) { return gate_open_file(*part, path, remember); };
    m.commands.close_gate = [part] { gate_close(*part); };
    m.commands.close_swoop = [part](swoop* s) {
        if (GtkWidget* row = row_of(*part, s))
            close_keeping_focus(*part, row);
    };
    for (model_change kind : { model_change::selection, model_change::compared, model_change::options })
        model_listen(m, kind, [part](const model_event&) { show_swatches(*part); });
    // "barometric heights": every open swoop takes the heights asked for and
    // the selection is analysed again.
    model_listen(m, model_change::options, [part](const model_event& e) {
        if (e.before.use_baro == part->model.options.use_baro)
            return;
        for (swoop* s : std::vector<swoop*>(part->model.swoops))
            if (const std::string message = model_apply_heights(part->model, *s); !message.empty())
                show_error(part->window, "%s", message.c_str());
        on_row_selected(
            GTK_LIST_BOX(part->list), gtk_list_box_get_selected_row(GTK_LIST_BOX(part->list)), part);
    });
    return l;
}

swoop* row_swoop(GtkWidget* row)
{
    return static_cast<swoop*>(g_object_get_data(G_OBJECT(row), swoop_key));
}

GtkWidget* row_check(GtkWidget* row)
{
    return static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(row), check_key));
}

std::vector<GtkWidget*> swoop_rows(const swoop_list_part& l)
{
    std::vector<GtkWidget*> rows;
    GList* children = gtk_container_get_children(GTK_CONTAINER(l.list));
    for (GList* c = children; c; c = c->next)
        rows.push_back(GTK_WIDGET(c->data));
    g_list_free(children);
    return rows;
}

GtkWidget* selected_row(const swoop_list_part& l)
{
    return GTK_WIDGET(gtk_list_box_get_selected_row(GTK_LIST_BOX(l.list)));
}

GtkWidget* row_of(const swoop_list_part& l, const swoop* s)
{
    for (GtkWidget* row : swoop_rows(l))
        if (row_swoop(row) == s)
            return row;
    return nullptr;
}

bool swoop_check_gate(swoop_list_part& l, swoop& s, double* distance_miles)
{
    const char* err = nullptr;
    if (l.model.gate)
        swoop_analyse(s, frame_from_gate, &l.model.gate->matrix, l.model.gate->theta, &err);
    else
        swoop_analyse(s, frame_from_swoop, nullptr, 0, &err);
    *distance_miles = 0;
    if (!err)
        return true;
    if (s.results.failure == analysis_failure::gate_too_far) {
        *distance_miles = s.results.gate_distance * feet_per_metre / feet_per_mile;
        return false;
    }
    show_error(l.window, "%s", std::string(err).c_str());
    return false;
}

bool gate_open_file(swoop_list_part& l, const char* path, bool remember)
{
    const char* err = nullptr;
    std::unique_ptr<gate> opened = gate_open(path, nullptr, &err);
    if (!opened) {
        show_error(l.window, "%s", err);
        return false;
    }
    // The window's own copy of the outline, up to and with its terminator.
    std::vector<vec3> pond;
    try {
        pond.reserve(512);
        for (const vec3& p : opened->pond) {
            pond.push_back(p);
            if (p[0] == 0 && p[1] == 0)
                break;
        }
        if (pond.empty() || !(pond.back()[0] == 0 && pond.back()[1] == 0))
            pond.push_back({ 0, 0, 0 });
    } catch (const std::bad_alloc&) {
        show_error(l.window, "pond copy failed");
        return false;
    }
    const std::string name = display_base_name(opened->file);
    model_set_gate(l.model, std::move(opened), std::move(pond));
    gtk_label_set_text(GTK_LABEL(l.gate_label), name.c_str());

    swoop_nodes nodes;
    for (GtkWidget* row : swoop_rows(l))
        nodes.append(row);
    const bool kept = gate_check_swoops(l, nodes);
    show_selection(l);
    if (kept && remember)
        setting_set_text(setting::gate_file, path);
    return kept;
}

void gate_close(swoop_list_part& l)
{
    if (!l.model.gate)
        return;
    model_set_gate(l.model, nullptr, {});
    gtk_label_set_text(GTK_LABEL(l.gate_label), "(none selected)");
    on_row_selected(GTK_LIST_BOX(l.list), gtk_list_box_get_selected_row(GTK_LIST_BOX(l.list)), &l);
    setting_set_text(setting::gate_file, nullptr);
}

void gate_restore(swoop_list_part& l)
{
    std::optional<std::string> path = setting_text(setting::gate_file);
    if (path && !gate_open_file(l, path->c_str()))
        setting_set_text(setting::gate_file, nullptr);
}

void swoops_open(swoop_list_part& l, std::vector<std::string> paths)
{
    if (l.model.closing || paths.empty())
        return;
    std::sort(paths.begin(), paths.end(),
        [](const std::string& a, const std::string& b) { return std::strcmp(a.c_str(), b.c_str()) < 0; });
    swoop_nodes nodes;
    for (const std::string& path : paths) {
        if (swoop_is_open(l, path.c_str()))
            continue;
        // A folder (dropped, or on the command line) would read as a file
        // without field names: say what it is instead.
        if (g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) {
            show_error(l.window, "cannot open a folder as a swoop: %s", path.c_str());
            continue;
        }
        const char* err = nullptr;
        std::unique_ptr<swoop> s = swoop_new(path.c_str(), &err);
        if (!s) {
            show_error(l.window, "%s", err);
            continue;
        }
        // A refused sensor file is told; the swoop opens with GPS heights.
        if (const std::string message = model_apply_heights(l.model, *s); !message.empty())
            show_error(l.window, "%s", message.c_str());
        nodes.append(swoop_row_new(l, std::move(s)));
    }
    gate_check_swoops(l, nodes);
    if (nodes.empty())
        return;
    gtk_list_box_select_row(GTK_LIST_BOX(l.list), GTK_LIST_BOX_ROW(nodes.all().front().row));
}

bool swoop_is_open(swoop_list_part& l, const char* path)
{
    for (const swoop* s : l.model.swoops) {
        if (s->file == path) {
            show_error(l.window, "swoop already open (%s)", path);
            return true;
        }
    }
    return false;
}

GtkWidget* swoop_row_new(swoop_list_part& l, std::unique_ptr<swoop> s)
{
    const std::string name = display_base_name(s->file);
    GtkWidget* row = gtk_list_box_row_new();
    atk_object_set_name(gtk_widget_get_accessible(row), name.c_str());
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);

    GtkWidget* check = gtk_check_button_new();
    g_object_set(check, "can-focus", FALSE, "margin", 5, nullptr);
    atk_object_set_name(gtk_widget_get_accessible(check), ("Compare " + name).c_str());
    gtk_box_pack_start(GTK_BOX(box), check, FALSE, FALSE, 0);

    // The swoop's colour with "colour compared swoops" on.
    GtkWidget* swatch = gtk_drawing_area_new();
    gtk_widget_set_size_request(swatch, 12, 12);
    g_object_set(swatch, "valign", GTK_ALIGN_CENTER, "margin-start", 2, nullptr);
    gtk_widget_set_no_show_all(swatch, TRUE);
    atk_object_set_name(gtk_widget_get_accessible(swatch), ("Colour of " + name).c_str());
    g_signal_connect(swatch, "draw", G_CALLBACK(on_swatch_draw), row);
    gtk_box_pack_start(GTK_BOX(box), swatch, FALSE, FALSE, 0);

    GtkWidget* label = gtk_label_new(name.c_str());
    g_object_set(label, "margin-left", 5, "margin-right", 5, nullptr);
    g_text full_path(g_filename_display_name(s->file.c_str()));
    gtk_widget_set_tooltip_text(label, full_path.get()); // two files of one name from two folders
    gtk_box_pack_start(GTK_BOX(box), label, TRUE, FALSE, 0);

    GtkWidget* close = gtk_button_new_from_icon_name("window-close", GTK_ICON_SIZE_BUTTON);
    g_object_set(close, "can-focus", FALSE, "relief", GTK_RELIEF_NONE, "valign", GTK_ALIGN_CENTER, nullptr);
    apply_css(close, "* { padding : 0 }");
    atk_object_set_name(gtk_widget_get_accessible(close), ("Close " + name).c_str());
    gtk_box_pack_start(GTK_BOX(box), close, FALSE, FALSE, 0);

    gtk_container_add(GTK_CONTAINER(row), box);
    swoop* owned = s.release();
    g_object_set_data(G_OBJECT(row), swoop_key, owned);
    g_object_set_data(G_OBJECT(row), check_key, check);
    g_object_set_data(G_OBJECT(row), swatch_key, swatch);
    g_object_set_data(G_OBJECT(row), part_key, &l);
    gtk_widget_show_all(row);
    g_signal_connect(row, "destroy", G_CALLBACK(on_row_destroy), nullptr);
    g_signal_connect(check, "toggled", G_CALLBACK(on_check_toggled), row);
    g_signal_connect(close, "clicked", G_CALLBACK(on_row_close_clicked), row);
    gtk_list_box_insert(GTK_LIST_BOX(l.list), row, -1);
    gtk_widget_set_visible(swatch, l.model.options.color_overlays);
    model_add_swoop(l.model, owned);
    return row;
}

void swoop_row_close(swoop_list_part& l, GtkWidget* row)
{
    if (l.model.closing)
        return;
    GtkListBox* list = GTK_LIST_BOX(l.list);
    const bool was_selected = row == selected_row(l);

    GtkListBoxRow* next = nullptr;
    if (!was_selected) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(row)), FALSE); // its overlay goes
    } else {
        const int i = gtk_list_box_row_get_index(GTK_LIST_BOX_ROW(row));
        next = gtk_list_box_get_row_at_index(list, i > 0 ? i - 1 : i + 1);
    }
    model_remove_swoop(l.model, row_swoop(row));

    if (next) {
        g_signal_handlers_block_by_func(list, gpointer(on_row_selected), &l);
        gtk_widget_destroy(row);
        g_signal_handlers_unblock_by_func(list, gpointer(on_row_selected), &l);
    } else {
        gtk_widget_destroy(row);
    }

    if (!was_selected)
        return;
    gtk_list_box_select_row(list, next);
}

void on_row_selected(GtkListBox*, GtkListBoxRow* row, gpointer data)
{
    swoop_list_part& l = part_of(data);
    if (l.model.closing)
        return;
    if (row) {
        double distance = 0;
        if (!swoop_check_gate(l, *row_swoop(GTK_WIDGET(row)), &distance)) {
            swoop_row_close(l, GTK_WIDGET(row));
            return;
        }
    }
    show_selection(l);
}
