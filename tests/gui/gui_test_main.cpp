// SPDX-License-Identifier: GPL-3.0-or-later
// The entry of the desktop program's test process: a private home and XDG
// folders, the memory GSettings backend, GDK accepting synthesised key
// events, then GTK and the tests.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gui/resources.h"

namespace {

// A fresh folder for the whole process; HOME and every XDG folder below it.
std::string private_folders()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "skimra-gui-test-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        return {};
    const std::string base = buf.data();
    for (const char* name : { "home", "config", "data", "cache", "runtime" })
        std::filesystem::create_directories(base + "/" + name);
    std::filesystem::permissions(base + "/runtime", std::filesystem::perms::owner_all);
    // A machine without any application: the system's data folders reduced
    // to its icons, themes and MIME database (no applications, no GSettings
    // schemas). For tests of what the program does when the desktop lacks them.
    if (const char* data = std::getenv("SKIMRA_TEST_SYSTEM_DATA"); data && std::string(data) == "minimal") {
        const std::string system = base + "/system";
        std::filesystem::create_directories(system);
        for (const char* name : { "icons", "themes", "mime" })
            std::filesystem::create_directory_symlink(std::string("/usr/share/") + name, system + "/" + name);
        setenv("XDG_DATA_DIRS", system.c_str(), 1);
    }
    setenv("HOME", (base + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (base + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (base + "/runtime").c_str(), 1);
    return base;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string base = private_folders();
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GDK_CORE_DEVICE_EVENTS", "1", 1); // synthesised key events are dropped without it
    setenv("GDK_BACKEND", "x11", 1);
    testing::InitGoogleTest(&argc, argv);
    int status = 0;
    if (testing::GTEST_FLAG(list_tests)) {
        status = RUN_ALL_TESTS(); // listing needs no display
    } else if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "gui tests: cannot open the display (run them under scripts/with-display)\n");
        status = 1;
    } else {
        resource_glib_register_resource();
        // Screenshots show the widgets' final state, not a check mark still
        // fading in.
        g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
        status = RUN_ALL_TESTS();
        resource_glib_unregister_resource();
    }
    if (!base.empty() && !std::getenv("SKIMRA_KEEP_TMP")) {
        std::error_code ec;
        std::filesystem::remove_all(base, ec);
    }
    return status;
}
