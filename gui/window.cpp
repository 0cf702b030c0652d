#include "gui/window.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/platform/glib_handles.h"
#include "gui/dialogs.h"
#include "gui/file_choosers.h"
#include "gui/menu_bar.h"
#include "gui/player.h"
#include "gui/plot_pages.h"
#include "gui/settings.h"
#include "gui/swoop_list.h"

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

// "destroy" of the window: stores its size, then frees the context with the
// plots, the gate and the pond copy. The rows free their swoops and the
// slider its player as the children go.
void on_window_destroy(GtkWidget* window, gpointer)
{
    std::unique_ptr<window_context> ctx(
        static_cast<window_context*>(g_object_steal_data(G_OBJECT(window), context_key)));
    if (!ctx)
        return;
    // The results view has no drop target of its own; an accessibility
    // reader asking for its text while it is destroyed makes it set one up
    // for a new buffer, which GTK warns about without a (here empty) target.
    gtk_drag_dest_set(ctx->results_view, GtkDestDefaults(0), nullptr, 0, GdkDragAction(0));
    if (ctx->window_width != 0 && ctx->window_height != 0) {
        // The window is going: the message gets a dialog of its own.
        if (!pref_set_int("window_width", ctx->window_width))
            show_error(nullptr, "failed to store preference");
        if (!pref_set_int("window_height", ctx->window_height))
            show_error(nullptr, "failed to store preference");
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

} // namespace

window_context* context_of(GtkWidget* widget)
{
    if (!widget)
        return nullptr;
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    return static_cast<window_context*>(g_object_get_data(G_OBJECT(top), context_key));
}

void apply_css(GtkWidget* widget, const char* css)
{
    gobject_ptr<GtkCssProvider> provider(gtk_css_provider_new());
    gtk_css_provider_load_from_data(provider.get(), css, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider.get()),
        GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
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
    int width = stored_window_size("window_width");
    int height = stored_window_size("window_height");
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
    g_signal_connect(window, "drag-data-received", G_CALLBACK(on_drag_data_received), nullptr);
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
    window_context* ctx = context_of(window);

    GtkWidget* menu_bar = menu_bar_new(window, accel_group);
    GtkWidget* options = options_frame_new(window);
    GtkWidget* gate = gate_frame_new(window);
    GtkWidget* swoops = swoop_frame_new(window);
    GtkWidget* kml = kml_button_new(window);
    GtkWidget* notebook = notebook_new(window, accel_group);
    GtkWidget* player = player_new(window);

    g_object_set(options, "margin", 10, "width-request", 150, nullptr);
    g_object_set(gate, "margin", 10, "margin-top", 0, nullptr);
    g_object_set(swoops, "margin", 10, "margin-top", 0, "vexpand", TRUE, nullptr);
    g_object_set(kml, "margin", 10, "margin-top", 0, "valign", GTK_ALIGN_CENTER, nullptr);
    g_object_set(notebook, "expand", TRUE, "margin-bottom", 10, nullptr);

    GtkWidget* grid = gtk_grid_new();
    gtk_grid_attach(GTK_GRID(grid), menu_bar, 0, 0, 2, 1);
    gtk_grid_attach(GTK_GRID(grid), options, 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), gate, 0, 2, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), swoops, 0, 3, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), kml, 0, 4, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), notebook, 1, 1, 1, 3);
    gtk_grid_attach(GTK_GRID(grid), player, 1, 4, 1, 1);
    ctx->grid = grid;

    gtk_window_add_accel_group(GTK_WINDOW(window), accel_group);
    g_object_unref(accel_group); // the window holds it now
    gtk_container_add(GTK_CONTAINER(window), grid);

    settings_apply(window);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(ctx->notebook);
    gate_restore(window);
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

// Zoom keys: bound in the window's accelerator group by the notebook.
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
