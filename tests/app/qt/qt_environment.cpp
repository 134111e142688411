// One QApplication for the whole test program (offscreen platform when none is set), and
// death tests that re-run the program instead of forking a process that has Qt threads.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "app/qt/qt_presenter.h"

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    app_ = std::make_unique<QApplication>(argc_, argv_);
    previous_ = stdlookup::set_presenter(&presenter_);
  }
  void TearDown() override {
    stdlookup::set_presenter(previous_);
    app_.reset();
  }

 private:
  int argc_ = 1;
  char name_[16] = "window_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
  stdlookup::QtPresenter presenter_;
  stdlookup::Presenter* previous_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
