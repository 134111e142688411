// What every step of reading or writing a workbook or a list gives back: its value, or why there
// is none (a message for people, UTF-8, in their language). Never dropped unread.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace stdlookup::workbook {

// Why a step failed; converts into any Result.
struct [[nodiscard]] Failure {
  std::string why;
};
inline Failure failure(std::string why) {
  return Failure{std::move(why)};
}

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}              // NOLINT: a value is a success
  Result(Failure failed) : error_(std::move(failed.why)) {}  // NOLINT

  bool ok() const { return value_.has_value(); }
  // Why it failed; "" on success.
  const std::string& error() const { return error_; }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  // The failure, to be handed on as it is.
  Failure failed() const { return Failure{error_}; }

 private:
  std::optional<T> value_;
  std::string error_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failed) : error_(std::move(failed.why)), ok_(false) {}  // NOLINT

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  Failure failed() const { return Failure{error_}; }

 private:
  std::string error_;
  bool ok_ = true;
};
using Status = Result<void>;

}  // namespace stdlookup::workbook
