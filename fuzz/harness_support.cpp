// SPDX-License-Identifier: GPL-3.0-or-later

#include "fuzz/harness_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

std::string scratch;

// The scratch folder goes when the run ends normally; after a crash it stays
// for a look at what the harness wrote.
void remove_scratch()
{
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
}

const std::string& scratch_dir()
{
    static const std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string d = std::string(tmp && *tmp ? tmp : "/tmp") + "/skimra-fuzz-" + std::to_string(getpid());
        if (mkdir(d.c_str(), 0700) != 0 && access(d.c_str(), W_OK) != 0) {
            std::perror(d.c_str());
            std::abort();
        }
        // The readers print warnings on standard output; libFuzzer reports on
        // standard error.
        if (!std::freopen("/dev/null", "w", stdout))
            std::abort();
        if (chdir(d.c_str()) != 0)
            std::abort();
        scratch = d;
        std::atexit(remove_scratch);
        return d;
    }();
    return dir;
}

} // namespace

const std::string& fuzz_input_file(const uint8_t* data, size_t size, const char* name)
{
    static std::string path;
    path = scratch_dir() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    if (std::fclose(f) != 0)
        std::abort();
    return path;
}

std::string fuzz_scratch_path(const char* name)
{
    return scratch_dir() + "/" + name;
}

void fuzz_check(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

bool fuzz_known_reader_message(const char* err)
{
    static const char* const messages[] = {
        "failed to open file: ",
        "failed to malloc file.block_ptr",
        "missing field names",
        "invalid field names",
        "missing field units",
        "line length exceeded size of buffer",
        "no GPS points found",
        "invalid time field",
        "failed to realloc gps_points",
        "missing $ prefix",
    };
    if (!err)
        return false;
    for (const char* m : messages) {
        if (std::strncmp(err, m, std::strlen(m)) == 0)
            return true;
    }
    return false;
}

void fuzz_logger_reader(
    const uint8_t* data, size_t size, const char* name, void (*reader)(const char*, gps_track&, const char**))
{
    const std::string& path = fuzz_input_file(data, size, name);
    gps_track track;
    const char* err = nullptr;
    reader(path.c_str(), track, &err);
    if (err) {
        fuzz_check(fuzz_known_reader_message(err), "unexpected reader message");
        fuzz_check(track.gps_points.empty() && track.count == 0, "a failed read left samples");
    } else {
        fuzz_check(track.count > 0, "a successful read without samples");
        fuzz_check(track.count <= track.capacity && track.gps_points.size() == track.capacity,
            "sample count beyond the array");
    }
}
