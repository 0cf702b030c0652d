// SPDX-License-Identifier: GPL-3.0-or-later
// The registry preference store, under wine or Windows. Each test redirects
// HKEY_CURRENT_USER to a fresh scratch key, so the user's own settings are
// never read or changed.
#include "core/platform/pref_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>

namespace {

constexpr const char* scratch_key = "Software\\SkimraTests"; // under the real HKEY_CURRENT_USER

// Frees heap blocks a little larger than size, full of non-zero bytes, so
// that a reader that relies on a zero after its buffer of size bytes finds none.
void leave_dirty_heap_blocks(size_t size)
{
    static char* volatile block; // volatile: the compiler must not drop the blocks
    for (size_t n = size + 1; n <= size + 32; ++n) {
        block = static_cast<char*>(std::malloc(n));
        std::memset(block, 'X', n);
        std::free(block);
    }
}

class pref_store_registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, scratch_key);
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, scratch_key, &scratch_), ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, scratch_), ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(scratch_);
        RegDeleteTreeA(HKEY_CURRENT_USER, scratch_key);
    }

    // Writes a value with the registry API itself, as another program might.
    void set_raw(const char* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Skimra", &key), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // The stored type and size in bytes of a value, read with the registry
    // API itself; size 0 when it is absent.
    std::pair<DWORD, DWORD> raw_type_and_size(const char* name)
    {
        DWORD type = REG_NONE, size = 0;
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Skimra", 0, KEY_READ, &key) == ERROR_SUCCESS) {
            BYTE data[1024];
            size = sizeof data;
            if (RegQueryValueExA(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS)
                size = 0;
            RegCloseKey(key);
        }
        return { type, size };
    }

    HKEY scratch_ = nullptr;
};

TEST_F(pref_store_registry, first_write_creates_the_key_and_stores_the_zero_byte)
{
    HKEY key;
    ASSERT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Skimra", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(pref_get("window_width"), std::nullopt);
    ASSERT_TRUE(pref_set("window_width", "1280"));
    EXPECT_EQ(pref_get("window_width"), "1280");
    EXPECT_EQ(raw_type_and_size("window_width"), std::make_pair(DWORD(REG_SZ), DWORD(5)));
}

TEST_F(pref_store_registry, empty_text_is_not_absent_and_deleting_needs_a_value)
{
    ASSERT_TRUE(pref_set("gate_file", ""));
    EXPECT_EQ(raw_type_and_size("gate_file"), std::make_pair(DWORD(REG_SZ), DWORD(1)));
    EXPECT_EQ(pref_get("gate_file"), "");
    EXPECT_TRUE(pref_set("gate_file", nullptr));
    EXPECT_EQ(pref_get("gate_file"), std::nullopt);
    EXPECT_FALSE(pref_set("gate_file", nullptr));
}

TEST_F(pref_store_registry, values_the_store_does_not_write_read_as_none)
{
    DWORD number = 4;
    set_raw("plots_per_page", REG_DWORD, &number, sizeof number);
    set_raw("gate_dir", REG_EXPAND_SZ, "%USERPROFILE%", 14);
    set_raw("swoop_dir", REG_SZ, "", 0);
    set_raw("", REG_SZ, "default value", 14);
    for (const char* name : { "plots_per_page", "gate_dir", "swoop_dir", "" })
        EXPECT_EQ(pref_get(name), std::nullopt) << name;
    EXPECT_EQ(pref_get(nullptr), std::nullopt);
    EXPECT_FALSE(pref_set(nullptr, "1"));
    EXPECT_FALSE(pref_set("", "1"));
}

TEST_F(pref_store_registry, value_without_terminating_zero_comes_back_terminated)
{
    // The registry adds the zero itself when the byte after the data is zero,
    // so the values come from a longer buffer. Many lengths, so that some
    // value ends just short of the end of its heap block.
    const std::string buffer = "D:\\Swoops\\2023\\Gates\\Pond north.csv" + std::string(64, 'X');
    for (size_t length = 20; length <= 35; ++length) {
        set_raw("gate_file", REG_SZ, buffer.data(), DWORD(length));
        ASSERT_EQ(raw_type_and_size("gate_file").second, length);
        leave_dirty_heap_blocks(length);
        ASSERT_EQ(pref_get("gate_file"), buffer.substr(0, length));
    }
}

TEST_F(pref_store_registry, texts_round_trip_byte_for_byte)
{
    std::string every_byte;
    for (int c = 1; c < 256; ++c)
        every_byte += static_cast<char>(c);
    for (const std::string& text : { std::string("C:\\Users\\pilot\\Spr\xfcnge"),
             std::string("Spr\xc3\xbcnge \xf0\x9f\xaa\x82"), std::string("  a=b;#[x]\r\n\t "), every_byte }) {
        ASSERT_TRUE(pref_set("gate_dir", text.c_str()));
        EXPECT_EQ(pref_get("gate_dir"), text);
    }
}

} // namespace
