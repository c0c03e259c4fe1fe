// For the layout tests: one application for the whole test binary, made
// before the first test, whichever test files the binary holds.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "runtime/ui.h"
#include "runtime/ui_testing.h"

namespace zoq::forms::testing {

class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "forms_tests";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<ui::Application>(argc, argv);
  }
  void TearDown() override { application_.reset(); }

 private:
  std::unique_ptr<ui::Application> application_;
};

inline ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace zoq::forms::testing
