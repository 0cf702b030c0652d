// SPDX-License-Identifier: GPL-3.0-or-later
// Preference store on a GLib key file: <user config folder>/skimra/settings.ini,
// group [settings], one key per value.
//
// Stored form of a value: the text as it is, except for backslash escapes of
// what a key file line cannot hold as is:
//   \s          a space of a leading or trailing run (the parser trims them)
//   \n \t \r    line feed, tab, carriage return
//   \\          a backslash
//   \xHH        a byte that is not part of valid UTF-8, or another control
//               byte (two lower-case hex digits)
// so the file is always valid UTF-8 and numbers, "true", "false" and plain
// paths appear unchanged. A value with any other backslash sequence, a
// dangling backslash, a bad or zero \x, or raw bytes that are not UTF-8 is not
// a stored form and reads as absent.
//
// Readers take no lock: every write replaces the whole file with one rename,
// so a reader sees either the old file or the new one. Writers take an flock
// on settings.ini.lock, read the current file, change one key, write the
// result to settings.ini.tmp and rename it over settings.ini; two programs
// writing at once therefore lose neither's values.
#include "core/platform/pref_store.h"

#ifndef _WIN32

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform/glib_handles.h"

namespace {

constexpr const char* settings_group = "settings";

// An open file descriptor that closes itself.
class unique_fd {
public:
    explicit unique_fd(int fd)
        : fd_(fd)
    {
    }
    ~unique_fd()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    unique_fd(const unique_fd&) = delete;
    unique_fd& operator=(const unique_fd&) = delete;
    int get() const { return fd_; }

    // Closes now; false when the close reports an error (a write that the
    // file system delayed may fail only here).
    bool close_checked()
    {
        int fd = fd_;
        fd_ = -1;
        return fd >= 0 && close(fd) == 0;
    }

private:
    int fd_;
};

std::optional<std::string> config_override; // set by pref_store_use_folder

// fsync the new file (and then the folder) before it replaces the old one.
// On by default, as measured with bench/pref_store_bench.cpp on ext4: a write
// takes about 0.7 ms with it and 0.2 ms without, far below what a user
// notices, and writes happen only when the user changes a setting. Without
// it a power cut soon after a write may leave an empty settings file on some
// file systems, and a full disk or a failing network file system may report
// its error only after the rename, when the old file is already gone.
bool sync_writes = true;

// The store's folder, <user config folder>/skimra.
std::string store_folder()
{
    return (config_override ? *config_override : std::string(g_get_user_config_dir())) + "/skimra";
}

// Whether a key file can hold the name as a key and give it back unchanged:
// not empty, valid UTF-8, no control byte, no '=', '[' or ']' (they end the
// key or start a locale suffix), no space at either end (the parser trims it)
// and no '#' first (the line would be a comment).
bool usable_name(const char* name)
{
    if (!name || !*name || !g_utf8_validate(name, -1, nullptr))
        return false;
    std::string_view n(name);
    if (n.front() == ' ' || n.back() == ' ' || n.front() == '#')
        return false;
    for (unsigned char c : n) {
        if (c < 0x20 || c == 0x7f || c == '=' || c == '[' || c == ']')
            return false;
    }
    return true;
}

void append_hex_escape(std::string& out, unsigned char byte)
{
    const char* digits = "0123456789abcdef";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

// The stored form of a text (see the top of this file).
std::string encode(std::string_view text)
{
    size_t lead = text.find_first_not_of(' '); // spaces before it are escaped
    if (lead == std::string_view::npos)
        lead = text.size();
    size_t trail = text.find_last_not_of(' ') + 1; // spaces from here on are escaped
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const gchar* end = nullptr; // first byte that is not part of valid UTF-8
        g_utf8_validate_len(text.data() + i, text.size() - i, &end);
        for (size_t valid_end = static_cast<size_t>(end - text.data()); i < valid_end; ++i) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            if (c == ' ' && (i < lead || i >= trail))
                out += "\\s";
            else if (c == '\n')
                out += "\\n";
            else if (c == '\t')
                out += "\\t";
            else if (c == '\r')
                out += "\\r";
            else if (c == '\\')
                out += "\\\\";
            else if (c < 0x20 || c == 0x7f)
                append_hex_escape(out, c);
            else
                out += static_cast<char>(c);
        }
        if (i < text.size())
            append_hex_escape(out, static_cast<unsigned char>(text[i++]));
    }
    return out;
}

// The text a stored form stands for; none when it is not a valid stored form.
// Upper-case hex digits and escapes in the middle are accepted too, since a
// person may have edited the file.
std::optional<std::string> decode(const char* stored)
{
    if (!g_utf8_validate(stored, -1, nullptr))
        return std::nullopt;
    std::string text;
    for (const char* p = stored; *p; ++p) {
        if (*p != '\\') {
            text += *p;
            continue;
        }
        switch (*++p) {
        case 's':
            text += ' ';
            break;
        case 'n':
            text += '\n';
            break;
        case 't':
            text += '\t';
            break;
        case 'r':
            text += '\r';
            break;
        case '\\':
            text += '\\';
            break;
        case 'x': {
            int high = g_ascii_xdigit_value(p[1]);
            int low = high < 0 ? -1 : g_ascii_xdigit_value(p[2]);
            if (low < 0 || high + low == 0) // a text never holds a zero byte
                return std::nullopt;
            text += static_cast<char>(high * 16 + low);
            p += 2;
            break;
        }
        default: // another escape, or a backslash at the end
            return std::nullopt;
        }
    }
    return text;
}

enum class load_result {
    loaded, // the file was parsed into the key file
    absent, // there is no settings file yet
    corrupt, // the file cannot be parsed
    failed // the file or its folder cannot be read
};

// Reads the settings file into key_file, keeping its comments.
load_result load(const std::string& path, GKeyFile* key_file)
{
    gchar* raw = nullptr;
    gsize length = 0;
    GError* raw_error = nullptr;
    if (!g_file_get_contents(path.c_str(), &raw, &length, &raw_error)) {
        g_error_ptr error(raw_error);
        return g_error_matches(error.get(), G_FILE_ERROR, G_FILE_ERROR_NOENT) ? load_result::absent
                                                                              : load_result::failed;
    }
    g_text contents(raw);
    // A zero byte never belongs in the file; the parser would silently drop
    // the rest of its line.
    if (std::memchr(raw, 0, length))
        return load_result::corrupt;
    if (!g_key_file_load_from_data(key_file, raw, length, G_KEY_FILE_KEEP_COMMENTS, nullptr))
        return load_result::corrupt;
    return load_result::loaded;
}

// Creates a fresh file (mode 0600) holding data. False on any error, so that
// a full disk never lets a short file replace the settings.
bool write_new_file(const std::string& path, const char* data, size_t length)
{
    unlink(path.c_str()); // left by a write that crashed
    unique_fd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        return false;
    while (length > 0) {
        ssize_t n = write(fd.get(), data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    if (sync_writes && fsync(fd.get()) != 0)
        return false;
    return fd.close_checked();
}

// Moves a settings file that cannot be parsed out of the way, to
// settings.ini.bad or, when a person has not yet looked at that one,
// settings.ini.bad2 and so on. Runs under the writers' lock.
bool move_aside(const std::string& path)
{
    for (int i = 1; i < 100; ++i) {
        std::string bad = path + ".bad" + (i > 1 ? std::to_string(i) : "");
        struct stat st;
        if (lstat(bad.c_str(), &st) == 0)
            continue;
        return errno == ENOENT && rename(path.c_str(), bad.c_str()) == 0;
    }
    return false;
}

// Makes the rename itself durable. A failure here is not reported: the new
// file is in place and every reader already sees it.
void sync_folder(const std::string& folder)
{
    unique_fd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        fsync(fd.get());
}

// Replaces the settings file with the key file's contents, moving a corrupt
// old file aside first.
bool replace_settings(const std::string& folder, const std::string& path, GKeyFile* key_file, bool corrupt)
{
    gsize length = 0;
    g_text data(g_key_file_to_data(key_file, &length, nullptr));
    std::string temp = path + ".tmp";
    if (!write_new_file(temp, data.get(), length) || (corrupt && !move_aside(path))
        || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    if (sync_writes)
        sync_folder(folder);
    return true;
}

} // namespace

std::optional<std::string> pref_get(const char* name)
{
    if (!usable_name(name))
        return std::nullopt;
    key_file_ptr key_file(g_key_file_new());
    if (load(store_folder() + "/settings.ini", key_file.get()) != load_result::loaded)
        return std::nullopt;
    g_text stored(g_key_file_get_value(key_file.get(), settings_group, name, nullptr));
    if (!stored)
        return std::nullopt;
    return decode(stored.get());
}

bool pref_set(const char* name, const char* text)
{
    if (!usable_name(name))
        return false;
    std::string folder = store_folder();
    if (text && g_mkdir_with_parents(folder.c_str(), 0700) != 0)
        return false;
    std::string path = folder + "/settings.ini";

    // The lock file stays: removing it would let two writers lock two files.
    unique_fd lock(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0)
        return false;
    while (flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            return false;
    }

    key_file_ptr key_file(g_key_file_new());
    load_result state = load(path, key_file.get());
    if (state == load_result::failed)
        return false; // rewriting would lose values we could not read
    if (state == load_result::corrupt)
        key_file.reset(g_key_file_new());
    if (text)
        g_key_file_set_value(key_file.get(), settings_group, name, encode(text).c_str());
    else if (!g_key_file_remove_key(key_file.get(), settings_group, name, nullptr))
        return false; // there is no such value
    return replace_settings(folder, path, key_file.get(), state == load_result::corrupt);
}

void pref_store_use_folder(const char* folder)
{
    if (folder)
        config_override = folder;
    else
        config_override.reset();
}

void pref_store_set_sync(bool sync)
{
    sync_writes = sync;
}

#endif
