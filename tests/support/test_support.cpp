// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/support/test_support.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace test_support {

temp_dir::temp_dir()
{
    std::string pattern = (fs::temp_directory_path() / "skimra-test-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

temp_dir::~temp_dir()
{
    if (std::getenv("SKIMRA_KEEP_TMP"))
        return;
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << content;
}

bool file_exists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

namespace {

std::string slurp_fd(int fd)
{
    std::string s;
    char buf[65536];
    lseek(fd, 0, SEEK_SET);
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        s.append(buf, static_cast<size_t>(n));
    return s;
}

} // namespace

run_result run_program(const std::string& program, const std::vector<std::string>& args,
    const std::string& cwd, const std::vector<std::string>& env)
{
    // Output goes to unlinked temporary files, so large outputs cannot block.
    char out_name[] = "/tmp/skimra-out-XXXXXX";
    char err_name[] = "/tmp/skimra-err-XXXXXX";
    int out_fd = mkstemp(out_name);
    int err_fd = mkstemp(err_name);
    unlink(out_name);
    unlink(err_name);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        setenv("TZ", "UTC", 1);
        setenv("LC_ALL", "C", 1);
        for (const std::string& e : env) {
            auto eq = e.find('=');
            setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run_result r;
    r.out = slurp_fd(out_fd);
    r.err = slurp_fd(err_fd);
    close(out_fd);
    close(err_fd);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

scoped_tz::scoped_tz(const char* tz)
{
    const char* old = std::getenv("TZ");
    had_old_ = old != nullptr;
    if (old)
        old_ = old;
    setenv("TZ", tz, 1);
    tzset();
}

scoped_tz::~scoped_tz()
{
    if (had_old_)
        setenv("TZ", old_.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

scoped_cwd::scoped_cwd(const std::string& dir)
    : old_(fs::current_path().string())
{
    fs::current_path(dir);
}

scoped_cwd::~scoped_cwd()
{
    std::error_code ec;
    fs::current_path(old_, ec);
}

std::string output_dir(const std::string& name)
{
    fs::path p = fs::current_path() / "output" / name;
    fs::create_directories(p);
    return p.string();
}

} // namespace test_support
