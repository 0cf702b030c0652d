// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-logbook add: analyse swoop files against one course and record them.
//
// A file is skipped without being read when its size and modification stamp
// are those of its row and the row was analysed against the same course by
// this version of the analysis. Otherwise its content hash decides: the same
// content only updates the stamp, new content (or another course) is
// analysed again. With -b the heights come from the sensor file beside each
// swoop: a row recorded without -b, or with another sensor file (by content),
// is analysed again, and so is a row recorded with -b when -b is not given.
// Each file's row is written in a transaction of its own, so
// an interrupted run leaves every finished file recorded and nothing half
// written; the analysis itself runs outside the transaction.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/gate/gate.h"
#include "core/sensor/baro_fusion.h"
#include "core/sensor/sensor_beside.h"
#include "core/swoop/swoop.h"
#include "logbook/commands.h"
#include "logbook/file_scan.h"
#include "logbook/jump_store.h"

namespace {

// The course swoops are judged on, and what makes two courses the same: the
// gate file's content (so a gate surveyed again under the same name is
// another course), or the swoop's own frame.
struct course_identity {
    std::string name; // for display: the gate file's name, or "own frame"
    std::string key; // "own frame" or "gate sha256:<hex>"
    std::string gate_path; // resolved gate file, empty for the own frame
    std::unique_ptr<gate> g; // the surveyed gate, none for the own frame
};

bool open_course(const add_options& opts, course_identity& course, std::string& err)
{
    if (opts.own_frame) {
        course.name = course.key = "own frame";
        return true;
    }
    std::string hex;
    if (!file_sha256(opts.gate_file, hex, err))
        return false;
    const char* core_err = nullptr;
    course.g = gate_open(opts.gate_file.c_str(), nullptr, &core_err);
    if (!course.g) {
        err = opts.gate_file + ": " + (core_err ? core_err : "cannot survey the gate");
        return false;
    }
    course.name = std::filesystem::path(opts.gate_file).filename().string();
    course.key = "gate sha256:" + hex;
    std::error_code ec;
    course.gate_path = std::filesystem::canonical(opts.gate_file, ec).string();
    return true;
}

// Where a swoop's heights come from: its sensor file with -b.
struct height_plan {
    bool baro = false; // -b
    std::string sensor_path; // the sensor file beside the swoop, empty = none
    std::string sensor_sha256; // its content, empty = none
};

constexpr const char* gps_source = "GPS";
constexpr const char* baro_source = "barometer and GPS";
constexpr const char* no_sensor_source = "GPS (no sensor file)";

// False with err when the sensor file beside the swoop cannot be read.
bool plan_heights(const std::string& path, bool baro, height_plan& plan, std::string& err)
{
    plan.baro = baro;
    if (!baro)
        return true;
    plan.sensor_path = sensor_file_beside(path);
    return plan.sensor_path.empty() || file_sha256(plan.sensor_path, plan.sensor_sha256, err);
}

jump_record new_record(const std::string& path, const course_identity& course)
{
    jump_record j;
    j.path = path;
    j.course = course.name;
    j.course_key = course.key;
    j.analysis_version = logbook_analysis_version;
    return j;
}

// Loads and analyses one swoop file into j (its error when that fails).
void analyse(jump_record& j, const course_identity& course, const height_plan& plan, bool wind)
{
    const char* core_err = nullptr;
    std::unique_ptr<swoop> s = swoop_new(j.path.c_str(), &core_err);
    if (!s) {
        j.error = core_err ? core_err : "failed to load the swoop";
        return;
    }
    if (!s->track.empty())
        j.jump_time_utc = sample_time_to_utc_ms(s->track[0].time);
    baro_fusion fusion;
    if (!plan.sensor_path.empty()) {
        swoop_baro_from_file(*s, plan.sensor_path, fusion, &core_err);
        if (core_err) {
            j.error = core_err;
            return;
        }
        swoop_use_baro_heights(*s, fusion);
    }
    if (course.g)
        swoop_analyse(*s, frame_from_gate, &course.g->matrix, course.g->theta, &core_err);
    else
        swoop_analyse(*s, frame_from_swoop, nullptr, 0, &core_err);
    if (core_err) {
        j.error = core_err;
        return;
    }
    jump_results_from_swoop(*s, j);
    if (wind)
        jump_wind_from_swoop(*s, j);
    if (plan.sensor_path.empty())
        return;
    const gate_heights g = swoop_gate_heights(*s, fusion);
    if (g.entry_gate.known) {
        j.heights.entry_gate = g.entry_gate.height;
        j.heights.entry_gate_sigma = g.entry_gate.sigma;
    }
    if (g.exit_gate.known) {
        j.heights.exit_gate = g.exit_gate.height;
        j.heights.exit_gate_sigma = g.exit_gate.sigma;
    }
}

// A row recorded without the wind is analysed again when the wind is asked
// for; one recorded with it keeps it when it is not.
bool same_analysis(const stored_file& f, const course_identity& course, const height_plan& plan, bool wind)
{
    const bool stored_baro = f.height_source && *f.height_source != gps_source;
    return f.course_key == course.key && f.analysis_version == logbook_analysis_version
        && stored_baro == plan.baro && (!plan.baro || f.sensor_sha256 == plan.sensor_sha256)
        && (f.with_wind || !wind);
}

enum class outcome { added, updated, unchanged, failed };

struct run_counts {
    size_t added = 0, updated = 0, unchanged = 0, failed = 0;
};

// Adds one file; a file that fails gets its message in `failure`. False
// (with err) only when the logbook itself fails.
bool add_file(const logbook& lb, const std::string& path, const course_identity& course, bool baro, bool wind,
    outcome& result, std::string& failure, std::string& err)
{
    jump_record j = new_record(path, course);
    j.with_wind = wind; // also when the analysis fails: asking again gives the same
    std::string io_err;
    bool readable = file_identity(path, j.file_size, j.file_mtime, io_err);
    height_plan plan;
    readable = readable && plan_heights(path, baro, plan, io_err);
    j.heights.source = !baro ? gps_source : plan.sensor_path.empty() ? no_sensor_source : baro_source;
    j.heights.sensor_sha256 = plan.sensor_sha256;
    std::optional<stored_file> stored = jump_store_find(lb, path, err);
    if (!err.empty())
        return false;
    result = outcome::unchanged;
    if (readable && stored && stored->file_size == j.file_size && stored->file_mtime == j.file_mtime
        && same_analysis(*stored, course, plan, wind))
        return true;
    readable = readable && file_sha256(path, j.content_sha256, io_err);
    if (readable && stored && stored->content_sha256 == j.content_sha256
        && same_analysis(*stored, course, plan, wind)) {
        write_transaction txn(lb, err);
        return txn.begun() && jump_store_touch(lb, path, j.file_size, j.file_mtime, err) && txn.commit(err);
    }
    if (readable)
        analyse(j, course, plan, wind);
    else
        j.error = io_err;

    write_transaction txn(lb, err);
    if (!txn.begun())
        return false;
    // Another run may have recorded the same file while this one analysed it.
    stored = jump_store_find(lb, path, err);
    if (!err.empty())
        return false;
    if (stored && stored->file_size == j.file_size && stored->file_mtime == j.file_mtime
        && stored->content_sha256 == j.content_sha256 && same_analysis(*stored, course, plan, wind))
        return true;
    if (!jump_store_put(lb, j, err) || !txn.commit(err))
        return false;
    if (j.error) {
        result = outcome::failed;
        failure = *j.error;
    } else {
        result = stored ? outcome::updated : outcome::added;
    }
    return true;
}

// A one-line bar on a terminal's stderr, redrawn at most ten times a second
// and only once the run has taken a moment; nothing when stderr is not a terminal.
class progress_bar {
public:
    explicit progress_bar(size_t total)
        : total_(total)
        , on_(isatty(STDERR_FILENO) != 0)
        , start_(clock::now())
        , last_(start_)
    {
    }
    ~progress_bar() { clear(); }
    void update(size_t done)
    {
        const auto now = clock::now();
        if (!on_ || now - start_ < std::chrono::milliseconds(300)
            || now - last_ < std::chrono::milliseconds(100))
            return;
        last_ = now;
        constexpr size_t width = 40;
        const size_t filled = total_ ? done * width / total_ : width;
        std::fprintf(stderr, "\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
            std::string(width - filled, '.').c_str(), done, total_);
        std::fflush(stderr);
        drawn_ = true;
    }
    void clear()
    {
        if (drawn_)
            std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }

private:
    using clock = std::chrono::steady_clock;
    size_t total_;
    bool on_;
    bool drawn_ = false;
    clock::time_point start_, last_;
};

// The logger reader reports unknown columns on standard output. While files
// are analysed, standard output goes to standard error with the other
// diagnostics, so standard output carries only the summary line.
class stdout_to_stderr {
public:
    stdout_to_stderr()
    {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        if (saved_ >= 0)
            dup2(STDERR_FILENO, STDOUT_FILENO);
    }
    ~stdout_to_stderr() { restore(); }
    stdout_to_stderr(const stdout_to_stderr&) = delete;
    stdout_to_stderr& operator=(const stdout_to_stderr&) = delete;
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
    }

private:
    int saved_ = -1; // the original standard output, -1 once restored
};

} // namespace

int logbook_add(const std::string& db_path, const add_options& opts)
{
    std::string err;
    course_identity course;
    if (!open_course(opts, course, err)) {
        print_error(err);
        return exit_failure;
    }
    logbook lb;
    if (!logbook_open(lb, db_path, logbook_access::write, err)) {
        print_error(err);
        return exit_failure;
    }
    std::vector<std::string> missing;
    std::vector<std::string> files = collect_swoop_files(opts.paths, missing);
    for (const std::string& m : missing)
        print_error(m);

    run_counts counts;
    counts.failed = missing.size();
    stdout_to_stderr diagnostics;
    progress_bar bar(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        bar.update(i);
        if (files[i] == course.gate_path)
            continue; // the gate walk lies among the swoops
        outcome result = outcome::unchanged;
        std::string failure;
        if (!add_file(lb, files[i], course, opts.baro, opts.wind, result, failure, err)) {
            bar.clear();
            print_error(lb.path + ": " + err);
            return exit_failure;
        }
        if (result == outcome::failed) {
            bar.clear();
            print_error(files[i] + ": " + failure);
        }
        size_t* count[] = { &counts.added, &counts.updated, &counts.unchanged, &counts.failed };
        ++*count[static_cast<int>(result)];
    }
    bar.clear();
    diagnostics.restore();
    std::printf("added %zu, updated %zu, unchanged %zu, failed %zu\n", counts.added, counts.updated,
        counts.unchanged, counts.failed);
    return missing.empty() ? exit_ok : exit_failure;
}
