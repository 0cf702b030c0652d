// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/gui/gui_files.h"

#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "core/platform/glib_handles.h"
#include "gui/swoop_list.h"
#include "gui/window.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

namespace gui_test {

std::string make_test_video(const std::string& dir, const std::string& name, const test_video& v)
{
    const int frames = int(v.seconds * 30 + 0.5);
    std::string stamp = v.creation_time;
    for (char& c : stamp)
        if (c == ':')
            c = '-';
    const std::string made = test_support::output_dir("videos") + "/" + std::to_string(v.width) + "x"
        + std::to_string(v.height) + "-" + std::to_string(frames) + "-" + (stamp.empty() ? "now" : stamp)
        + ".webm";
    if (!test_support::file_exists(made)) {
        // Made under a name of its own and renamed: test processes running at
        // the same time see the whole file or none.
        const std::string part = made + "." + std::to_string(getpid()) + ".part";
        std::vector<std::string> args { "-q", "videotestsrc", "num-buffers=" + std::to_string(frames), "!",
            "video/x-raw,width=" + std::to_string(v.width) + ",height=" + std::to_string(v.height)
                + ",framerate=30/1",
            "!", "timeoverlay", "!", "vp8enc", "keyframe-max-dist=30", "deadline=1", "!", "webmmux" };
        if (!v.creation_time.empty())
            args.push_back("creation-time=" + v.creation_time);
        for (const char* a : { "!", "filesink" })
            args.emplace_back(a);
        args.push_back("location=" + part);
        g_text program(g_find_program_in_path("gst-launch-1.0"));
        if (!program)
            throw std::runtime_error(
                "gst-launch-1.0 is missing (scripts/bootstrap installs gstreamer1.0-tools)");
        const test_support::run_result r = test_support::run_program(program.get(), args);
        if (r.status != 0 || !test_support::file_exists(part))
            throw std::runtime_error("gst-launch-1.0 could not make a test video: " + r.out + r.err);
        std::filesystem::rename(part, made);
    }
    const std::string path = dir + "/" + name;
    std::filesystem::copy_file(made, path, std::filesystem::copy_options::overwrite_existing);
    return path;
}

std::string copy_example(const std::string& dir, const std::string& example, const std::string& name)
{
    const std::string path = dir + "/" + name;
    std::filesystem::copy_file(
        gui_test::example(example), path, std::filesystem::copy_options::overwrite_existing);
    return path;
}

two_swoops::two_swoops(const std::string& dir)
    : dir_path(dir)
    , a(copy_example(dir, "swoop-270-right.csv", "a.csv"))
    , b(copy_example(dir, "swoop-450-left.csv", "b.csv"))
{
    clear_settings();
}

far_course write_far_course(const std::string& dir)
{
    walk_options walk;
    walk.course.lat += 0.03;
    walk.seed = 5;
    const sim_walk w = generate_walk(walk);
    swoop_options o = example_swoop(walk.course, w.truth.theta, sim_example::right_270);
    const sim_swoop s = generate_swoop(o);
    far_course out { dir + "/far-walk.csv", dir + "/far-swoop.csv" };
    const char* err = nullptr;
    if (!write_track(out.walk.c_str(), w.samples, sim_dialect::field_names, &err)
        || !write_track(out.swoop.c_str(), s.samples, sim_dialect::field_names, &err))
        throw std::runtime_error(err);
    return out;
}

std::string cli_report(const std::string& swoop, const std::string& gate, bool metric, bool wind)
{
    test_support::temp_dir dir;
    namespace fs = std::filesystem;
    const std::string name = fs::path(swoop).filename().string();
    fs::copy_file(swoop, dir.file(name));
    std::vector<std::string> args;
    if (metric)
        args.push_back("-m");
    if (wind)
        args.push_back("-w");
    if (gate.empty()) {
        args.push_back("-i");
    } else {
        const std::string gate_name = fs::path(gate).filename().string();
        fs::copy_file(gate, dir.file(gate_name));
        args.insert(args.end(), { "-g", gate_name });
    }
    args.push_back(name);
    const test_support::run_result r = test_support::run_program(test_support::cli_path(), args, dir.path());
    if (r.status != 0)
        throw std::runtime_error("skimra-cli failed: " + r.out + r.err);
    return test_support::read_file(dir.file(name.substr(0, name.size() - 3) + "txt"));
}

std::string results_text(GtkWidget* window)
{
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(context_of(window)->results_view));
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    g_text text(gtk_text_buffer_get_text(buffer, &start, &end, FALSE));
    return text.get();
}

std::vector<std::string> row_names(GtkWidget* window)
{
    std::vector<std::string> names;
    for (GtkWidget* row : swoop_rows(window)) {
        g_text name(g_path_get_basename(row_swoop(row)->file.c_str()));
        names.emplace_back(name.get());
    }
    return names;
}

std::string selected_name(GtkWidget* window)
{
    GtkWidget* row = selected_row(window);
    if (!row)
        return "";
    g_text name(g_path_get_basename(row_swoop(row)->file.c_str()));
    return name.get();
}

} // namespace gui_test
