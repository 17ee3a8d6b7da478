// Scratch names in the temporary folder that no other test uses, in this
// process or in one ctest runs beside it (addresses repeat across processes).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>

namespace tw::test {

inline std::filesystem::path scratchPath(const std::string& stem, const std::string& suffix = {}) {
  static std::atomic<int> counter{0};
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::filesystem::temp_directory_path() /
         (stem + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
          (info ? std::string("-") + info->name() : std::string()) + suffix);
}

}  // namespace tw::test
