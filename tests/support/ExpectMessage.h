#pragma once
// An action that must throw an exception of the given class with the given text.

#include <gtest/gtest.h>

#include <functional>
#include <string>

template <typename ExceptionClass>
void ExpectThrowWithMessage(const std::function<void()>& action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "no exception; expected \"" << message << "\"";
  } catch (const ExceptionClass& e) {
    EXPECT_EQ(e.Message(), message);
  }
}
