#pragma once
// Asserts that a statement throws exactly the given exception type with exactly
// the given what() text.
#include <gtest/gtest.h>

#include <string>

#define EXPECT_THROW_MSG(statement, exception_type, message)                                       \
  do {                                                                                             \
    try {                                                                                          \
      statement;                                                                                   \
      ADD_FAILURE() << "expected " #exception_type " \"" << (message) << "\", nothing was thrown"; \
    } catch (const exception_type& e_) {                                                           \
      EXPECT_EQ(std::string(e_.what()), std::string(message));                                     \
      EXPECT_EQ(typeid(e_), typeid(exception_type)) << "exact type " #exception_type;              \
    } catch (const std::exception& e_) {                                                           \
      ADD_FAILURE() << "expected " #exception_type ", got " << typeid(e_).name() << ": "           \
                    << e_.what();                                                                  \
    }                                                                                              \
  } while (false)
