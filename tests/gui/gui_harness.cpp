// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/gui/gui_harness.h"

#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <gtest/gtest.h>

#include "core/plot/cairo_handles.h"
#include "gui/app.h"
#include "tests/support/test_support.h"

// Last: the X headers define macros (None, Bool) that other headers use as names.
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

namespace gui_test {

namespace {

// A dialog's answer, kept on the dialog.
struct answered {
    int response;
    gint64 at; // monotonic microseconds of the last response
};

// Wakes the main loop up now and then, so that a condition that turns true
// without an event of its own is seen.
gboolean wake_up(gpointer)
{
    return G_SOURCE_CONTINUE;
}

void collect_labels(GtkWidget* widget, std::vector<std::string>& out)
{
    if (GTK_IS_BUTTON(widget))
        return; // the buttons' own labels are not the dialog's text
    if (GTK_IS_LABEL(widget) && gtk_widget_get_visible(widget)) {
        const char* text = gtk_label_get_text(GTK_LABEL(widget));
        if (text && *text)
            out.emplace_back(text);
    }
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* l = children; l; l = l->next)
            collect_labels(GTK_WIDGET(l->data), out);
        g_list_free(children);
    }
}

} // namespace

bool spin_until(const std::function<bool()>& cond, int timeout_ms)
{
    const gint64 end = g_get_monotonic_time() + gint64(timeout_ms) * 1000;
    source_id tick(g_timeout_add(10, wake_up, nullptr));
    while (!cond()) {
        if (g_get_monotonic_time() > end)
            return false;
        g_main_context_iteration(nullptr, TRUE);
    }
    return true;
}

void flush()
{
    if (GdkDisplay* display = gdk_display_get_default())
        gdk_display_sync(display);
    // What is ready now; a player or a video that keeps sources ready all
    // the time on a slow build does not keep this from returning.
    const gint64 end = g_get_monotonic_time() + G_USEC_PER_SEC;
    while (g_main_context_pending(nullptr) && g_get_monotonic_time() < end)
        g_main_context_iteration(nullptr, FALSE);
}

namespace {

// The test process's application, as one run of the program has one. It is
// registered once and lives until the process ends (an application leaves
// the session bus only at the end of its run).
GtkApplication* process_app()
{
    static GtkApplication* app = [] {
        GtkApplication* made = app_new(G_APPLICATION_NON_UNIQUE);
        GError* raw = nullptr;
        if (!g_application_register(G_APPLICATION(made), nullptr, &raw)) {
            g_error_ptr error(raw);
            throw std::runtime_error(std::string("cannot register the application: ") + error->message);
        }
        return made;
    }();
    return app;
}

} // namespace

app_window::app_window()
    : app_(process_app())
{
    if (gtk_application_get_active_window(app_))
        throw std::runtime_error("a window of an earlier test is still open");
    g_application_activate(G_APPLICATION(app_));
    GtkWindow* active = gtk_application_get_active_window(app_);
    window_ = active ? GTK_WIDGET(active) : nullptr;
    if (!window_)
        throw std::runtime_error("no window after activation");
    g_object_add_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
    spin_until([&] { return window_ && gtk_widget_get_mapped(window_); });
    flush();
}

app_window::~app_window()
{
    close();
    flush();
}

void app_window::close()
{
    if (window_) {
        gtk_widget_destroy(window_);
        flush();
    }
}

namespace {

// Counts the events of a signal on a widget while it lives. An emission
// hook sees each event before the widget's own handlers, which may stop it.
class event_counter {
public:
    event_counter(GtkWidget* widget, const char* signal)
        : widget_(widget)
        , signal_(g_signal_lookup(signal, GTK_TYPE_WIDGET))
    {
        hook_ = g_signal_add_emission_hook(
            signal_, 0,
            +[](GSignalInvocationHint*, guint, const GValue* values, gpointer self) -> gboolean {
                auto* c = static_cast<event_counter*>(self);
                if (g_value_get_object(&values[0]) == c->widget_)
                    c->count_++;
                return TRUE;
            },
            this, nullptr);
    }
    ~event_counter() { g_signal_remove_emission_hook(signal_, hook_); }
    event_counter(const event_counter&) = delete;
    event_counter& operator=(const event_counter&) = delete;
    int count() const { return count_; }

private:
    GtkWidget* widget_;
    guint signal_;
    gulong hook_ = 0;
    int count_ = 0;
};

// The widget's point (x, y) on the screen.
void screen_point(GtkWidget* widget, int x, int y, int* sx, int* sy)
{
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    int tx = 0, ty = 0;
    gtk_widget_translate_coordinates(widget, top, x, y, &tx, &ty);
    int ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(top), &ox, &oy);
    *sx = ox + tx;
    *sy = oy + ty;
}

} // namespace

void pointer_move(GtkWidget* widget, int x, int y)
{
    event_counter motion(widget, "motion-notify-event");
    int sx = 0, sy = 0;
    screen_point(widget, x, y, &sx, &sy);
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(widget)));
    int at_x = -1, at_y = -1;
    gdk_device_get_position(pointer, nullptr, &at_x, &at_y);
    if (at_x == sx && at_y == sy) { // already there: no motion comes
        flush();
        return;
    }
    gdk_device_warp(pointer, gtk_widget_get_screen(widget), sx, sy);
    flush();
    // A widget that takes motion events has seen the move; others (a
    // button) get none: the server's pointer is there.
    if (gtk_widget_get_events(widget) & GDK_POINTER_MOTION_MASK)
        spin_until([&] { return motion.count() > 0; }, 5000);
    else
        spin_until(
            [&] {
                gdk_device_get_position(pointer, nullptr, &at_x, &at_y);
                return at_x == sx && at_y == sy;
            },
            5000);
    flush();
}

namespace {

// A button of the pointer pressed or released through the X server's test
// extension, so that the server stamps the time (a double click is two
// clicks close in time, as for a user).
void fake_button(GtkWidget* widget, guint button, bool press)
{
    Display* x = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(widget));
    XTestFakeButtonEvent(x, button, press ? True : False, CurrentTime);
    XFlush(x);
}

// A key pressed or let go.
void fake_key(GtkWidget* widget, KeySym key, bool press)
{
    Display* x = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(widget));
    XTestFakeKeyEvent(x, XKeysymToKeycode(x, key), press ? True : False, CurrentTime);
    XFlush(x);
}

void fake_shift(GtkWidget* widget, bool press)
{
    fake_key(widget, XK_Shift_L, press);
}

} // namespace

void pointer_click(GtkWidget* widget, int x, int y, guint button, GdkModifierType modifiers)
{
    pointer_move(widget, x, y);
    event_counter released(widget, button >= 4 ? "scroll-event" : "button-release-event");
    const bool shift = (modifiers & GDK_SHIFT_MASK) != 0;
    if (shift)
        fake_shift(widget, true);
    fake_button(widget, button, true);
    fake_button(widget, button, false);
    spin_until([&] { return released.count() > 0; }, 5000);
    if (shift)
        fake_shift(widget, false);
    flush();
}

void pointer_button(GtkWidget* widget, int x, int y, bool press)
{
    pointer_move(widget, x, y);
    event_counter seen(widget, press ? "button-press-event" : "button-release-event");
    fake_button(widget, 1, press);
    spin_until([&] { return seen.count() > 0; }, 5000);
    flush();
}

void pointer_double_click(GtkWidget* widget, int x, int y)
{
    pointer_move(widget, x, y);
    event_counter pressed(widget, "button-press-event");
    for (int i = 0; i < 2; i++) {
        fake_button(widget, 1, true);
        fake_button(widget, 1, false);
    }
    // Two presses and the double click GDK makes of them.
    spin_until([&] { return pressed.count() >= 3; }, 5000);
    flush();
}

void pointer_drag(GtkWidget* widget, int x0, int y0, int x1, int y1)
{
    pointer_move(widget, x0, y0);
    event_counter pressed(widget, "button-press-event");
    fake_button(widget, 1, true);
    spin_until([&] { return pressed.count() > 0; }, 5000);
    for (int k = 1; k <= 4; k++)
        pointer_move(widget, x0 + (x1 - x0) * k / 4, y0 + (y1 - y0) * k / 4);
    event_counter released(widget, "button-release-event");
    fake_button(widget, 1, false);
    spin_until([&] { return released.count() > 0; }, 5000);
    flush();
}

void send_key(GtkWidget* widget, guint keyval, GdkModifierType modifiers)
{
    // The events make a round trip through the X server: wait until the
    // window has seen the release, so the press has been handled too.
    // A key may also close the window: then its going ends the wait.
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    g_object_add_weak_pointer(G_OBJECT(top), reinterpret_cast<gpointer*>(&top));
    int released = 0;
    const gulong id = g_signal_connect(top, "key-release-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventKey*, gpointer n) -> gboolean {
            ++*static_cast<int*>(n);
            return FALSE;
        }),
        &released);
    gtk_test_widget_send_key(widget, keyval, modifiers);
    spin_until([&] { return released > 0 || !top || gtk_widget_in_destruction(top); }, 5000);
    if (top) {
        g_signal_handler_disconnect(top, id);
        g_object_remove_weak_pointer(G_OBJECT(top), reinterpret_cast<gpointer*>(&top));
    }
    flush();
}

void pointer_key(GtkWidget* widget, guint keyval)
{
    event_counter released(gtk_widget_get_toplevel(widget), "key-release-event");
    fake_key(widget, keyval, true);
    fake_key(widget, keyval, false);
    spin_until([&] { return released.count() > 0; }, 5000);
    flush();
}

dialog_answerer::dialog_answerer(answer_fn answer)
    : answer_(std::move(answer))
    , source_(g_timeout_add(20, poll, this))
{
}

dialog_answerer::dialog_answerer(int response)
    : dialog_answerer([response](GtkDialog*, const dialog_seen&) { return response; })
{
}

dialog_answerer::~dialog_answerer() = default;

std::vector<std::string> dialog_answerer::texts() const
{
    std::vector<std::string> out;
    for (const dialog_seen& s : seen_)
        out.push_back(s.text);
    return out;
}

gboolean dialog_answerer::poll(gpointer data)
{
    auto* self = static_cast<dialog_answerer*>(data);
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* l = toplevels; l; l = l->next) {
        GtkWidget* w = GTK_WIDGET(l->data);
        if (!GTK_IS_DIALOG(w))
            continue;
        if (!gtk_widget_get_mapped(w))
            continue;
        // A response that reaches a dialog before its loop runs (some event
        // handled while it was being shown) is lost: a dialog still on the
        // screen a while after its response gets it again. The mark is on
        // the dialog itself: a new one may take the address of an old one.
        if (auto* a = static_cast<answered*>(g_object_get_data(G_OBJECT(w), "skimra-test-answered"))) {
            if (g_get_monotonic_time() - a->at > 300 * 1000) {
                a->at = g_get_monotonic_time();
                gtk_dialog_response(GTK_DIALOG(w), a->response);
            }
            continue;
        }
        dialog_seen seen;
        const char* title = gtk_window_get_title(GTK_WINDOW(w));
        seen.title = title ? title : "";
        seen.type = G_OBJECT_TYPE_NAME(w);
        std::vector<std::string> labels;
        collect_labels(w, labels);
        for (size_t i = 0; i < labels.size(); i++)
            seen.text += (i ? "\n" : "") + labels[i];
        self->seen_.push_back(seen);
        auto* a = new answered { self->answer_(GTK_DIALOG(w), seen), g_get_monotonic_time() };
        g_object_set_data_full(
            G_OBJECT(w), "skimra-test-answered", a, [](gpointer p) { delete static_cast<answered*>(p); });
        gtk_dialog_response(GTK_DIALOG(w), a->response);
    }
    g_list_free(toplevels);
    return G_SOURCE_CONTINUE;
}

void drop_uris(GtkWidget* window, const std::vector<std::string>& uris)
{
    static std::vector<std::string> offered;
    offered = uris;
    GtkClipboard* clipboard
        = gtk_widget_get_clipboard(window, gdk_atom_intern_static_string("SKIMRA_TEST_DROP"));
    GtkTargetList* list = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add_uri_targets(list, 0);
    int n = 0;
    GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &n);
    gtk_clipboard_set_with_data(
        clipboard, targets, guint(n),
        [](GtkClipboard*, GtkSelectionData* data, guint, gpointer) {
            std::vector<gchar*> v;
            for (const std::string& u : offered)
                v.push_back(const_cast<gchar*>(u.c_str()));
            v.push_back(nullptr);
            gtk_selection_data_set_uris(data, v.data());
        },
        nullptr, nullptr);
    gtk_target_table_free(targets, n);
    gtk_target_list_unref(list);
    GtkSelectionData* data
        = gtk_clipboard_wait_for_contents(clipboard, gdk_atom_intern_static_string("text/uri-list"));
    ASSERT_NE(data, nullptr);
    g_signal_emit_by_name(window, "drag-data-received", nullptr, 10, 10, data, 0u, 0u);
    gtk_selection_data_free(data);
    flush();
}

void drop_files(GtkWidget* window, const std::vector<std::string>& paths)
{
    std::vector<std::string> uris;
    for (const std::string& path : paths) {
        g_text uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
        uris.emplace_back(uri.get());
    }
    drop_uris(window, uris);
}

void wait_for_frame(GtkWidget* widget)
{
    if (GdkFrameClock* clock = gtk_widget_get_frame_clock(widget)) {
        bool painted = false;
        const gulong id = g_signal_connect(clock, "after-paint",
            G_CALLBACK(+[](GdkFrameClock*, gpointer done) { *static_cast<bool*>(done) = true; }), &painted);
        gtk_widget_queue_draw(widget);
        spin_until([&] { return painted; }, 5000);
        g_signal_handler_disconnect(clock, id);
    }
    flush();
}

std::string screenshot(GtkWidget* widget, const std::string& name)
{
    wait_for_frame(widget); // drawn as on the screen
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    cairo_surface_ptr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    {
        cairo_context_ptr cr(cairo_create(surface.get()));
        gtk_widget_draw(widget, cr.get());
    }
    const std::string path = test_support::output_dir("gui") + "/" + name + ".png";
    cairo_surface_write_to_png(surface.get(), path.c_str());
    return path;
}

std::string settings_path()
{
    return std::string(g_get_user_config_dir()) + "/skimra/settings.ini";
}

void write_settings(const std::string& ini_text)
{
    g_mkdir_with_parents((std::string(g_get_user_config_dir()) + "/skimra").c_str(), 0700);
    test_support::write_file(settings_path(), ini_text);
}

void clear_settings()
{
    std::remove(settings_path().c_str());
}

GtkWidget* find_widget(GtkWidget* root, const std::function<bool(GtkWidget*)>& match)
{
    if (!root)
        return nullptr;
    if (match(root))
        return root;
    GtkWidget* found = nullptr;
    if (GTK_IS_MENU_ITEM(root)) {
        if (GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(root)))
            found = find_widget(sub, match);
    }
    if (!found && GTK_IS_CONTAINER(root)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(root));
        for (GList* l = children; l && !found; l = l->next)
            found = find_widget(GTK_WIDGET(l->data), match);
        g_list_free(children);
    }
    return found;
}

GtkWidget* find_menu_item(GtkWidget* root, const char* label)
{
    return find_widget(root, [&](GtkWidget* w) {
        if (!GTK_IS_MENU_ITEM(w))
            return false;
        const char* text = gtk_menu_item_get_label(GTK_MENU_ITEM(w));
        return text && std::string(text) == label;
    });
}

GtkWidget* menu_bar_of(GtkWidget* window)
{
    return find_widget(window, [](GtkWidget* w) { return GTK_IS_MENU_BAR(w); });
}

std::vector<std::string> tab_labels(GtkWidget* notebook)
{
    std::vector<std::string> out;
    for (int i = 0; i < gtk_notebook_get_n_pages(GTK_NOTEBOOK(notebook)); i++) {
        GtkWidget* page = gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), i);
        const char* text = gtk_notebook_get_tab_label_text(GTK_NOTEBOOK(notebook), page);
        out.emplace_back(text ? text : "");
    }
    return out;
}

std::string current_tab(GtkWidget* notebook)
{
    const int i = gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook));
    if (i < 0)
        return "";
    return tab_labels(notebook)[size_t(i)];
}

bool run_test_in_child(const std::vector<std::string>& env, const std::string& own_screen)
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    std::vector<std::string> all = env;
    all.push_back("SKIMRA_TEST_CHILD=1");
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const test_support::run_result r = own_screen.empty()
        ? test_support::run_program(self, { filter }, "", all)
        : test_support::run_program(
            SKIMRA_WITH_DISPLAY, { "--screen", own_screen + "x24", "--", self, filter }, "", all);
    if (r.status != 0)
        ADD_FAILURE() << "the test in a child process failed:\n" << r.out << r.err;
    return r.status == 0;
}

bool in_child()
{
    return std::getenv("SKIMRA_TEST_CHILD") != nullptr;
}

std::string example(const std::string& name)
{
    return test_support::source_dir() + "/examples/" + name;
}

} // namespace gui_test
