// SPDX-License-Identifier: GPL-3.0-or-later
// The key-file preference store, through its files in a fresh folder per test.
#include "core/platform/pref_store.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <glib.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using test_support::file_exists;
using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

class pref_store : public ::testing::Test {
protected:
    pref_store() { pref_store_use_folder(dir.path().c_str()); }
    std::string file(const std::string& name = "settings.ini") const { return dir.file("skimra/" + name); }
    void write_settings(const std::string& content)
    {
        std::filesystem::create_directories(dir.file("skimra"));
        write_file(file(), content);
    }
    temp_dir dir;
};

// A key name: the prefix followed by the number.
std::string key_name(const char* prefix, size_t number)
{
    std::string name = prefix;
    name += std::to_string(number);
    return name;
}

// Runs body in a forked child, whose exit status is body's result.
pid_t start_child(const std::function<int()>& body)
{
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int status = 99;
        try {
            status = body();
        } catch (...) {
        }
        _exit(status);
    }
    return pid;
}

// The child's exit status, or -1 when it did not exit normally.
int wait_child(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST_F(pref_store, texts_round_trip_byte_for_byte)
{
    const std::vector<std::string> texts = { "", " ", "  lead", "trail  ", " both ", "in side", "a=b", "#x",
        ";x", "[x]", "\tx\t", "one\ntwo\n", "cr\r", "\r\n", "C:\\dir\\", "\\s\\x41",
        "/home/pilot/Spr\xfcnge" /* Latin-1 */, "\x80" /* lone continuation byte */, "\xc3", "\xc0\xaf",
        "\xed\xa0\x80", "Spr\xc3\xbcnge \xf0\x9f\xaa\x82", "\v\fx\x01\x7f", std::string(100000, 'w') };
    for (size_t i = 0; i < texts.size(); ++i)
        ASSERT_TRUE(pref_set(key_name("k", i).c_str(), texts[i].c_str())) << i;
    // Read back only after all writes: each write must keep the other values.
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(pref_get(key_name("k", i).c_str()), texts[i]) << i;
    EXPECT_TRUE(g_utf8_validate(read_file(file()).c_str(), -1, nullptr));
}

TEST_F(pref_store, ordinary_values_stay_readable_in_the_file)
{
    ASSERT_TRUE(pref_set("window_width", "1280"));
    ASSERT_TRUE(pref_set("use_metric", "true"));
    ASSERT_TRUE(pref_set("gate_dir", "/home/pilot/Spr\xc3\xbcnge 2023"));
    ASSERT_TRUE(pref_set("swoop_dir", "/home/pilot/Spr\xfcnge"));
    ASSERT_TRUE(pref_set("note", " a\tb\\ "));
    EXPECT_EQ(read_file(file()),
        "[settings]\nwindow_width=1280\nuse_metric=true\ngate_dir=/home/pilot/Spr\xc3\xbcnge 2023\n"
        "swoop_dir=/home/pilot/Spr\\xfcnge\nnote=\\sa\\tb\\\\\\s\n");
}

TEST_F(pref_store, empty_text_is_not_absent_and_deleting_needs_a_value)
{
    EXPECT_EQ(pref_get("gate_file"), std::nullopt);
    EXPECT_FALSE(pref_set("gate_file", nullptr));
    EXPECT_FALSE(file_exists(dir.file("skimra"))); // a failed delete creates nothing
    ASSERT_TRUE(pref_set("gate_file", ""));
    EXPECT_EQ(pref_get("gate_file"), "");
    EXPECT_TRUE(pref_set("gate_file", nullptr));
    EXPECT_EQ(pref_get("gate_file"), std::nullopt);
    EXPECT_FALSE(pref_set("gate_file", nullptr));
}

TEST_F(pref_store, names_a_key_file_cannot_hold_are_refused)
{
    for (const char* name : { "", "a=b", "a[de]", "x]", "a\nb", " a", "a ", "#a", "a\tb", "\xfc" }) {
        EXPECT_FALSE(pref_set(name, "1")) << name;
        EXPECT_EQ(pref_get(name), std::nullopt) << name;
    }
    EXPECT_FALSE(pref_set(nullptr, "1"));
    EXPECT_EQ(pref_get(nullptr), std::nullopt);
    EXPECT_FALSE(file_exists(file()));
    ASSERT_TRUE(pref_set("window width", "1"));
    EXPECT_EQ(pref_get("window width"), "1");
}

TEST_F(pref_store, edited_values_that_are_no_stored_form_read_as_none_and_survive_writes)
{
    const std::vector<std::string> lines = { "# a person's note", "[settings]", "bad_escape=a\\qb",
        "dangling=ab\\", "short_hex=\\x4", "not_hex=\\xg0", "zero=a\\x00b", "raw_latin1=Spr\xfcnge",
        "upper_hex=Spr\\xFCnge", "[other]", "kept=1" };
    std::string content;
    for (const std::string& line : lines)
        content += line + "\n";
    write_settings(content);
    for (const char* name :
        { "bad_escape", "dangling", "short_hex", "not_hex", "zero", "raw_latin1", "kept" })
        EXPECT_EQ(pref_get(name), std::nullopt) << name;
    EXPECT_EQ(pref_get("upper_hex"), "Spr\xfcnge");

    ASSERT_TRUE(pref_set("window_width", "800"));
    std::string after = read_file(file());
    for (const std::string& line : lines)
        EXPECT_NE(after.find(line + "\n"), std::string::npos) << line;
}

TEST_F(pref_store, unparsable_file_reads_absent_and_the_first_write_keeps_it_aside)
{
    const std::string junk[] = { std::string("\x7f"
                                             "ELF\0\0\x01\xff junk\n",
                                     14),
        "[settings]\nwindow_width\n", "window_width=1\n" };
    write_settings(junk[0]);
    EXPECT_EQ(pref_get("window_width"), std::nullopt);
    EXPECT_FALSE(pref_set("window_width", nullptr));
    EXPECT_EQ(read_file(file()), junk[0]);
    // Each corrupt file gets its own name; an older one is never overwritten.
    const char* kept[] = { "settings.ini.bad", "settings.ini.bad2", "settings.ini.bad3" };
    for (int i = 0; i < 3; ++i) {
        write_file(file(), junk[i]);
        EXPECT_EQ(pref_get("window_width"), std::nullopt) << i;
        ASSERT_TRUE(pref_set("use_metric", "true")) << i;
        EXPECT_EQ(pref_get("use_metric"), "true") << i;
        EXPECT_EQ(read_file(file(kept[i])), junk[i]) << i;
    }
}

TEST_F(pref_store, unusable_folders_fail_without_crashing)
{
    write_file(dir.file("plain"), "x");
    pref_store_use_folder(dir.file("plain").c_str()); // the config folder is a file
    EXPECT_FALSE(pref_set("a", "1"));
    EXPECT_FALSE(pref_set("a", nullptr));
    EXPECT_EQ(pref_get("a"), std::nullopt);
    pref_store_use_folder(dir.path().c_str());
    std::filesystem::create_directories(file()); // settings.ini is a folder
    EXPECT_FALSE(pref_set("a", "1"));
    EXPECT_EQ(pref_get("a"), std::nullopt);
}

TEST_F(pref_store, read_only_folder_refuses_writes_and_keeps_the_values)
{
    ASSERT_TRUE(pref_set("a", "1"));
    std::string folder = dir.file("skimra");
    ASSERT_EQ(chmod(folder.c_str(), 0500), 0);
    if (access(folder.c_str(), W_OK) == 0) {
        chmod(folder.c_str(), 0700);
        GTEST_SKIP() << "permissions do not stop this user's writes (root)";
    }
    EXPECT_FALSE(pref_set("a", "2"));
    EXPECT_FALSE(pref_set("b", "1"));
    EXPECT_EQ(pref_get("a"), "1");
    chmod(folder.c_str(), 0700);
}

TEST_F(pref_store, full_disk_leaves_the_old_file_whole)
{
    ASSERT_TRUE(pref_set("a", "1"));
    ASSERT_TRUE(pref_set("b", "2"));
    std::string before = read_file(file());
    int status = wait_child(start_child([] {
        std::signal(SIGXFSZ, SIG_IGN); // writes past the limit fail with EFBIG, as on a full disk
        rlimit limit { 4096, 4096 };
        setrlimit(RLIMIT_FSIZE, &limit);
        return pref_set("c", std::string(10000, 'c').c_str()) ? 1 : 0;
    }));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read_file(file()), before);
    EXPECT_FALSE(file_exists(file("settings.ini.tmp")));
}

TEST_F(pref_store, concurrent_writers_lose_nothing)
{
    constexpr int writes = 200;
    pid_t pids[2];
    for (int child = 0; child < 2; ++child) {
        pids[child] = start_child([child] {
            pref_store_set_sync(false); // faster writes, more contention
            for (int i = 0; i < writes; ++i) {
                std::string key = key_name(child ? "c1_" : "c0_", i);
                if (!pref_set(key.c_str(), key.c_str()) || !pref_set("last", key.c_str()))
                    return 1;
            }
            return 0;
        });
    }
    EXPECT_EQ(wait_child(pids[0]), 0);
    EXPECT_EQ(wait_child(pids[1]), 0);
    int lost = 0;
    for (int child = 0; child < 2; ++child) {
        for (int i = 0; i < writes; ++i) {
            std::string key = key_name(child ? "c1_" : "c0_", i);
            lost += pref_get(key.c_str()) != key;
        }
    }
    EXPECT_EQ(lost, 0);
    auto last = pref_get("last");
    EXPECT_TRUE(last == "c0_199" || last == "c1_199") << last.value_or("(none)");
}

TEST_F(pref_store, readers_never_see_a_partial_file_and_always_the_latest)
{
    ASSERT_TRUE(pref_set("anchor", "kept"));
    ASSERT_TRUE(pref_set("big", "start"));
    ASSERT_EQ(pref_get("big"), "start"); // a store that caches would keep this
    pid_t pid = start_child([] {
        pref_store_set_sync(false);
        for (int i = 0; i < 300; ++i) {
            if (!pref_set("big", std::string(20000, static_cast<char>('a' + i % 2)).c_str()))
                return 1;
        }
        return 0;
    });
    int reads = 0, partial = 0, status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        ++reads;
        auto big = pref_get("big");
        partial += pref_get("anchor") != "kept" || !big || (*big != "start" && big->size() != 20000);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(partial, 0);
    EXPECT_EQ(pref_get("big"), std::string(20000, 'b'));
}

TEST_F(pref_store, default_folder_is_skimra_in_the_user_config_folder)
{
    std::string config = dir.file("xdg");
    int status = wait_child(start_child([&] {
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        if (config != g_get_user_config_dir())
            return 2; // GLib already knew the real folder: never write there
        pref_store_use_folder(nullptr);
        return pref_set("a", "1") ? 0 : 1;
    }));
    ASSERT_EQ(status, 0);
    EXPECT_EQ(read_file(config + "/skimra/settings.ini"), "[settings]\na=1\n");
    struct stat folder, settings;
    ASSERT_EQ(stat((config + "/skimra").c_str(), &folder), 0);
    ASSERT_EQ(stat((config + "/skimra/settings.ini").c_str(), &settings), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(settings.st_mode & 0777, 0600u);
}

} // namespace
