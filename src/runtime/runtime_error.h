// Runtime errors: a fixed dialog naming the error, then the end of the process with exit code -1,
// whichever thread raised it. Every runtime error is fatal.
#pragma once

#include <cstddef>
#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

enum RuntimeErrorCode : int {
  kIndexAboveCount = 1,
  kIndexBelowOne = 4,
  kStackMismatch = 6,
  kChoiceOutOfRange = 9,
};

// The message of codes 1 to 11; empty for any other code.
const Text& runtime_error_message(int code);

// "运行时出错!\r\n\r\n", then the code line when code != 0, then the message line when the
// message is not empty.
Text runtime_error_text(int code, std::string_view message);

[[noreturn]] void report_runtime_error(int code, std::string_view message);
[[noreturn]] void report_runtime_error(int code);                  // message from the table
[[noreturn]] void report_runtime_error(std::string_view message);  // code 0

// Shows the error's text and returns once the user has closed it. Installing a presenter
// (runtime/window_services.h) sets it; without one the text goes to stderr.
using RuntimeErrorDialog = void (*)(const Text& text);
void set_runtime_error_dialog(RuntimeErrorDialog dialog);

// What an allocation that cannot be satisfied does: by default a runtime error naming the byte
// count. A program without a window may install its own (it must not return, nor allocate).
using AllocationFailureHandler = void (*)(std::size_t byte_count);
void set_allocation_failure_handler(AllocationFailureHandler handler);
AllocationFailureHandler allocation_failure_handler();

// Messages reported without a code.
Text allocation_failure_message(std::size_t byte_count);
Text binding_failure_message(std::string_view library, std::string_view function);
Text binding_failure_message(std::string_view function);  // entry without a library
const Text& main_window_load_failure_message();

}  // namespace stdlookup
