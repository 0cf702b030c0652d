// skimra-logbook: a pilot's season of swoops in a database, with bests,
// trends and a progression PDF.
#include <clocale>

#include "logbook/commands.h"

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
    return logbook_main(argc, argv);
}
