// A PluginDiscovery whose reported texts and log lines are collected, and a
// scratch folder that is removed afterwards.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "logging/Logger.h"
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
    Orvel::Logger::instance().setSink([this](int, const std::string& line) { logLines.push_back(withoutTimestamp(line)); });
  }

  void TearDown() override {
    Orvel::Logger::instance().setSink(nullptr);
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

  // The line from its level tag on, without the newline; the timestamp
  // "yyyymmdd h:mm:ss.fff" is checked for its shape.
  static std::string withoutTimestamp(const std::string& line) {
    const std::size_t tag = line.find(' ', line.find(' ') + 1);
    EXPECT_EQ(tag, line.find('.') + 4) << "unexpected timestamp in: " << line;
    std::string rest = tag == std::string::npos ? line : line.substr(tag);
    if (!rest.empty() && rest.back() == '\n') rest.pop_back();
    return rest;
  }

  std::filesystem::path folder;
  Orvel::Tracking::PluginDiscovery discovery;
  std::vector<std::string> errors;
  std::vector<std::string> logLines;  // written by this thread only
};
