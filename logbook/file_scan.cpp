// SPDX-License-Identifier: GPL-3.0-or-later
// Walking the folders an add names and hashing the files found.

#include "logbook/file_scan.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/platform/platform.h"
#include "core/sensor/sensor_beside.h"

namespace fs = std::filesystem;

namespace {

struct checksum_release {
    void operator()(GChecksum* c) const { g_checksum_free(c); }
};
using checksum_ptr = std::unique_ptr<GChecksum, checksum_release>;

bool is_swoop_extension(const fs::path& path)
{
    const std::string ext = path.extension().string();
    return g_ascii_strcasecmp(ext.c_str(), ".csv") == 0 || g_ascii_strcasecmp(ext.c_str(), ".skm") == 0;
}

void add_resolved(const fs::path& path, std::vector<std::string>& files, std::vector<std::string>& missing)
{
    std::error_code ec;
    fs::path resolved = fs::canonical(path, ec);
    if (ec)
        missing.push_back(path.string() + ": " + ec.message());
    else
        files.push_back(resolved.string());
}

} // namespace

std::vector<std::string> collect_swoop_files(
    const std::vector<std::string>& paths, std::vector<std::string>& missing)
{
    std::vector<std::string> files;
    for (const std::string& p : paths) {
        std::error_code ec;
        const fs::file_status status = fs::status(p, ec);
        if (fs::is_directory(status)) {
            auto it = fs::recursive_directory_iterator(p, fs::directory_options::skip_permission_denied, ec);
            for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
                std::error_code entry_ec; // a dangling link is passed over
                // The logger's sensor file beside a track is not a swoop.
                if (it->is_regular_file(entry_ec) && is_swoop_extension(it->path())
                    && !is_sensor_file_name(it->path().filename().string()))
                    add_resolved(it->path(), files, missing);
            }
            if (ec)
                missing.push_back(p + ": " + ec.message());
        } else if (fs::exists(status)) {
            add_resolved(p, files, missing);
        } else {
            missing.push_back(p + ": " + (ec ? ec.message() : std::strerror(ENOENT)));
        }
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

bool file_identity(const std::string& path, int64_t& size, int64_t& mtime, std::string& err)
{
    std::error_code ec;
    const uintmax_t bytes = fs::file_size(path, ec);
    if (!ec)
        mtime = static_cast<int64_t>(fs::last_write_time(path, ec).time_since_epoch().count());
    if (ec) {
        err = "cannot read " + path + ": " + ec.message();
        return false;
    }
    size = static_cast<int64_t>(bytes);
    return true;
}

bool file_sha256(const std::string& path, std::string& hex, std::string& err)
{
    file_ptr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        err = "failed to open file: " + path + ": " + std::strerror(errno);
        return false;
    }
    checksum_ptr sum(g_checksum_new(G_CHECKSUM_SHA256));
    std::vector<unsigned char> block(1 << 16);
    size_t n;
    while ((n = std::fread(block.data(), 1, block.size(), file.get())) > 0)
        g_checksum_update(sum.get(), block.data(), static_cast<gssize>(n));
    if (std::ferror(file.get())) {
        err = "failed to read file: " + path;
        return false;
    }
    hex = g_checksum_get_string(sum.get());
    return true;
}
