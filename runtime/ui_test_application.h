// For tests that build windows: one application for the whole test binary,
// made before the first test, whichever test files the binary holds. Free of
// Qt headers, so test files compiled with code-page 936 literals can use it.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "runtime/ui.h"

namespace zoq::ui::testing {

class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "zoq_tests";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<ui::Application>(argc, argv);
  }
  void TearDown() override { application_.reset(); }

 private:
  std::unique_ptr<ui::Application> application_;
};

inline ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace zoq::ui::testing
