// SPDX-License-Identifier: GPL-3.0-or-later
// Text drawing makes fontconfig load its configuration and font caches once
// per process; they stay until exit and cannot be released safely while
// pango and cairo still hold fonts. The leak checker of the sanitizer build
// is told to look past them and at our own allocations.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
