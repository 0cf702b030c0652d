// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-logbook: a pilot's season of swoops in a database, with bests,
// trends and a progression PDF.
#include <clocale>

#include "logbook/commands.h"

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "C");
    return logbook_main(argc, argv);
}
