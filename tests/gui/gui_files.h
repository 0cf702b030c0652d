// SPDX-License-Identifier: GPL-3.0-or-later
// Track files for the desktop program's tests: copies of the examples under
// other names, and a second course two miles from the examples' one with a
// walk and a swoop of its own.
#pragma once

#include <string>
#include <vector>

#include <gtk/gtk.h>

namespace gui_test {

// Copies examples/<example> to <dir>/<name> and returns the new path.
std::string copy_example(const std::string& dir, const std::string& example, const std::string& name);

// A scratch folder holding copies of two example swoops as a.csv (the right
// 270) and b.csv (the left 450); the settings are cleared.
struct two_swoops {
    std::string dir_path;
    std::string a, b;
    explicit two_swoops(const std::string& dir);
};

// A gate walk and a swoop flown on a course 0.03 degrees (3.3 km, about two
// miles) north of the examples' course, written into dir.
struct far_course {
    std::string walk; // path of the walk
    std::string swoop; // path of a swoop on that course
};
far_course write_far_course(const std::string& dir);

// What skimra-cli reports for a swoop: its report file after
// `skimra-cli [-m] [-w] -i swoop` or `skimra-cli [-m] [-w] -g gate swoop`,
// run in a scratch folder on copies of the files.
std::string cli_report(const std::string& swoop, const std::string& gate, bool metric, bool wind = false);

// A test video made by gst-launch-1.0 as a camera would write it: frames
// of `videotestsrc` stamped by `timeoverlay`, 30 frames per second, encoded
// by `vp8enc keyframe-max-dist=30 deadline=1` (a key frame every second) and
// muxed by `webmmux` with the creation time given (ISO 8601 UTC, "" for the
// current time). Every frame's time is known: frame k starts at k / 30 s.
// Made once per set of parameters under <build>/tests/output/videos and
// copied to <dir>/<name>; returns the copy's path.
struct test_video {
    double seconds = 20;
    int width = 320, height = 240;
    std::string creation_time; // e.g. "2019-07-14T17:00:05Z"
};
std::string make_test_video(const std::string& dir, const std::string& name, const test_video& v);

// The text of the window's results view.
std::string results_text(GtkWidget* window);

// Base names of the list's rows in order, and of the selected one ("" for none).
std::vector<std::string> row_names(GtkWidget* window);
std::string selected_name(GtkWidget* window);

} // namespace gui_test
