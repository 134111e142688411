// What the export bench measures differently per platform.
#pragma once

#include <filesystem>
#include <optional>

// Peak memory of this process so far, in MB.
double peak_memory_mb();
// Seconds openpyxl takes to write the same `rows` into `folder` (-1 when it failed); none where
// there is no Python.
std::optional<double> openpyxl_seconds(const std::filesystem::path& folder, int rows);
