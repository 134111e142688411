// Binding by name over a loader that records what binding asks of the system.
#include "runtime/binding_win32.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/platform.h"

namespace stdlookup {
namespace {

// Libraries are the names of `exports`' keys; a module is a pointer into that map.
class FakeLoader final : public LibraryLoader {
 public:
  std::map<std::string, std::vector<std::string>> exports;
  std::vector<std::string> program_folder;  // libraries found beside the program
  std::vector<std::string> calls;

  Module load_from_program_folder(std::string_view library) override {
    record("folder " + std::string(library));
    for (const std::string& name : program_folder) {
      if (name == library) return module_of("folder:" + name);
    }
    return nullptr;
  }
  Module load(std::string_view library) override {
    record("load " + std::string(library));
    return exports.count(std::string(library)) ? module_of(std::string(library)) : nullptr;
  }
  Address find(Module module, std::string_view function) override {
    std::string library = name_of(module);
    record("find " + library + " " + std::string(function));
    if (library.rfind("folder:", 0) == 0) library = library.substr(7);
    for (const std::string& name : exports[library]) {
      if (name == function) return module;  // any non-null address
    }
    return nullptr;
  }
  Address find_ordinal(Module module, std::uint16_t ordinal) override {
    record("ordinal " + name_of(module) + " " + std::to_string(ordinal));
    return module;
  }
  void release(Module module) override { record("release " + name_of(module)); }

 private:
  Module module_of(const std::string& name) {
    auto [it, inserted] = modules_.emplace(name, name);
    return &it->second;
  }
  static std::string name_of(Module module) { return *static_cast<std::string*>(module); }
  void record(std::string call) {
    std::lock_guard lock(mutex_);
    calls.push_back(std::move(call));
  }
  std::map<std::string, std::string> modules_;
  std::mutex mutex_;
};

TEST(Binding, EntryWithoutLibrarySearchesTheDefaultListInOrderOnce) {
  FakeLoader loader;
  loader.exports = {{"Kernel32.dll", {"CreateThread"}},
                    {"Gdi32.dll", {}},
                    {"User32.dll", {}},
                    {"Advapi32.dll", {}},
                    {"Shell32.dll", {"ShellExecuteA"}}};  // Mpr.dll does not load
  {
    FunctionTable table(system_function_table(), loader);
    ASSERT_NE(table.bind(kBoundShellExecuteA), nullptr);
    EXPECT_EQ(loader.calls,
              (std::vector<std::string>{
                  "load Kernel32.dll", "find Kernel32.dll ShellExecuteA", "release Kernel32.dll",
                  "load Gdi32.dll", "find Gdi32.dll ShellExecuteA", "release Gdi32.dll",
                  "load User32.dll", "find User32.dll ShellExecuteA", "release User32.dll",
                  "load Advapi32.dll", "find Advapi32.dll ShellExecuteA", "release Advapi32.dll",
                  "load Mpr.dll", "load Shell32.dll", "find Shell32.dll ShellExecuteA"}));
    loader.calls.clear();
    table.bind(kBoundShellExecuteA);
    EXPECT_TRUE(loader.calls.empty());  // bound once, no second lookup

    table.bind(kBoundCreateThread);
    EXPECT_EQ(loader.calls,
              (std::vector<std::string>{"load Kernel32.dll", "find Kernel32.dll CreateThread"}));
    loader.calls.clear();
  }
  // The modules of the bound entries are released with the table, once each.
  EXPECT_EQ(loader.calls,
            (std::vector<std::string>{"release Shell32.dll", "release Kernel32.dll"}));
}

TEST(Binding, NamedLibraryIsTriedBesideTheProgramFirstAndSameFunctionEntriesBindApart) {
  FakeLoader loader;
  loader.exports = {{"wininet.dll", {"HttpSendRequestA", "InternetOpenA"}}};
  FunctionTable table(system_function_table(), loader);
  table.bind(kBoundHttpSendRequestA);
  EXPECT_EQ(loader.calls, (std::vector<std::string>{"folder wininet.dll", "load wininet.dll",
                                                    "find wininet.dll HttpSendRequestA"}));
  EXPECT_TRUE(table.is_bound(kBoundHttpSendRequestA));
  EXPECT_FALSE(table.is_bound(kBoundHttpSendRequestBytesA));
  table.bind(kBoundHttpSendRequestBytesA);
  EXPECT_TRUE(table.is_bound(kBoundHttpSendRequestBytesA));

  loader.program_folder = {"wininet.dll"};
  loader.calls.clear();
  table.bind(kBoundInternetOpenA);
  EXPECT_EQ(loader.calls, (std::vector<std::string>{"folder wininet.dll",
                                                    "find folder:wininet.dll InternetOpenA"}));
}

TEST(Binding, OrdinalsAndAbsolutePaths) {
  FakeLoader loader;
  loader.exports = {{"C:\\lib\\x.dll", {}}};
  const BoundFunctionName entries[] = {{"C:\\lib\\x.dll", "#70001"}};
  FunctionTable table(entries, loader);
  table.bind(0);
  // A path with ":" is loaded as it is; the ordinal is taken modulo 65536.
  EXPECT_EQ(loader.calls,
            (std::vector<std::string>{"load C:\\lib\\x.dll", "ordinal C:\\lib\\x.dll 4465"}));
}

TEST(Binding, TwoThreadsBindAnEntryOnce) {
  FakeLoader loader;
  loader.exports = {{"wininet.dll", {"InternetReadFile"}}};
  FunctionTable table(system_function_table(), loader);
  std::vector<void*> addresses(2);
  std::vector<std::thread> threads;
  for (int i = 0; i < 2; ++i) {
    threads.emplace_back([&, i] { addresses[i] = table.bind(kBoundInternetReadFile); });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(addresses[0], addresses[1]);
  EXPECT_EQ(std::count(loader.calls.begin(), loader.calls.end(), "load wininet.dll"), 1);
}

void bind_missing(const char* library) {
  FakeLoader loader;
  loader.exports = {{"wininet.dll", {"InternetOpenA"}}};
  const BoundFunctionName entries[] = {{library, "InternetNoSuchThing"}};
  FunctionTable table(entries, loader);
  table.bind(0);
}

TEST(BindingDeathTest, FunctionThatCannotBeBoundEndsTheProgram) {
  EXPECT_EXIT(bind_missing("wininet.dll"), ::testing::ExitedWithCode(test::kRuntimeErrorExitCode),
              "运行时出错!\\s+错误信息：无法找到指定DLL库文件“wininet.dll”中的输出命令“"
              "InternetNoSuchThing”");
  EXPECT_EXIT(bind_missing(nullptr), ::testing::ExitedWithCode(test::kRuntimeErrorExitCode),
              "错误信息：无法找到指定DLL库文件中的输出命令“InternetNoSuchThing”");
}

}  // namespace
}  // namespace stdlookup
