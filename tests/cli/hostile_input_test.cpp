// Lists and compared exports made to hurt the reader: each ends at once with exit 0 or 2, a
// reason, and little memory. The big cases (hundreds of MiB, GiB of inflation) are in
// bench/hostile_inputs.py.
#include <gtest/gtest.h>
#include <zip.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "lists/input.h"
#include "support/platform.h"
#include "support/scoped_env.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace stdlookup {
namespace {

struct Part {
  std::string name, data;
  std::uint64_t claimed = 0;  // the size the directory gives; 0: the true one
};

std::vector<Part> workbook_parts(std::string rows, std::string shared = "") {
  std::vector<Part> parts = {
      {"xl/workbook.xml",
       "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
       "<sheets><sheet r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"}};
  if (!shared.empty()) parts.push_back({"xl/sharedStrings.xml", "<sst>" + shared + "</sst>"});
  return parts;
}

std::string repeated(const std::string& text, std::size_t times) {
  std::string all;
  all.reserve(text.size() * times);
  while (times-- > 0) all += text;
  return all;
}

void put(std::string& to, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) to += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t crc32_of(std::string_view data) {
  std::uint32_t crc = ~0u;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// Stored parts, written by hand so that the directory can lie (past 4 GiB in a zip64 field).
std::string stored_zip(const std::vector<Part>& parts) {
  std::string zip, directory;
  for (const Part& part : parts) {
    const std::uint64_t size = part.claimed ? part.claimed : part.data.size();
    const bool zip64 = size >= 0xFFFFFFFF;
    std::string extra;
    if (zip64) put(extra, 1, 2), put(extra, 16, 2), put(extra, size, 8), put(extra, size, 8);
    const auto header = [&](std::string& to, bool central) {
      put(to, central ? 0x02014b50 : 0x04034b50, 4);
      if (central) put(to, 45, 2);
      put(to, 45, 2), put(to, 0, 2), put(to, 0, 2), put(to, 0, 4);  // version, flags, stored, time
      put(to, crc32_of(part.data), 4);
      put(to, zip64 ? 0xFFFFFFFF : size, 4), put(to, zip64 ? 0xFFFFFFFF : size, 4);
      put(to, part.name.size(), 2), put(to, extra.size(), 2);
      if (central) put(to, 0, 8), put(to, 0, 4), put(to, zip.size(), 4);
      to += part.name + extra;
    };
    header(directory, true);
    header(zip, false);
    zip += part.data;
  }
  const std::size_t at = zip.size();
  zip += directory;
  put(zip, 0x06054b50, 4), put(zip, 0, 4), put(zip, parts.size(), 2), put(zip, parts.size(), 2);
  put(zip, directory.size(), 4), put(zip, at, 4), put(zip, 0, 2);
  return zip;
}

// The parts deflated, by libzip.
void deflated_zip(const std::filesystem::path& path, const std::vector<Part>& parts) {
  int error = 0;
  zip_t* archive = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const Part& part : parts) {
    zip_source_t* data = zip_source_buffer(archive, part.data.data(), part.data.size(), 0);
    ASSERT_GE(zip_file_add(archive, part.name.c_str(), data, 0), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

TEST(HostileInput, EveryListAndComparedFileEndsSoonWithAReason) {
  test::TempDir home;
  test::ScopedEnv data{"XDG_DATA_HOME", home.str()};  // the cookie store batch clears
  test::ScopedEnv config{"XDG_CONFIG_HOME", home.str()};
  const auto file = [&](const std::string& name, const std::string& content) {
    return test::native_text(home.write(name, content));
  };
  const auto deflated = [&](const std::string& name, const std::vector<Part>& parts) {
    deflated_zip(home.path() / name, parts);
    return test::native_text(home.path() / name);
  };
  const std::string cell = "<row><c t=\"inlineStr\"><is><t>GB 1</t></is></c></row>";
  struct Case {
    std::string option, path;  // the list (option "") or the --compare file
    int exit_code;
    std::string says;
  } cases[] = {
      {"",
       file("claims4g.xlsx",
            stored_zip({workbook_parts(cell)[0], {"xl/worksheets/sheet1.xml", cell, 0xFFFFFFF0}})),
       2, "damaged"},
      {"--compare",
       file("zip64.xlsx",
            stored_zip({workbook_parts(cell)[0], {"xl/worksheets/sheet1.xml", "", 1ull << 63}})),
       2, "damaged"},
      {"", deflated("bomb.xlsx", workbook_parts(repeated(cell, 400'000))), 2, "zip bomb"},
      {"",
       deflated("bigcell.xlsx", workbook_parts("<row><c t=\"inlineStr\"><is><t>" +
                                               std::string(12 << 20, 'x') + "</t></is></c></row>")),
       2, "zip bomb"},
      {"",
       deflated("strings.xlsx",
                [&] {
                  auto parts = workbook_parts(cell, repeated("<si/>", 2'000'001));
                  std::string pad(150'000, '\0');  // incompressible: room for the strings' ratio
                  for (std::size_t i = 0; i < pad.size(); ++i)
                    pad[i] = static_cast<char>(i * i * 2654435761u >> 24);
                  parts.push_back({"pad", pad});
                  return parts;
                }()),
       2, "too many shared strings"},
      {"", deflated("farrow.xlsx", workbook_parts("<row r=\"100000000\"><c><v>1</v></c></row>")), 2,
       "beyond the sheet"},
      {"--compare",
       deflated("xfd.xlsx",
                workbook_parts(repeated("<row><c r=\"XFD1\"><v>1</v></c></row>", 100'000))),
       0, ""},
      {"",
       deflated("letters.xlsx", workbook_parts("<row><c r=\"ABCDEFGHIJKL1\"><v>1</v></c></row>")),
       2, "beyond the sheet"},
      {"",  // the first rows of many sheets are looked through within one part's bound
       deflated("sheets.xlsx",
                {{"xl/workbook.xml", "<workbook><sheets><sheet/><sheet/></sheets></workbook>"},
                 {"xl/worksheets/sheet1.xml", "<a>" + std::string(5 << 20, ' ') + "</a>"},
                 {"xl/worksheets/sheet2.xml", "<a>" + std::string(5 << 20, ' ') + "</a>"}}),
       2, "zip bomb"},
      {"--compare", file("deep.json", std::string(100'000, '[')), 2, "not a JSON list"},
      {"--compare", test::native_text(home.path()), 2, "is a folder"},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  if (!test::kWindows) {
    all.push_back({"--compare", "/dev/zero", 2, "is not a file"});
    std::filesystem::resize_file(home.write("huge.txt"), lists::kListFileBytes + 1);  // sparse here
    all.push_back({"", test::native_text(home.path() / "huge.txt"), 2, "is larger than 512 MiB"});
    for (const char* name : {"fifo.xlsx", "fifo.csv", "fifo.json", "fifo.txt"}) {
      ASSERT_EQ(std::system(("mkfifo " + (home.path() / name).string()).c_str()), 0);
      all.push_back({name == std::string("fifo.txt") ? "" : "--compare",
                     test::native_text(home.path() / name), 2, "is not a file"});
    }
  }
  for (const Case& c : all) {
    std::vector<std::string> args = {STDLOOKUP_CLI_PATH, "batch", "--delay", "0"};
    if (!c.option.empty()) args.insert(args.end(), {c.option, c.path});
    if (c.option.empty()) args.push_back(c.path);
    const test::ProcessResult run = test::run_process(args);
    EXPECT_EQ(run.exit_code, c.exit_code) << c.path << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.path << ": " << run.err;
    if (run.peak_resident_kib >= 0) {
      EXPECT_LT(run.peak_resident_kib, 1 << 20) << c.path;
    }
  }
}

}  // namespace
}  // namespace stdlookup
