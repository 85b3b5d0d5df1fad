// The spreadsheet table as an HTML page: one table row per output line, one cell per section
// with its areas side by side, each area with its text, borders and background colour, and its
// details list shown on hover. A failure's line, when given, stands above the sheet.
#pragma once

#include <string>

#include "sim/objects.h"

namespace addin::sim {

std::string RenderSheet(const Sheet& sheet, const std::string& title, const std::string& footer = "",
                        const std::string& failure = "");

}  // namespace addin::sim
