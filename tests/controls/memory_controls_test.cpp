#include "controls/memory_controls.h"

#include <gtest/gtest.h>

namespace stdlookup {
namespace {

// A misspelt name would otherwise write into a control nobody reads.
TEST(MemoryControlsDeathTest, AnUnknownNameIsCaughtInDebugBuilds) {
  MemoryControls controls;
  controls.set_edit_text(kNumberInput, "GB 1");
  EXPECT_EQ(controls.edit_text(kNumberInput), "GB 1");
  EXPECT_DEBUG_DEATH(controls.set_edit_text("编辑框9", "GB 1"), "not a control of the window");
}

}  // namespace
}  // namespace stdlookup
