// Reads a written workbook back as a spreadsheet application would see it: the first sheet's
// cells with their values, types and number formats, as JSON ({"error": …} when it cannot be
// read): {"sheets": n, "max_row": r, "max_column": c, "cells": {"A1": {"value", "type",
// "format"}}}.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace stdlookup::test {

// The platform's reader: openpyxl through Python on Linux, read_workbook_xml on Windows.
nlohmann::json read_workbook(const std::string& path);

// Our own reader (libzip and pugixml) of what the writer produces, giving the same answers as
// openpyxl; the Linux tests hold the two against each other.
nlohmann::json read_workbook_xml(const std::string& path);

// Every part of a workbook package, inflated, by name; empty when it is no readable zip archive.
std::map<std::string, std::string> read_package(const std::string& path);
// The <c> elements of a worksheet's XML by their reference, each printed as it stands.
std::map<std::string, std::string> cell_elements(const std::string& sheet_xml);
// The colour (ARGB) of the fill of a cell of the first sheet; "" when it has none.
std::string cell_fill(const std::string& path, const std::string& reference);

}  // namespace stdlookup::test
