#include "runtime/system.h"
#include "runtime/window_services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

#include "runtime/gbk.h"
#include "support/gbk_literals.h"
#include "support/platform.h"
#include "support/recording_presenter.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace stdlookup {
namespace {

using namespace literals;

std::vector<std::string> enumerate(const std::string& pattern, int attributes, bool files_only) {
  std::vector<std::string> names;
  FileSearch search;
  for (Text name = next_matching_file(pattern, attributes, files_only, search); !name.empty();
       name = next_matching_file("", attributes, files_only, search)) {
    names.push_back(name);
  }
  EXPECT_FALSE(search.is_open());  // closed once the enumeration ran out
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileSearch, FilesOnlySkipsDirectoriesAndReturnsBareNames) {
  test::TempDir dir;
  dir.write("mysite1.txt");
  dir.write("other1.txt");
  dir.write("notes.dat");
  std::filesystem::create_directory(dir.path() / "old.txt");
  EXPECT_EQ(enumerate(dir.str() + "/*.txt", 0, true),
            (std::vector<std::string>{"mysite1.txt", "other1.txt"}));
  EXPECT_EQ(enumerate(dir.str() + "/*", 0, true),
            (std::vector<std::string>{"mysite1.txt", "notes.dat", "other1.txt"}));
  EXPECT_EQ(enumerate(dir.str() + "/other?.txt", 0, true),
            (std::vector<std::string>{"other1.txt"}));
}

TEST(FileSearch, AttributeMaskSelectsEntries) {
  test::TempDir dir;
  dir.write("a.txt");
  dir.write(".hidden.txt");
  std::filesystem::create_directory(dir.path() / "sub.txt");
  EXPECT_EQ(enumerate(dir.str() + "/*.txt", kAttributeDirectory, false),
            (std::vector<std::string>{"sub.txt"}));
  EXPECT_EQ(enumerate(dir.str() + "/*.txt", kAttributeHidden, false),
            (std::vector<std::string>{".hidden.txt"}));
  EXPECT_EQ(enumerate(dir.str() + "/*.txt", kAttributeArchive | 0x100, false),
            (std::vector<std::string>{".hidden.txt", "a.txt"}));
  EXPECT_EQ(enumerate(dir.str() + "/*.txt", 0x40, false), (std::vector<std::string>{}));
}

TEST(FileSearch, MissingFolderAndRestartAndEnd) {
  test::TempDir dir;
  dir.write("a.txt");
  dir.write("b.txt");
  FileSearch search;
  EXPECT_EQ(next_matching_file(dir.str() + "/missing/*.txt", 0, true, search), "");
  EXPECT_FALSE(search.is_open());
  EXPECT_EQ(next_matching_file("", 0, true, search), "");  // nothing to continue
  Text first = next_matching_file(dir.str() + "/*.txt", 0, true, search);
  EXPECT_FALSE(first.empty());
  EXPECT_TRUE(search.is_open());
  // a new pattern restarts from the beginning
  Text again = next_matching_file(dir.str() + "/*.txt", 0, true, search);
  EXPECT_EQ(again, first);
  end_file_search(search);
  EXPECT_FALSE(search.is_open());
  end_file_search(search);  // closing a closed search does nothing
}

TEST(RemoveFile, DeletesFilesOnly) {
  test::TempDir dir;
  auto file = dir.write("a.txt");
  std::filesystem::create_directory(dir.path() / "d.txt");
  EXPECT_TRUE(remove_file(file.string()));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(remove_file(file.string()));
  EXPECT_FALSE(remove_file((dir.path() / "d.txt").string()));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "d.txt"));
  EXPECT_FALSE(remove_file(""));
}

TEST(Pause, SuspendsTheThreadAndTakesNegativeAsZero) {
  auto t0 = std::chrono::steady_clock::now();
  pause(-100);
  pause(30);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(30));
}

TEST(MessageBox, DefaultsTitleAndModalityAndNumbersResults) {
  test::RecordingPresenter boxes;
  EXPECT_EQ(message_box("x"_gbk, kMbOk), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "信息："_gbk);
  EXPECT_EQ(boxes.boxes[0].flags, unsigned{kMbTaskModal});

  boxes.answer = MessageBoxButton::no;
  EXPECT_EQ(message_box("q", kMbYesNo | kMbSystemModal, "T"), 6);
  EXPECT_EQ(boxes.boxes[1].title, "T");
  EXPECT_EQ(boxes.boxes[1].flags, unsigned{kMbYesNo | kMbSystemModal});  // no task-modal added

  const std::pair<MessageBoxButton, int> numbering[] = {
      {MessageBoxButton::ok, 0},    {MessageBoxButton::cancel, 1}, {MessageBoxButton::abort, 2},
      {MessageBoxButton::retry, 3}, {MessageBoxButton::ignore, 4}, {MessageBoxButton::yes, 5},
      {MessageBoxButton::no, 6}};
  for (auto [button, number] : numbering) {
    boxes.answer = button;
    EXPECT_EQ(message_box("m", kMbOk, ""), number);
  }
  // a given empty title stays empty; a number is shown as its decimal text
  EXPECT_EQ(boxes.boxes.back().title, "");
  message_box(42, kMbOk);
  EXPECT_EQ(boxes.boxes.back().message, "42");
}

TEST(ConsolePresenter, AnswersWithTheFirstButtonAndCancelsDialogs) {
  EXPECT_EQ(message_box("m", kMbYesNo), 5);
  EXPECT_EQ(message_box("m", kMbRetryCancel), 3);
  CommonDialog dialog;
  EXPECT_FALSE(show_common_dialog(dialog));
}

// A save dialog checks the final name itself: a missing folder shows the dialog again, an
// existing file is replaced only after "Yes". The platform dialog is asked to check neither.
TEST(SaveDialog, ChecksTheAdjustedNameAndShowsTheDialogAgainUntilItIsUsable) {
  test::TempDir dir;
  dir.write("taken.txt");
  struct Case {
    std::vector<std::optional<Text>> confirmed;
    std::vector<MessageBoxButton> answers;
    bool result;
    std::size_t dialogs;
    std::vector<std::string> questions;  // a piece of each box's text
  };
  const std::string missing = dir.str() + "/missing/a.txt";
  const std::string taken = dir.str() + "/taken";  // adjusted to taken.txt
  const std::vector<Case> cases = {
      {{missing, dir.str() + "/new"}, {}, true, 2, {"路径不存在"}},
      {{taken, std::nullopt}, {MessageBoxButton::no}, false, 2, {"taken.txt 已存在"}},
      {{taken}, {MessageBoxButton::yes}, true, 1, {"taken.txt 已存在"}},
  };
  for (const Case& c : cases) {
    test::RecordingPresenter presenter;
    presenter.dialog_results = c.confirmed;
    presenter.answers = c.answers;
    CommonDialog dialog;
    dialog.type = 1;
    dialog.flags = kOfnOverwritePrompt | kOfnPathMustExist | kOfnHideReadOnly;
    dialog.adjust_file_name = [](const Text& name) { return name + ".txt"; };
    EXPECT_EQ(show_common_dialog(dialog), c.result);
    ASSERT_EQ(presenter.dialogs.size(), c.dialogs);
    EXPECT_EQ(presenter.dialogs[0].flags, kOfnHideReadOnly);
    EXPECT_EQ(dialog.flags, kOfnOverwritePrompt | kOfnPathMustExist | kOfnHideReadOnly);
    ASSERT_EQ(presenter.boxes.size(), c.questions.size());
    for (std::size_t i = 0; i < c.questions.size(); ++i)
      EXPECT_NE(gbk_to_utf8(presenter.boxes[i].message).find(c.questions[i]), std::string::npos)
          << gbk_to_utf8(presenter.boxes[i].message);
    if (c.result) {
      EXPECT_EQ(dialog.file_name, *c.confirmed.back() + ".txt");
    }
  }
}

// The opener gets links as GBK texts but file names as native paths: a Chinese file name from
// the save dialog must reach it unchanged (it once went through the GBK conversion twice).
TEST(ShellOpen, LinksAndNativePathsReachTheDesktopOpenerIntact) {
  if (test::kWindows) GTEST_SKIP() << "the desktop opener here is xdg-open";
  test::TempDir dir;
  const std::filesystem::path log = dir.path() / "opened";
  dir.write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log.string() + "'\n");
  std::filesystem::permissions(dir.path() / "xdg-open", std::filesystem::perms::owner_all);
  test::ScopedEnv path("PATH", dir.str() + ":/usr/bin:/bin");
  const std::string file = dir.str() + "/导出 €.xlsx";  // € has no GBK code
  ASSERT_TRUE(shell_open_path(file));
  ASSERT_TRUE(shell_open(test::g("http://example.org/标准")));
  std::string opened;
  for (int waited = 0; waited < 5000; waited += 10) {
    std::ifstream in(log);
    opened.assign(std::istreambuf_iterator<char>(in), {});
    if (std::count(opened.begin(), opened.end(), '\n') == 2) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_NE(opened.find(file + "\n"), std::string::npos) << opened;
  EXPECT_NE(opened.find("http://example.org/标准\n"), std::string::npos) << opened;
}

TEST(StartThread, RunsTheProcedureOnAnotherThreadAtOnce) {
  std::promise<std::thread::id> ran_on;
  auto result = ran_on.get_future();
  ASSERT_TRUE(start_thread([&ran_on] { ran_on.set_value(std::this_thread::get_id()); }));
  ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_NE(result.get(), std::this_thread::get_id());
}

TEST(StartThread, AReplacedStarterDecidesAndEmptyRestoresTheRealOne) {
  int offered = 0;
  set_thread_starter([&offered](std::function<void()>) {
    ++offered;
    return false;
  });
  bool ran = false;
  EXPECT_FALSE(start_thread([&ran] { ran = true; }));
  EXPECT_EQ(offered, 1);
  EXPECT_FALSE(ran);

  set_thread_starter({});
  std::promise<void> done;
  ASSERT_TRUE(start_thread([&done] { done.set_value(); }));
  EXPECT_EQ(done.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(offered, 1);
}

}  // namespace
}  // namespace stdlookup
