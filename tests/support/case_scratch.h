#pragma once
// A scratch folder per GoogleTest case: CaseName() names the case that runs now.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "scratch_folder.h"

namespace tavrin::testing {

// Fit for a file name: a parameterised case's name has a "/".
inline std::string CaseName() {
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(name.begin(), name.end(), '/', '-');
  return name;
}

}  // namespace tavrin::testing
