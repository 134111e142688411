#include "runtime/runtime_error.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "runtime/conversion.h"
#include "runtime/gbk.h"

namespace stdlookup {

using namespace literals;

const Text& runtime_error_message(int code) {
  static const std::array<const Text*, 12> messages = {
      nullptr,
      &"数组成员引用下标超出定义范围"_gbk,
      &"未得到所需要的数值型数据"_gbk,
      &"引用数组成员时维数不为1且不等于该数组目前所具有的维数"_gbk,
      &"数组成员引用下标必须大于等于1"_gbk,
      &"数据或数组类型不匹配"_gbk,
      &"调用DLL命令后发现堆栈错误"_gbk,
      &"子语句参数未返回数据或者返回了非系统基本类型或数组型数据"_gbk,
      &"被比较数据只能使用等于或不等于命令比较"_gbk,
      &"“多项选择”命令的索引值参数小于零或超出了所提供参数表范围"_gbk,
      &"“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零"_gbk,
      &"所提供参数的数据类型不符合要求"_gbk,
  };
  static const Text none;
  if (code < 1 || code > 11) return none;
  return *messages[static_cast<std::size_t>(code)];
}

Text runtime_error_text(int code, std::string_view message) {
  Text text = "运行时出错!\r\n\r\n"_gbk;
  if (code != 0) text += "错误代码："_gbk + to_text(code) + "\r\n\r\n";
  if (!message.empty()) {
    text += "错误信息："_gbk;
    text += message;
    text += "\r\n";
  }
  return text;
}

namespace {
std::atomic<RuntimeErrorDialog> error_dialog{nullptr};
}  // namespace

void set_runtime_error_dialog(RuntimeErrorDialog dialog) {
  error_dialog = dialog;
}

void report_runtime_error(int code, std::string_view message) {
  // The first error shows its dialog. A second one meanwhile must not wait for it: the first
  // dialog may be waiting for the very thread that raised the second (the GUI thread), so the
  // second only writes its text to stderr and ends the process at once.
  static std::mutex reporting;
  const Text text = runtime_error_text(code, message);
  const RuntimeErrorDialog dialog = error_dialog.load();
  if (dialog != nullptr && reporting.try_lock()) {
    dialog(text);
  } else {
    const std::string utf8 = gbk_to_utf8(text);
    std::fputs(utf8.c_str(), stderr);
  }
  std::fflush(nullptr);
  std::_Exit(-1);
}

void report_runtime_error(int code) {
  report_runtime_error(code, runtime_error_message(code));
}

void report_runtime_error(std::string_view message) {
  report_runtime_error(0, message);
}

namespace {
std::atomic<AllocationFailureHandler> failure_handler{nullptr};
}  // namespace

void set_allocation_failure_handler(AllocationFailureHandler handler) {
  failure_handler = handler;
}

AllocationFailureHandler allocation_failure_handler() {
  return failure_handler;
}

Text allocation_failure_message(std::size_t byte_count) {
  // "分配 %d 字节内存失败!" with the real byte count, which may exceed an int.
  return "分配 "_gbk + std::to_string(byte_count) + " 字节内存失败!"_gbk;
}

Text binding_failure_message(std::string_view library, std::string_view function) {
  return "无法找到指定DLL库文件“"_gbk + Text(library) + "”中的输出命令“"_gbk + Text(function) +
         "”"_gbk;
}

Text binding_failure_message(std::string_view function) {
  return "无法找到指定DLL库文件中的输出命令“"_gbk + Text(function) + "”"_gbk;
}

const Text& main_window_load_failure_message() {
  return "载入启动窗口失败"_gbk;
}

}  // namespace stdlookup
