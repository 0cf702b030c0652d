// SPDX-License-Identifier: GPL-3.0-or-later
// Which files are videos, where a swoop's video starts on its track, and the
// store of those starts between runs.
//
// A video's place on a swoop is the logger time of the video's first frame,
// kept as `start_ms`: ms from the swoop's first sample. The player's slider
// counts from an origin on the same clock (the entry-gate crossing, or the
// top of the turn), so at slider time t the video shows
//   video time = t + offset,  offset = origin - (first sample + start_ms).
//
// The store is a key file, video-sync.ini in the user's data folder
// (g_get_user_data_dir()/skimra), one group per pair of swoop file and video
// file: the two absolute paths as file URIs, the swoop file's size, the start
// and a use count. A swoop opened again gets the video it had last, when the
// swoop file still has that size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/swoop/swoop.h"

// Whether a file name ends in one of the video extensions mp4, mov, mkv,
// webm or avi, in any letter case.
bool is_video_file(const std::string& path);

// How the first start of a video was found.
enum class video_placement : uint8_t {
    creation_time, // the container's creation time lies inside the jump
    shifted_creation_time, // the creation time shifted by whole hours lies inside the jump
    entry_gate, // no usable creation time: the video starts at the entry-gate crossing
    top_of_turn, // the same, for a swoop without an entry-gate crossing
    stored, // the start stored in the key file
};

struct video_start {
    int64_t start_ms = 0; // logger time of the first frame, ms after the swoop's first sample
    video_placement how = video_placement::entry_gate;
    int shift_hours = 0; // shifted_creation_time: the hours added to the creation time
};

// The first start of a video on a swoop. creation_utc_ms is the container's
// creation time (true UTC, ms since the epoch), when it has one. The track's
// sample times are the logger's UTC readings taken as local time; they are
// turned back into UTC before the comparison. The jump is the track from its
// first sample to its last. A creation time outside it that a shift of 1 to
// 14 whole hours (the fewest first, earlier before later) brings inside is
// a camera that wrote its local time as UTC.
video_start video_first_start(const swoop& s, std::optional<int64_t> creation_utc_ms);

// The sentence the video page shows about a start ("" for a stored one).
std::string video_start_note(const video_start& start);

// The slider's origin of a swoop (logger ms): its entry-gate crossing, or the
// time of its top of the turn; none when the swoop has no samples there.
std::optional<int64_t> slider_origin(const swoop& s);

// The offset (ms) of a start on a swoop: video time = slider time + offset.
std::optional<int64_t> video_offset_ms(const swoop& s, int64_t start_ms);

// The store.
struct stored_video {
    std::string video; // absolute path
    int64_t start_ms = 0;
};

// g_get_user_data_dir()/skimra/video-sync.ini
std::string video_sync_path();

// The video stored last for a swoop file of this size (absolute path), if any.
std::optional<stored_video> video_sync_find(const std::string& swoop_path, int64_t swoop_size);

// Stores the start of a pair and makes it the swoop's last video; false with
// *err set when the file cannot be written.
bool video_sync_store(const std::string& swoop_path, int64_t swoop_size, const std::string& video_path,
    int64_t start_ms, std::string* err);

// A file's size in bytes, or none when it cannot be read.
std::optional<int64_t> file_size(const std::string& path);

// The absolute form of a path (made from the working directory when it is
// relative; "." and ".." taken out).
std::string absolute_path(const std::string& path);
