// SPDX-License-Identifier: GPL-3.0-or-later
// sk-gui: the desktop program. Open a gate and any number of swoops, compare
// them, read their reports, browse and play back their plots.
#include "gui/app.h"

int main(int argc, char** argv)
{
    return app_main(argc, argv);
}
