// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/window.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/platform/glib_handles.h"
#include "gui/dialogs.h"
#include "gui/settings.h"

namespace {

constexpr const char* context_key = "context";

// "size-allocate" of the window: the size to store when it closes.
void on_window_size_allocate(GtkWidget* window, GdkRectangle*, gpointer)
{
    window_context* ctx = context_of(window);
    if (!ctx)
        return;
    gint width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(window), &width, &height);
    ctx->window_width = width;
    ctx->window_height = height;
}

// "destroy" of the window: stores its size and quiets the model. The
// context goes once the children have gone (the rows free their swoops as
// they go), with the model, the parts, the gate and the pond copy.
void on_window_destroy(GtkWidget* window, gpointer)
{
    window_context* ctx = static_cast<window_context*>(g_object_steal_data(G_OBJECT(window), context_key));
    if (!ctx)
        return;
    ctx->model.closing = true;
    g_object_weak_ref(
        G_OBJECT(window), [](gpointer data, GObject*) { delete static_cast<window_context*>(data); }, ctx);
    // The results view has no drop target of its own; an accessibility
    // reader asking for its text while it is destroyed makes it set one up
    // for a new buffer, which GTK warns about without a (here empty) target.
    gtk_drag_dest_set(ctx->results_view, GtkDestDefaults(0), nullptr, 0, GdkDragAction(0));
    if (ctx->window_width != 0 && ctx->window_height != 0) {
        // The window is going: the message gets a dialog of its own.
        if (!setting_set_int(setting::window_width, ctx->window_width))
            show_error(nullptr, "%s", setting_store_failed);
        if (!setting_set_int(setting::window_height, ctx->window_height))
            show_error(nullptr, "%s", setting_store_failed);
    }
}

// The zoom steps: "+" and "=" fewer plots per page, "-" more.
int plots_per_page(const window_context& ctx)
{
    if (gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(ctx.layout_1x1_item)))
        return 1;
    if (gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(ctx.layout_2x2_item)))
        return 4;
    return 9;
}

// Gives the focus to a widget and hands it the key event again.
gboolean redispatch(GtkWidget* target, GdkEventKey* event)
{
    gtk_widget_grab_focus(target);
    gtk_main_do_event(reinterpret_cast<GdkEvent*>(event));
    return TRUE;
}

// Up or Down over the list's rows, wrapping around at either end.
gboolean move_selection(GtkWidget* list, guint keyval)
{
    GtkListBoxRow* selected = gtk_list_box_get_selected_row(GTK_LIST_BOX(list));
    if (!selected)
        return TRUE;
    g_autoptr(GList) rows = gtk_container_get_children(GTK_CONTAINER(list));
    const int n = int(g_list_length(rows));
    const int i = gtk_list_box_row_get_index(selected);
    int next;
    if (keyval == GDK_KEY_Down)
        next = i + 1 < n ? i + 1 : 0;
    else
        next = i > 0 ? i - 1 : n - 1;
    GtkListBoxRow* row = gtk_list_box_get_row_at_index(GTK_LIST_BOX(list), next);
    if (row) {
        gtk_list_box_select_row(GTK_LIST_BOX(list), row);
        gtk_widget_grab_focus(GTK_WIDGET(row));
    }
    return TRUE;
}

// Adds the "quit" and "about" actions to the application.
void add_app_actions(GtkApplication* app)
{
    static const GActionEntry entries[] = {
        { "quit",
            +[](GSimpleAction*, GVariant*, gpointer app) {
                if (GtkWindow* w = gtk_application_get_active_window(GTK_APPLICATION(app)))
                    gtk_widget_destroy(GTK_WIDGET(w));
            },
            nullptr, nullptr, nullptr, {} },
        { "about",
            +[](GSimpleAction*, GVariant*, gpointer app) {
                if (GtkWindow* w = gtk_application_get_active_window(GTK_APPLICATION(app)))
                    about_show(GTK_WIDGET(w));
            },
            nullptr, nullptr, nullptr, {} },
    };
    g_action_map_add_action_entries(G_ACTION_MAP(app), entries, G_N_ELEMENTS(entries), app);
}

// The player comes with the time scale: below the notebook, which covers
// its row while it is gone.
void time_scale_enable(window_context& ctx)
{
    if (ctx.player)
        return;
    gtk_container_child_set(GTK_CONTAINER(ctx.grid), ctx.notebook, "height", 3, nullptr);
    g_object_set(ctx.notebook, "margin-bottom", 10, nullptr);
    ctx.player = player_new(ctx.model);
    gtk_grid_attach(GTK_GRID(ctx.grid), ctx.player->box, 1, 4, 1, 1);
    ctx.time_scale = ctx.player->slider;
}

void time_scale_disable(window_context& ctx)
{
    if (!ctx.player)
        return;
    gtk_widget_destroy(ctx.player->box);
    ctx.player.reset();
    ctx.time_scale = nullptr;
    gtk_container_child_set(GTK_CONTAINER(ctx.grid), ctx.notebook, "height", 4, nullptr);
    g_object_set(ctx.notebook, "margin-bottom", 0, nullptr);
    model_set_time(ctx.model, std::nullopt);
}

} // namespace

window_context* context_of(GtkWidget* widget)
{
    if (!widget)
        return nullptr;
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    return static_cast<window_context*>(g_object_get_data(G_OBJECT(top), context_key));
}

void window_default_size(int monitor_width, int monitor_height, int* width, int* height)
{
    if (monitor_width > 1376 && monitor_height > 979) {
        *width = 1370;
        *height = 980;
    } else {
        *width = 994;
        *height = 690;
    }
}

GtkWidget* window_new(GtkApplication* app)
{
    int width = stored_window_size(setting::window_width);
    int height = stored_window_size(setting::window_height);
    if (width == 0 || height == 0) {
        GdkRectangle geometry { 0, 0, 0, 0 };
        GdkDisplay* display = gdk_display_get_default();
        if (GdkMonitor* monitor = display ? gdk_display_get_monitor(display, 0) : nullptr)
            gdk_monitor_get_geometry(monitor, &geometry);
        window_default_size(geometry.width, geometry.height, &width, &height);
    }

    GtkWidget* window = gtk_application_window_new(app);
    gtk_window_set_title(GTK_WINDOW(window), "Skimra");
    if (gobject_ptr<GdkPixbuf> icon { gdk_pixbuf_new_from_resource("/sk-256.png", nullptr) })
        gtk_window_set_icon(GTK_WINDOW(window), icon.get());
    gtk_window_set_default_size(GTK_WINDOW(window), width, height);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);

    gtk_drag_dest_set(window, GTK_DEST_DEFAULT_ALL, nullptr, 0, GDK_ACTION_COPY);
    gtk_drag_dest_add_uri_targets(window);

    g_signal_connect(window, "size-allocate", G_CALLBACK(on_window_size_allocate), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(on_window_destroy), nullptr);

    window_context* ctx = new (std::nothrow) window_context;
    if (!ctx) {
        std::printf("fatal error: failed to malloc ctxt\n");
        std::exit(1);
    }
    g_object_set_data(G_OBJECT(window), context_key, ctx);
    return window;
}

GtkWidget* window_build(GtkApplication* app)
{
    GtkAccelGroup* accel_group = gtk_accel_group_new();
    GtkWidget* window = window_new(app);
    window_context& ctx = *context_of(window);
    window_model& m = ctx.model;

    // The parts, each built on the model.
    ctx.menu = menu_bar_new(m, window, accel_group);
    ctx.options = options_frame_new(m);
    ctx.list = swoop_list_new(m, window);
    ctx.pages = plot_pages_new(m, window);
    ctx.player = player_new(m);
    const menu_bar_part& menu = *ctx.menu;
    ctx.choosers = file_choosers_new(
        m, window, menu.open_gate_item, menu.close_gate_item, menu.open_swoop_item, menu.close_swoop_item);
    plot_pages_attach_export(*ctx.pages, menu.export_page_item, menu.export_samples_item);
    ctx.video = video_page_new(m, window, ctx.pages->notebook);
    file_choosers_add_video(*ctx.choosers, menu.open_video_item);

    ctx.pond_check = ctx.options->pond_check;
    ctx.metric_check = ctx.options->metric_check;
    ctx.gate_label = ctx.list->gate_label;
    ctx.swoop_list = ctx.list->list;
    ctx.kml_button = ctx.pages->kml_button;
    ctx.open_gate_item = menu.open_gate_item;
    ctx.close_gate_item = menu.close_gate_item;
    ctx.layout_1x1_item = menu.layout_items[0];
    ctx.layout_2x2_item = menu.layout_items[1];
    ctx.layout_3x3_item = menu.layout_items[2];
    ctx.time_scale_item = menu.time_scale_item;
    ctx.notebook = ctx.pages->notebook;
    ctx.results_view = ctx.pages->results_view;
    ctx.time_scale = ctx.player->slider;

    // Keys that span the list and the notebook.
    g_signal_connect(ctx.swoop_list, "key-press-event", G_CALLBACK(on_key_press), window);
    g_signal_connect(ctx.notebook, "key-press-event", G_CALLBACK(on_key_press), window);
    for (guint key : { GDK_KEY_plus, GDK_KEY_equal, GDK_KEY_minus })
        for (GdkModifierType mods : { GdkModifierType(0), GDK_CONTROL_MASK })
            gtk_accel_group_connect(accel_group, key, mods, GtkAccelFlags(0),
                g_cclosure_new(G_CALLBACK(on_zoom_key), nullptr, nullptr));

    GtkWidget* options = ctx.options->frame;
    GtkWidget* gate = ctx.list->gate_frame;
    GtkWidget* swoops = ctx.list->swoop_frame;
    g_object_set(options, "margin", 10, "width-request", 150, nullptr);
    g_object_set(gate, "margin", 10, "margin-top", 0, nullptr);
    g_object_set(swoops, "margin", 10, "margin-top", 0, "vexpand", TRUE, nullptr);
    g_object_set(ctx.kml_button, "margin", 10, "margin-top", 0, "valign", GTK_ALIGN_CENTER, nullptr);
    g_object_set(ctx.notebook, "expand", TRUE, "margin-bottom", 10, "margin-end", 10, nullptr);

    GtkWidget* grid = gtk_grid_new();
    gtk_grid_attach(GTK_GRID(grid), menu.bar, 0, 0, 2, 1);
    gtk_grid_attach(GTK_GRID(grid), options, 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), gate, 0, 2, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), swoops, 0, 3, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), ctx.kml_button, 0, 4, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), ctx.notebook, 1, 1, 1, 3);
    gtk_grid_attach(GTK_GRID(grid), ctx.player->box, 1, 4, 1, 1);
    ctx.grid = grid;

    window_context* c = &ctx;
    model_listen(m, model_change::options, [c](const model_event&) {
        if (c->model.options.time_scale)
            time_scale_enable(*c);
        else
            time_scale_disable(*c);
    });

    gtk_window_add_accel_group(GTK_WINDOW(window), accel_group);
    g_object_unref(accel_group); // the window holds it now
    gtk_container_add(GTK_CONTAINER(window), grid);

    settings_apply(m);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(ctx.notebook);
    gate_restore(*ctx.list);
    add_app_actions(app);
    return window;
}

gboolean on_key_press(GtkWidget* widget, GdkEventKey* event, gpointer)
{
    window_context* ctx = context_of(widget);
    if (!ctx)
        return FALSE;
    const bool on_list = widget == ctx->swoop_list;
    switch (event->keyval) {
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
        return TRUE; // Tab never moves the focus
    case GDK_KEY_Left:
    case GDK_KEY_Right:
        return on_list ? redispatch(ctx->notebook, event) : FALSE; // the notebook turns its pages
    case GDK_KEY_Up:
    case GDK_KEY_Down:
        return on_list ? move_selection(widget, event->keyval) : redispatch(ctx->swoop_list, event);
    default:
        return FALSE;
    }
}

// Zoom keys: bound in the window's accelerator group.
gboolean on_zoom_key(GtkAccelGroup*, GObject* acceleratable, guint keyval, GdkModifierType, gpointer)
{
    window_context* ctx = context_of(GTK_WIDGET(acceleratable));
    if (!ctx)
        return FALSE;
    const int n = plots_per_page(*ctx);
    const bool fewer = keyval == GDK_KEY_plus || keyval == GDK_KEY_equal;
    GtkWidget* item = nullptr;
    if (fewer)
        item = n == 9 ? ctx->layout_2x2_item : ctx->layout_1x1_item;
    else
        item = n == 1 ? ctx->layout_2x2_item : ctx->layout_3x3_item;
    if (!gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item)))
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
    return FALSE;
}

void swoops_open(GtkWidget* window, std::vector<std::string> paths)
{
    if (window_context* ctx = context_of(window))
        swoops_open(*ctx->list, std::move(paths));
}

bool gate_open_file(GtkWidget* window, const char* path)
{
    window_context* ctx = context_of(window);
    return ctx && gate_open_file(*ctx->list, path);
}

void gate_close(GtkWidget* window)
{
    if (window_context* ctx = context_of(window))
        gate_close(*ctx->list);
}

std::vector<GtkWidget*> swoop_rows(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    return ctx ? swoop_rows(*ctx->list) : std::vector<GtkWidget*> {};
}

GtkWidget* selected_row(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    return ctx ? selected_row(*ctx->list) : nullptr;
}

void swoop_row_close(GtkWidget* window, GtkWidget* row)
{
    if (window_context* ctx = context_of(window))
        swoop_row_close(*ctx->list, row);
}

void markers_set(GtkWidget* window, GtkWidget* row, int32_t t)
{
    if (window_context* ctx = context_of(window))
        markers_set(*ctx->pages, *row_swoop(row), t);
}

void pages_redraw(GtkWidget* window)
{
    if (window_context* ctx = context_of(window))
        pages_redraw(*ctx->pages);
}

bool player_playing(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    return ctx && ctx->player && player_playing(*ctx->player);
}

std::vector<scale_mark> player_marks(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    return ctx && ctx->player ? ctx->player->marks : std::vector<scale_mark> {};
}
