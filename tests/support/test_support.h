// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by every test program.
#pragma once

#include <string>
#include <vector>

namespace test_support {

// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes away (kept when SKIMRA_KEEP_TMP is set).
class temp_dir {
public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);

// Result of running a program.
struct run_result {
    std::string out; // standard output
    std::string err; // standard error
    int status = -1; // exit status, -1 when it did not exit normally
};

// Runs a program with arguments (argv[0] as given) in the folder cwd, with
// TZ=UTC and the C locale unless env overrides them ("NAME=value" entries).
run_result run_program(const std::string& program, const std::vector<std::string>& args,
    const std::string& cwd = "", const std::vector<std::string>& env = {});

// The built skimra-cli and skimra-logbook, the source tree and tests/data.
inline std::string cli_path()
{
    return SKIMRA_CLI_PATH;
}
inline std::string logbook_path()
{
    return SKIMRA_LOGBOOK_PATH;
}
inline std::string source_dir()
{
    return SKIMRA_SOURCE_DIR;
}
inline std::string data_dir()
{
    return SKIMRA_TEST_DATA;
}
inline std::string data_file(const std::string& name)
{
    return std::string(SKIMRA_TEST_DATA) + "/" + name;
}

// Sets TZ for the lifetime of the object and restores the old value after.
class scoped_tz {
public:
    explicit scoped_tz(const char* tz);
    ~scoped_tz();
    scoped_tz(const scoped_tz&) = delete;
    scoped_tz& operator=(const scoped_tz&) = delete;

private:
    std::string old_;
    bool had_old_;
};

// Works in a folder for the lifetime of the object and goes back to the old
// working directory after (the core writes "coord.txt" and "matrix.txt" in
// the working directory). Throws when the folder cannot be entered.
class scoped_cwd {
public:
    explicit scoped_cwd(const std::string& dir);
    ~scoped_cwd();
    scoped_cwd(const scoped_cwd&) = delete;
    scoped_cwd& operator=(const scoped_cwd&) = delete;

private:
    std::string old_;
};

// Folder for output a developer may want to look at (plots, PDFs):
// <build>/tests/output/<name>, created on demand.
std::string output_dir(const std::string& name);

} // namespace test_support
