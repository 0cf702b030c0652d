// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-cli: survey a gate walk and analyse a swoop from GPS logger files.
#include <clocale>

#include "cli/options.h"
#include "cli/runs.h"

#if defined(__SANITIZE_ADDRESS__)
// fontconfig keeps its configuration and font caches until the process ends;
// the sanitizer build's leak checker looks past them at our own allocations.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
#endif

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "C");
    options opts;
    parse_options(argc, argv, opts);
    check_overwrites(opts);
    // The sensor file is checked before the gate's outputs are written.
    swoop_input swoop;
    if (opts.baro && !opts.swoop_file.empty())
        swoop = load_swoop(opts);
    if (!opts.gate_file.empty())
        run_gate(opts);
    if (!opts.swoop_file.empty())
        run_swoop(opts, swoop.s ? std::move(swoop) : load_swoop(opts));
    return 0;
}
