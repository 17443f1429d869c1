#pragma once
// The framework's exception classes. Every failure the framework reports is one of these, with
// its message text.

#include <string>

class Exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  virtual ~Exception() = default;

  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// The silent abort: the application's exception handler never shows it.
class EAbort : public Exception {
 public:
  using Exception::Exception;
};

class ERangeError : public Exception {
 public:
  using Exception::Exception;
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// An operating-system call failed; keeps the system's error code.
class EOSError : public Exception {
 public:
  EOSError(std::string message, int errorCode) : Exception(std::move(message)), code_(errorCode) {}
  int ErrorCode() const { return code_; }

 private:
  int code_;
};

class EThread : public Exception {
 public:
  using Exception::Exception;
};

// A form description that cannot be read: unknown class, unknown property, bad value.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};

class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

// printf-style formatting into a std::string.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
