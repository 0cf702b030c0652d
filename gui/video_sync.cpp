// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/video_sync.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/platform/glib_handles.h"
#include "core/track/sample_time.h"

namespace {

constexpr int64_t hour_ms = 3600 * 1000;
constexpr int max_shift_hours = 14; // the widest offset of a time zone from UTC

// The key file's keys.
constexpr const char* key_swoop = "swoop";
constexpr const char* key_size = "swoop_size";
constexpr const char* key_video = "video";
constexpr const char* key_start = "start_ms";
constexpr const char* key_used = "used";

std::string uri_of(const std::string& path)
{
    g_text uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    return uri ? uri.get() : "";
}

std::string path_of(const char* uri)
{
    g_text path(uri ? g_filename_from_uri(uri, nullptr, nullptr) : nullptr);
    return path ? path.get() : "";
}

// A group's name: the checksum of the pair (paths may hold characters a
// group name cannot).
std::string group_of(const std::string& swoop_uri, int64_t size, const std::string& video_uri)
{
    const std::string key = swoop_uri + "\n" + std::to_string(size) + "\n" + video_uri;
    g_text sum(g_compute_checksum_for_string(G_CHECKSUM_SHA256, key.c_str(), gssize(key.size())));
    return std::string("pair ") + std::string(sum.get()).substr(0, 24);
}

key_file_ptr load_store()
{
    key_file_ptr file(g_key_file_new());
    // An absent or unreadable file is an empty store.
    g_key_file_load_from_file(file.get(), video_sync_path().c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    return file;
}

int64_t int64_value(GKeyFile* file, const char* group, const char* key, bool* ok)
{
    GError* raw = nullptr;
    const gint64 value = g_key_file_get_int64(file, group, key, &raw);
    g_error_ptr error(raw);
    *ok = *ok && !error;
    return value;
}

} // namespace

bool is_video_file(const std::string& path)
{
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    std::string ext = path.substr(dot + 1);
    std::transform(
        ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(g_ascii_tolower(c)); });
    for (const char* video : { "mp4", "mov", "mkv", "webm", "avi" })
        if (ext == video)
            return true;
    return false;
}

std::optional<int64_t> slider_origin(const swoop& s)
{
    if (s.entry_gate_time != 0)
        return int64_t(s.entry_gate_time);
    if (s.top_of_turn < s.track_len && s.track_len != 0)
        return s.track[s.top_of_turn].time;
    return std::nullopt;
}

std::optional<int64_t> video_offset_ms(const swoop& s, int64_t start_ms)
{
    const std::optional<int64_t> origin = slider_origin(s);
    if (!origin || s.track_len == 0)
        return std::nullopt;
    return *origin - (s.track[0].time + start_ms);
}

video_start video_first_start(const swoop& s, std::optional<int64_t> creation_utc_ms)
{
    video_start start;
    if (s.track_len == 0)
        return start;
    const int64_t first = s.track[0].time;
    const std::optional<int64_t> first_utc = sample_time_to_utc_ms(first);
    const std::optional<int64_t> last_utc = sample_time_to_utc_ms(s.track[s.track_len - 1].time);
    if (creation_utc_ms && first_utc && last_utc) {
        auto inside = [&](int64_t t) { return t >= *first_utc && t <= *last_utc; };
        const int64_t c = *creation_utc_ms;
        if (inside(c)) {
            start.start_ms = c - *first_utc;
            start.how = video_placement::creation_time;
            return start;
        }
        for (int h = 1; h <= max_shift_hours; h++) {
            for (int shift : { -h, h }) {
                if (inside(c + shift * hour_ms)) {
                    start.start_ms = c + shift * hour_ms - *first_utc;
                    start.how = video_placement::shifted_creation_time;
                    start.shift_hours = shift;
                    return start;
                }
            }
        }
    }
    const std::optional<int64_t> origin = slider_origin(s);
    start.start_ms = origin ? *origin - first : 0;
    start.how = s.entry_gate_time != 0 ? video_placement::entry_gate : video_placement::top_of_turn;
    return start;
}

std::string video_start_note(const video_start& start)
{
    switch (start.how) {
    case video_placement::creation_time:
        return "placed by the video's creation time";
    case video_placement::shifted_creation_time: {
        char text[160];
        std::snprintf(text, sizeof text,
            "placed by the video's creation time shifted by %+d h: the camera wrote its local time as UTC",
            start.shift_hours);
        return text;
    }
    case video_placement::entry_gate:
        return "no creation time inside the jump: the video starts at the entry-gate crossing";
    case video_placement::top_of_turn:
        return "no creation time inside the jump: the video starts at the top of the turn";
    case video_placement::stored:
        break;
    }
    return "";
}

std::string video_sync_path()
{
    g_text path(g_build_filename(g_get_user_data_dir(), "skimra", "video-sync.ini", nullptr));
    return path.get();
}

std::optional<stored_video> video_sync_find(const std::string& swoop_path, int64_t swoop_size)
{
    key_file_ptr file = load_store();
    const std::string swoop_uri = uri_of(swoop_path);
    std::optional<stored_video> found;
    int64_t best_used = INT64_MIN;
    g_strv groups(g_key_file_get_groups(file.get(), nullptr));
    for (gchar** g = groups.get(); g && *g; ++g) {
        g_text uri(g_key_file_get_string(file.get(), *g, key_swoop, nullptr));
        if (!uri || swoop_uri != uri.get())
            continue;
        bool ok = true;
        const int64_t size = int64_value(file.get(), *g, key_size, &ok);
        const int64_t start = int64_value(file.get(), *g, key_start, &ok);
        const int64_t used = int64_value(file.get(), *g, key_used, &ok);
        g_text video(g_key_file_get_string(file.get(), *g, key_video, nullptr));
        const std::string video_path = path_of(video.get());
        if (!ok || size != swoop_size || video_path.empty() || used < best_used)
            continue;
        best_used = used;
        found = stored_video { video_path, start };
    }
    return found;
}

bool video_sync_store(const std::string& swoop_path, int64_t swoop_size, const std::string& video_path,
    int64_t start_ms, std::string* err)
{
    key_file_ptr file = load_store();
    const std::string swoop_uri = uri_of(swoop_path);
    const std::string video_uri = uri_of(video_path);
    int64_t used = 0;
    g_strv groups(g_key_file_get_groups(file.get(), nullptr));
    for (gchar** g = groups.get(); g && *g; ++g) {
        bool ok = true;
        const int64_t u = int64_value(file.get(), *g, key_used, &ok);
        if (ok)
            used = std::max(used, u);
    }
    const std::string group = group_of(swoop_uri, swoop_size, video_uri);
    g_key_file_set_string(file.get(), group.c_str(), key_swoop, swoop_uri.c_str());
    g_key_file_set_int64(file.get(), group.c_str(), key_size, swoop_size);
    g_key_file_set_string(file.get(), group.c_str(), key_video, video_uri.c_str());
    g_key_file_set_int64(file.get(), group.c_str(), key_start, start_ms);
    g_key_file_set_int64(file.get(), group.c_str(), key_used, used + 1);

    const std::string path = video_sync_path();
    g_text folder(g_path_get_dirname(path.c_str()));
    GError* raw = nullptr;
    if (g_mkdir_with_parents(folder.get(), 0700) != 0
        || !g_key_file_save_to_file(file.get(), path.c_str(), &raw)) {
        g_error_ptr error(raw);
        if (err)
            *err = error ? error->message : "cannot make the folder " + std::string(folder.get());
        return false;
    }
    return true;
}

std::optional<int64_t> file_size(const std::string& path)
{
    GStatBuf st {};
    if (g_stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return int64_t(st.st_size);
}

std::string absolute_path(const std::string& path)
{
    g_text absolute(g_canonicalize_filename(path.c_str(), nullptr));
    return absolute.get();
}
