#include "gui/swoop_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/geometry/geodetic.h"
#include "core/platform/glib_handles.h"
#include "core/platform/pref_store.h"
#include "gui/dialogs.h"
#include "gui/player.h"
#include "gui/plot_pages.h"
#include "gui/window.h"

namespace {

constexpr const char* swoop_key = "swoop";
constexpr const char* check_key = "check_button";

// A base name as a label can show it: file names are bytes, labels UTF-8.
std::string display_base_name(const std::string& path)
{
    g_text name(g_filename_display_basename(path.c_str()));
    return name.get();
}

// The rows being checked against a gate, in list order, with the distance
// of each from the gate (miles; 0 until the check finds it too far).
struct swoop_node {
    GtkWidget* row;
    float distance;
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

// "destroy" of a row: its swoop goes with it.
void on_row_destroy(GtkWidget* row, gpointer)
{
    std::unique_ptr<swoop> owned(static_cast<swoop*>(g_object_steal_data(G_OBJECT(row), swoop_key)));
}

// "toggled" of a row's tick box.
void on_check_toggled(GtkToggleButton* check, gpointer row_data)
{
    GtkWidget* row = GTK_WIDGET(row_data);
    window_context* ctx = context_of(row);
    if (!ctx)
        return;
    GtkWidget* window = gtk_widget_get_toplevel(row);
    GtkWidget* selected = selected_row(window);
    if (row == selected)
        return; // the selected swoop is always drawn in full
    if (!selected)
        return; // recorded: its overlay comes with the next selection
    if (gtk_toggle_button_get_active(check)) {
        overlay_add(window, row);
        if (ctx->time_scale && gtk_widget_get_parent(row))
            markers_set(window, row,
                int32_t(std::clamp(
                    gtk_range_get_value(GTK_RANGE(ctx->time_scale)), double(INT32_MIN), double(INT32_MAX))));
    } else {
        overlay_remove(window, row);
    }
    pages_redraw(window);
}

// "clicked" of a row's close button. The keys go on working afterwards: a
// closed row that had the focus hands it to the row now selected (or, with
// none left, to the notebook).
void on_row_close_clicked(GtkButton*, gpointer row)
{
    window_context* ctx = context_of(GTK_WIDGET(row));
    if (!ctx)
        return;
    GtkWidget* window = gtk_widget_get_toplevel(GTK_WIDGET(row));
    swoop_row_close(window, GTK_WIDGET(row));
    if (!gtk_window_get_focus(GTK_WINDOW(window))) {
        GtkWidget* selected = selected_row(window);
        gtk_widget_grab_focus(selected ? selected : ctx->notebook);
    }
}

// The dialog offering to close the gate or the swoops that lie too far from
// it; returns the response (1 close the gate, 2 close the swoops).
int ask_incompatible(GtkWidget* window, std::vector<swoop_node>& nodes)
{
    std::string text = "The selected gate is incompatible with one or more swoops:\n\n";
    for (const swoop_node& n : nodes) {
        if (n.distance == 0)
            continue;
        char line[64];
        std::snprintf(line, sizeof line, " (%.1f miles from gate)\n", double(n.distance));
        text += display_base_name(row_swoop(n.row)->file) + line;
    }
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Incompatible gate", GTK_WINDOW(window), GTK_DIALOG_MODAL,
        "Close _gate", 1, "Close _swoops", 2, nullptr);
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
bool gate_check_swoops(GtkWidget* window, swoop_nodes& nodes)
{
    bool conflict = false;
    for (const swoop_node node : std::vector<swoop_node>(nodes.all())) {
        float distance = 0;
        if (swoop_check_gate(window, *row_swoop(node.row), &distance))
            continue;
        if (distance == 0) { // its error has been shown
            swoop_row_close(window, node.row);
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

    if (ask_incompatible(window, nodes.all()) == 1) {
        gate_close(window);
        return false;
    }
    // Close the far swoops, the selected one last so that its neighbour
    // ends up selected.
    GtkWidget* selected = selected_row(window);
    bool close_selected = false;
    for (const swoop_node node : std::vector<swoop_node>(nodes.all())) {
        if (node.distance == 0)
            continue;
        if (node.row == selected)
            close_selected = true;
        else
            swoop_row_close(window, node.row);
        nodes.remove(node.row);
    }
    if (close_selected)
        swoop_row_close(window, selected);
    return true;
}

} // namespace

swoop* row_swoop(GtkWidget* row)
{
    return static_cast<swoop*>(g_object_get_data(G_OBJECT(row), swoop_key));
}

GtkWidget* row_check(GtkWidget* row)
{
    return static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(row), check_key));
}

std::vector<GtkWidget*> swoop_rows(GtkWidget* window)
{
    std::vector<GtkWidget*> rows;
    window_context* ctx = context_of(window);
    if (!ctx)
        return rows;
    GList* children = gtk_container_get_children(GTK_CONTAINER(ctx->swoop_list));
    for (GList* l = children; l; l = l->next)
        rows.push_back(GTK_WIDGET(l->data));
    g_list_free(children);
    return rows;
}

GtkWidget* selected_row(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    if (!ctx)
        return nullptr;
    return GTK_WIDGET(gtk_list_box_get_selected_row(GTK_LIST_BOX(ctx->swoop_list)));
}

GtkWidget* gate_frame_new(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    GtkWidget* frame = gtk_frame_new("gate");
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_set_border_width(GTK_CONTAINER(box), 5);
    ctx->gate_label = gtk_label_new("(none selected)");
    g_object_set(ctx->gate_label, "margin-top", 5, "margin-bottom", 10, nullptr);
    gtk_box_pack_start(GTK_BOX(box), ctx->gate_label, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(frame), box);
    return frame;
}

GtkWidget* swoop_frame_new(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    GtkWidget* frame = gtk_frame_new("swoop");
    // The column grows with the names of the swoops, up to a point; longer
    // names scroll.
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_propagate_natural_width(GTK_SCROLLED_WINDOW(scrolled), TRUE);
    gtk_scrolled_window_set_min_content_width(GTK_SCROLLED_WINDOW(scrolled), 200);
    gtk_scrolled_window_set_max_content_width(GTK_SCROLLED_WINDOW(scrolled), 320);
    ctx->swoop_list = gtk_list_box_new();
    g_object_set(ctx->swoop_list, "border-width", 5, "can-focus", TRUE, nullptr);
    g_signal_connect(ctx->swoop_list, "row-selected", G_CALLBACK(on_row_selected), window);
    g_signal_connect(ctx->swoop_list, "key-press-event", G_CALLBACK(on_key_press), window);
    gtk_container_add(GTK_CONTAINER(scrolled), ctx->swoop_list);
    gtk_container_add(GTK_CONTAINER(frame), scrolled);
    return frame;
}

bool swoop_check_gate(GtkWidget* window, swoop& s, float* distance_miles)
{
    window_context* ctx = context_of(window);
    const char* err = nullptr;
    if (ctx->gate)
        swoop_analyse(s, frame_from_gate, &ctx->gate->matrix, ctx->gate->theta, &err);
    else
        swoop_analyse(s, frame_from_swoop, nullptr, 0, &err);
    *distance_miles = 0;
    if (!err)
        return true;
    const std::string message = err;
    float distance = 0;
    if (std::sscanf(message.c_str(), "invalid gate location (%f miles between gate and swoop)", &distance)
            == 1
        && distance != 0) {
        *distance_miles = distance;
        return false;
    }
    show_error(window, "%s", message.c_str());
    return false;
}

bool gate_open_file(GtkWidget* window, const char* path)
{
    window_context* ctx = context_of(window);
    const char* err = nullptr;
    std::unique_ptr<gate> opened = gate_open(path, nullptr, &err);
    if (!opened) {
        show_error(window, "%s", err);
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
        show_error(window, "pond copy failed");
        return false;
    }
    ctx->gate = std::move(opened);
    ctx->pond = std::move(pond);
    ctx->pond_angle = 0;
    gtk_label_set_text(GTK_LABEL(ctx->gate_label), display_base_name(ctx->gate->file).c_str());
    gtk_widget_set_sensitive(ctx->pond_check, TRUE);

    swoop_nodes nodes;
    for (GtkWidget* row : swoop_rows(window))
        nodes.append(row);
    const bool kept = gate_check_swoops(window, nodes);
    refresh_all(window);
    return kept;
}

void gate_close(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    if (!ctx || !ctx->gate)
        return;
    ctx->gate.reset();
    ctx->pond.clear();
    ctx->pond_angle = 0;
    gtk_label_set_text(GTK_LABEL(ctx->gate_label), "(none selected)");
    gtk_widget_set_sensitive(ctx->pond_check, FALSE);
    on_row_selected(
        GTK_LIST_BOX(ctx->swoop_list), gtk_list_box_get_selected_row(GTK_LIST_BOX(ctx->swoop_list)), window);
    pref_set("gate_file", nullptr);
}

void gate_restore(GtkWidget* window)
{
    std::optional<std::string> path = pref_get("gate_file");
    if (path && !gate_open_file(window, path->c_str()))
        pref_set("gate_file", nullptr);
}

void swoops_open(GtkWidget* window, std::vector<std::string> paths)
{
    window_context* ctx = context_of(window);
    if (!ctx || paths.empty())
        return;
    std::sort(paths.begin(), paths.end(),
        [](const std::string& a, const std::string& b) { return std::strcmp(a.c_str(), b.c_str()) < 0; });
    swoop_nodes nodes;
    for (const std::string& path : paths) {
        if (swoop_is_open(window, path.c_str()))
            continue;
        // A folder (dropped, or on the command line) would read as a file
        // without field names: say what it is instead.
        if (g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) {
            show_error(window, "cannot open a folder as a swoop: %s", path.c_str());
            continue;
        }
        const char* err = nullptr;
        std::unique_ptr<swoop> s = swoop_new(path.c_str(), &err);
        if (!s) {
            show_error(window, "%s", err);
            continue;
        }
        nodes.append(swoop_row_new(window, std::move(s)));
    }
    gate_check_swoops(window, nodes);
    if (nodes.empty())
        return;
    gtk_list_box_select_row(GTK_LIST_BOX(ctx->swoop_list), GTK_LIST_BOX_ROW(nodes.all().front().row));
    gtk_widget_set_sensitive(ctx->kml_button, TRUE);
}

bool swoop_is_open(GtkWidget* window, const char* path)
{
    for (GtkWidget* row : swoop_rows(window)) {
        if (row_swoop(row)->file == path) {
            show_error(window, "swoop already open (%s)", path);
            return true;
        }
    }
    return false;
}

GtkWidget* swoop_row_new(GtkWidget* window, std::unique_ptr<swoop> s)
{
    window_context* ctx = context_of(window);
    const std::string name = display_base_name(s->file);
    GtkWidget* row = gtk_list_box_row_new();
    atk_object_set_name(gtk_widget_get_accessible(row), name.c_str());
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);

    GtkWidget* check = gtk_check_button_new();
    g_object_set(check, "can-focus", FALSE, "margin", 5, nullptr);
    atk_object_set_name(gtk_widget_get_accessible(check), ("Compare " + name).c_str());
    gtk_box_pack_start(GTK_BOX(box), check, FALSE, FALSE, 0);

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
    g_object_set_data(G_OBJECT(row), swoop_key, s.release());
    g_object_set_data(G_OBJECT(row), check_key, check);
    gtk_widget_show_all(row);
    g_signal_connect(row, "destroy", G_CALLBACK(on_row_destroy), nullptr);
    g_signal_connect(check, "toggled", G_CALLBACK(on_check_toggled), row);
    g_signal_connect(close, "clicked", G_CALLBACK(on_row_close_clicked), row);
    gtk_list_box_insert(GTK_LIST_BOX(ctx->swoop_list), row, -1);
    return row;
}

void swoop_row_close(GtkWidget* window, GtkWidget* row)
{
    window_context* ctx = context_of(window);
    if (!ctx)
        return;
    GtkListBox* list = GTK_LIST_BOX(ctx->swoop_list);
    GtkWidget* selected = selected_row(window);
    const bool was_selected = row == selected;
    if (was_selected && ctx->time_scale)
        player_stop(window);

    GtkListBoxRow* next = nullptr;
    if (!was_selected) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(row)), FALSE); // its overlay goes
    } else {
        const int i = gtk_list_box_row_get_index(GTK_LIST_BOX_ROW(row));
        next = gtk_list_box_get_row_at_index(list, i > 0 ? i - 1 : i + 1);
    }

    if (next) {
        g_signal_handlers_block_by_func(list, gpointer(on_row_selected), window);
        gtk_widget_destroy(row);
        g_signal_handlers_unblock_by_func(list, gpointer(on_row_selected), window);
    } else {
        gtk_widget_destroy(row);
    }

    if (!was_selected)
        return;
    if (next) {
        gtk_list_box_select_row(list, next);
    } else {
        gtk_list_box_select_row(list, nullptr);
        gtk_widget_set_sensitive(ctx->kml_button, FALSE);
    }
}

void on_row_selected(GtkListBox*, GtkListBoxRow* row, gpointer data)
{
    GtkWidget* window = GTK_WIDGET(data);
    if (!context_of(window))
        return;
    if (row) {
        float distance = 0;
        if (!swoop_check_gate(window, *row_swoop(GTK_WIDGET(row)), &distance)) {
            swoop_row_close(window, GTK_WIDGET(row));
            return;
        }
    }
    refresh_all(window);
}

void pond_rotate(GtkWidget* window, double angle)
{
    window_context* ctx = context_of(window);
    if (ctx->pond_angle == angle)
        return;
    if (ctx->gate) {
        const std::vector<vec3>& source = ctx->gate->pond;
        for (size_t i = 0; i < source.size() && i < ctx->pond.size(); i++) {
            if (source[i][0] == 0 && source[i][1] == 0)
                break;
            ctx->pond[i] = source[i];
        }
    }
    polygon_rotate(ctx->pond.empty() ? nullptr : ctx->pond.data(), angle);
    ctx->pond_angle = angle;
}
