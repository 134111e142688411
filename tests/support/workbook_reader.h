// Reads a written workbook back as a spreadsheet application would see it: the first sheet's
// cells with their values, types and number formats, as JSON ({"error": …} when it cannot be
// read): {"sheets": n, "max_row": r, "max_column": c, "cells": {"A1": {"value", "type",
// "format"}}}.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace stdlookup::test {

// The platform's reader: openpyxl through Python on Linux, read_workbook_xml on Windows.
nlohmann::json read_workbook(const std::string& path);

// Our own reader (libzip and pugixml) of what the writer produces, giving the same answers as
// openpyxl; the Linux tests hold the two against each other.
nlohmann::json read_workbook_xml(const std::string& path);

}  // namespace stdlookup::test
