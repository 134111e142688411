// Where no workbook library is built in (the Windows build, until its writer comes): a writer
// whose save fails with a reason, so the export reports the failure and leaves files alone.
#include "export/workbook_writer.h"
#include "runtime/gbk.h"

namespace stdlookup {

using namespace literals;

namespace {

class UnavailableWorkbookWriter final : public WorkbookWriter {
 public:
  bool create_application() override { return true; }
  void quit_application() override {}
  void release_application() override {}
  bool create_workbook() override { return true; }
  void activate() override {}
  void set_current_worksheet(int) override {}
  void set_range_start(std::string_view) override {}
  void set_range_end(std::string_view) override {}
  void set_number_format(std::string_view) override {}
  void set_value(std::string_view) override {}
  SaveResult save_as(const Text&) override { return {"此版本不能写入工作簿文件"_gbk}; }
  void close_workbook() override {}
  void release_workbook() override {}
};

}  // namespace

bool workbook_writer_available() {
  return false;
}

std::unique_ptr<WorkbookWriter> make_xlsx_workbook_writer() {
  return std::make_unique<UnavailableWorkbookWriter>();
}

}  // namespace stdlookup
