#include "app/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>

#include "app/expected_layout.h"
#include "controls/memory_controls.h"
#include "support/gbk_literals.h"

namespace stdlookup {
namespace {

TEST(Layout, HoldsEveryControlWithItsParentGeometryFlagsAndCaption) {
  for (const auto& expected : test::expected_controls()) {
    SCOPED_TRACE(std::string(expected.name));
    const ControlEntry* entry = find_control(expected.name);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->parent, expected.parent.empty() ? kMainWindow : expected.parent);
    EXPECT_EQ(entry->left, expected.left);
    EXPECT_EQ(entry->top, expected.top);
    EXPECT_EQ(entry->width, expected.width);
    EXPECT_EQ(entry->height, expected.height);
    EXPECT_EQ((entry->flags & kControlVisible) != 0, expected.visible);
    EXPECT_EQ((entry->flags & kControlFocus) != 0, expected.focus);
    EXPECT_EQ(entry->flags & kControlDisabled, 0u);
    EXPECT_EQ(entry->caption, expected.caption);
  }
  // The window, the visible controls, 编辑框4 and three components: nothing more.
  EXPECT_EQ(main_window_layout().size(), test::expected_controls().size() + 4);
}

TEST(Layout, WindowComponentsAndClassProperties) {
  const ControlEntry& window = main_window_layout().front();
  EXPECT_EQ(window.name, kMainWindow);
  EXPECT_EQ(window.control_class, ControlClass::window);
  EXPECT_EQ((std::array{window.left, window.top, window.width, window.height}),
            (std::array{50, 50, 929, 605}));
  EXPECT_EQ(window.on_event0, EventAction::themed_drawing);
  EXPECT_EQ(window.caption, "标准查询");

  for (std::string_view name : {kSaveDialog, kExcelApplication, kExcelWorkbooks}) {
    const ControlEntry* entry = find_control(name);
    ASSERT_NE(entry, nullptr) << name;
    EXPECT_TRUE(is_component(entry->control_class)) << name;
    EXPECT_EQ(entry->flags & kControlVisible, 0u) << name;
  }
  EXPECT_EQ(find_control(kSaveDialog)->filter, "*.xls|*.xls");

  EXPECT_EQ(find_control(kStatusLabel)->background, (Rgb{255, 168, 255}));
  int coloured = 0;
  for (const ControlEntry& entry : main_window_layout()) coloured += entry.background.has_value();
  EXPECT_EQ(coloured, 1);

  const auto columns = find_control(kResultList)->columns;
  ASSERT_EQ(columns.size(), 4u);
  const std::array<std::pair<std::string_view, int>, 4> expected_columns = {
      {{"标准号", 100}, {"标准中文名", 160}, {"实施日期", 120}, {"是否作废", 80}}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(columns[i].header, expected_columns[i].first);
    EXPECT_EQ(columns[i].width, expected_columns[i].second);
  }
  EXPECT_TRUE(find_control(kBatchInput)->multi_line);
  EXPECT_TRUE(find_control(kDownloadNoteLabel)->word_wrap);
  EXPECT_FALSE(find_control(kNumberInput)->multi_line);
}

TEST(Layout, NamesAreUniqueParentsComeFirstAndChildrenFitInside) {
  std::set<std::string_view> seen;
  for (const ControlEntry& entry : main_window_layout()) {
    SCOPED_TRACE(std::string(entry.name));
    EXPECT_TRUE(seen.insert(entry.name).second);
    if (entry.control_class == ControlClass::window) {
      EXPECT_TRUE(entry.parent.empty());
      continue;
    }
    const ControlEntry* parent = find_control(entry.parent);
    ASSERT_NE(parent, nullptr);
    EXPECT_TRUE(seen.contains(parent->name));
    EXPECT_TRUE(parent->control_class == ControlClass::window ||
                parent->control_class == ControlClass::group_box);
    if (is_component(entry.control_class)) continue;
    EXPECT_GE(entry.left, 0);
    EXPECT_GE(entry.top, 0);
    EXPECT_LE(entry.left + entry.width, parent->width);
    EXPECT_LE(entry.top + entry.height, parent->height);
  }
  EXPECT_EQ(find_control("no such control"), nullptr);
}

TEST(Layout, NamesAreExactlyTheNamedControls) {
  std::vector<std::string_view> in_table;
  for (const ControlEntry& entry : main_window_layout()) in_table.push_back(entry.name);
  std::vector<std::string_view> named(kControlNames.begin(), kControlNames.end());
  std::sort(in_table.begin(), in_table.end());
  std::sort(named.begin(), named.end());
  EXPECT_EQ(in_table, named);
  EXPECT_FALSE(is_control_name("no such control"));
}

TEST(StartAsWindow, WritesTheLayoutsCaptionsAsGbk) {
  MemoryControls controls;
  start_as_window(controls);
  for (const auto& expected : test::expected_controls()) {
    EXPECT_EQ(controls.caption(expected.name), test::g(expected.caption)) << expected.name;
    EXPECT_FALSE(controls.disabled(expected.name)) << expected.name;
  }
  EXPECT_EQ(controls.caption(kDownloadLinkButton), test::g("查找中"));
  EXPECT_EQ(controls.edit_text(kDownloadLinkBox), "");
  EXPECT_EQ(controls.common_dialog(kSaveDialog).filter, "*.xls|*.xls");
  EXPECT_EQ(controls.common_dialog(kSaveDialog).flags,
            kOfnHideReadOnly | kOfnFileMustExist | kOfnOverwritePrompt | kOfnPathMustExist);
  EXPECT_EQ(controls.list_row_count(kResultList), 0);

  MemoryControls blank;  // a new MemoryControls starts empty
  EXPECT_EQ(blank.caption(kStatusLabel), "");
}

}  // namespace
}  // namespace stdlookup
