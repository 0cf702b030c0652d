// SPDX-License-Identifier: GPL-3.0-or-later
// The in-process harness of the desktop program's tests: the real window
// under an X server (Xvfb), driven by real GDK key events, with modal
// dialogs answered from a main-loop source and the main loop spun until a
// condition holds. Nothing here sleeps.
//
// Each test process starts with a fresh HOME and XDG folders (so no test
// sees the user's settings or another test's) and the memory GSettings
// backend; see gui_test_main.cpp.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/glib_handles.h"

namespace gui_test {

// Runs the main loop until cond() holds or timeout_ms pass; false on timeout.
bool spin_until(const std::function<bool()>& cond, int timeout_ms = 10000);

// Handles every event that is ready now.
void flush();

// The application and its main window, as a launch without files makes them
// (a non-unique application, so test processes do not meet on the bus). One
// window at a time.
class app_window {
public:
    app_window();
    ~app_window();
    app_window(const app_window&) = delete;
    app_window& operator=(const app_window&) = delete;

    GtkApplication* app() const { return app_; }
    GtkWidget* window() const { return window_; }
    // Destroys the window now (as closing it does); the destructor does the rest.
    void close();

private:
    GtkApplication* app_; // the process's application
    GtkWidget* window_ = nullptr;
};

// Sends a key press and release through GDK to a widget of a realized window
// and lets the program handle them.
void send_key(GtkWidget* widget, guint keyval, GdkModifierType modifiers = GdkModifierType(0));

// The pointer, through the X server: moves it to (x, y) of the widget
// (widget coordinates), and waits until the widget has seen the motion.
void pointer_move(GtkWidget* widget, int x, int y);

// A press and release of a button at (x, y) of the widget (the pointer
// moves there first), with the modifiers held; waits for the release.
// Buttons 4 and 5 are the wheel's steps up and down.
void pointer_click(
    GtkWidget* widget, int x, int y, guint button = 1, GdkModifierType modifiers = GdkModifierType(0));

// The first button pressed (or let go) at (x, y) of the widget, the
// pointer moved there first; waits until the widget has seen it.
void pointer_button(GtkWidget* widget, int x, int y, bool press);

// Two clicks close enough in time to make a double click.
void pointer_double_click(GtkWidget* widget, int x, int y);

// A key pressed and let go through the X server, the pointer left where it
// is (send_key moves it to the middle of the widget's window).
void pointer_key(GtkWidget* widget, guint keyval);

// A drag with the left button from (x0, y0) to (x1, y1) in a few moves.
void pointer_drag(GtkWidget* widget, int x0, int y0, int x1, int y1);

// What a dialog showed.
struct dialog_seen {
    std::string title;
    std::string text; // message text, or every label of the dialog joined by newlines
    std::string type; // GType name, e.g. "GtkMessageDialog", "GtkFileChooserDialog"
};

// Answers the modal dialogs the program runs from now on: each one found
// among the top-level windows is recorded and given the response answer()
// returns for it (the function may act on the dialog first, e.g. choose a
// file). Stops answering when it goes away.
class dialog_answerer {
public:
    using answer_fn = std::function<int(GtkDialog* dialog, const dialog_seen& seen)>;
    explicit dialog_answerer(answer_fn answer);
    // Answers every dialog with one response.
    explicit dialog_answerer(int response = GTK_RESPONSE_CLOSE);
    ~dialog_answerer();
    dialog_answerer(const dialog_answerer&) = delete;
    dialog_answerer& operator=(const dialog_answerer&) = delete;

    const std::vector<dialog_seen>& seen() const { return seen_; }
    // The texts of the dialogs seen so far, one per dialog.
    std::vector<std::string> texts() const;

private:
    static gboolean poll(gpointer self);
    answer_fn answer_;
    std::vector<dialog_seen> seen_;
    source_id source_;
};

// Drops URIs on the window the way a drag from a file manager ends: the
// selection arrives as a real text/uri-list through the X server.
void drop_uris(GtkWidget* window, const std::vector<std::string>& uris);

// Drops local files (as file URIs).
void drop_files(GtkWidget* window, const std::vector<std::string>& paths);

// Lets the next frame lay out and paint whatever is pending on the widget's
// window.
void wait_for_frame(GtkWidget* widget);

// Writes a PNG of the widget as drawn now under <build>/tests/output/gui/
// and returns its path.
std::string screenshot(GtkWidget* widget, const std::string& name);

// The settings file of this test process, and helpers on it.
std::string settings_path();
void write_settings(const std::string& ini_text); // replaces the file
void clear_settings();

// Widgets found by walking a container.
GtkWidget* find_widget(GtkWidget* root, const std::function<bool(GtkWidget*)>& match);
// The menu item of a menu bar (or menu) whose label reads label (mnemonic
// underscores included).
GtkWidget* find_menu_item(GtkWidget* root, const char* label);
// The window's menu bar.
GtkWidget* menu_bar_of(GtkWidget* window);

// The tab labels of a notebook, and its current page's label.
std::vector<std::string> tab_labels(GtkWidget* notebook);
std::string current_tab(GtkWidget* notebook);

// Runs the current test again in a child process of this test program with
// more environment ("NAME=value"), in the same X server and session bus, or
// in an X server of its own with one screen of the size given ("1366x768");
// the child knows it is one by SKIMRA_TEST_CHILD=1. True when it passed.
bool run_test_in_child(const std::vector<std::string>& env, const std::string& own_screen = "");
// Whether this process is such a child.
bool in_child();

// Folders of the test data.
std::string example(const std::string& name); // examples/<name>

} // namespace gui_test
