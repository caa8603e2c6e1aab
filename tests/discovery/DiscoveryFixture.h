// A PluginDiscovery whose reported texts and log lines are collected, and a
// scratch folder that is removed afterwards.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/LogCapture.h"
#include "tracking/PluginDiscovery.h"

class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = std::filesystem::temp_directory_path() /
             (std::string("orvel-discovery-") + test->name() + "-" + std::to_string(std::random_device{}()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    discovery.setErrorHandler([this](const std::string& error) { errors.push_back(error); });
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  // Writes a file below the scratch folder, creating its parent folders.
  std::filesystem::path write(const std::filesystem::path& relative, const std::string& content) {
    const std::filesystem::path file = folder / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file;
  }

  std::filesystem::path folder;
  Orvel::Tracking::PluginDiscovery discovery;
  std::vector<std::string> errors;
  Orvel::Test::LogCapture log;  // each line from its level tag on
};
