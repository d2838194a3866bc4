// tovrin-batch's actions beside plotting: --history, --release, --check.
#pragma once

#include <string>
#include <vector>

#include "app/batch_options.h"
#include "platform/spooler.h"
#include "settings/plot_settings.h"

namespace tovrin {

// The newest rows of the start folder's job history, newest last, as a
// table on stdout; only the failed or waiting ones with `only`. Works while
// another program is plotting; a folder without a history shows an empty
// table and gets none created. Exit status 0, or 1 when it cannot be read.
int PrintHistory(const std::string& start_folder, int rows, const std::string& only);

// Releases each drawing (a name in the OFI folder, or a path), one line
// each; 0 when all were released (or free already), 1 otherwise.
int ReleaseDrawings(const std::vector<std::string>& files, const PlotSettings& settings,
                    const std::string& start_folder, Spooler* spooler);

// One line per finding, "ok" or "FAIL" first; 0 when nothing would stop a
// job, 1 otherwise.
int CheckSetup(const PlotSettings& settings, const std::vector<std::string>& warnings,
               const std::string& start_folder, Spooler* spooler);

}  // namespace tovrin
