// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sensor/sensor_beside.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

constexpr const char* sensor_name = "SENSOR.CSV";

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

bool is_sensor_file_name(const std::string& name)
{
    const std::string want = sensor_name;
    if (name.size() != want.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (upper(name[i]) != want[i])
            return false;
    return true;
}

std::string sensor_file_beside(const std::string& track_path)
{
    namespace fs = std::filesystem;
    fs::path folder = fs::path(track_path).parent_path();
    if (folder.empty())
        folder = ".";
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return {};
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const std::string name = it->path().filename().string();
        std::error_code type_ec;
        if (is_sensor_file_name(name) && it->is_regular_file(type_ec))
            names.push_back(name);
    }
    if (names.empty())
        return {};
    std::sort(names.begin(), names.end());
    const auto exact = std::find(names.begin(), names.end(), sensor_name);
    const std::string& chosen = exact != names.end() ? *exact : names.front();
    return (fs::path(track_path).parent_path() / chosen).string();
}

void swoop_baro_from_file(const swoop& s, const std::string& path, baro_fusion& out, const char** err)
{
    *err = nullptr;
    out = baro_fusion {};
    sensor_file file;
    sensor_file_read(path.c_str(), file, err);
    if (*err)
        return;
    swoop_baro_fuse(s, file, out, err);
    if (*err)
        out = baro_fusion {};
}
