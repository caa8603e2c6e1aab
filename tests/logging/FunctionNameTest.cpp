#include <gtest/gtest.h>

#include <string>

#include "logging/FunctionName.h"

namespace {

template <std::size_t N>
std::string nameOf(const char (&pretty)[N]) {
  return Orvel::detail::makeFunctionName(pretty).c_str();
}

// The name is derived at compile time: this must be a constant expression.
constexpr auto kCompileTime = Orvel::detail::makeFunctionName("void Orvel::ReadWritePipe::close()");
static_assert(kCompileTime.text[0] == 'O', "derived at compile time");

TEST(FunctionName, CutsReturnTypeParametersAndTemplateArguments) {
  // Inputs in the shapes GCC and Clang give __PRETTY_FUNCTION__.
  EXPECT_EQ(nameOf("void Orvel::ReadWritePipe::close()"), "Orvel::ReadWritePipe::close");
  EXPECT_EQ(nameOf("Orvel::DynamicLibrary::DynamicLibrary(const std::wstring&)"),
            "Orvel::DynamicLibrary::DynamicLibrary");
  EXPECT_EQ(nameOf("void* Orvel::DynamicLibrary::loadFunctionAddress(const std::string&) const"),
            "Orvel::DynamicLibrary::loadFunctionAddress");
  EXPECT_EQ(nameOf("std::vector<std::filesystem::__cxx11::path> Orvel::Tracking::PluginDiscovery::findManifestFiles()"),
            "Orvel::Tracking::PluginDiscovery::findManifestFiles");
  EXPECT_EQ(nameOf("bool Orvel::State::PropertyClient::tryInitialization(std::chrono::milliseconds)"),
            "Orvel::State::PropertyClient::tryInitialization");
  EXPECT_EQ(nameOf("static std::shared_ptr<Orvel::ReadWritePipe> Orvel::ReadWritePipe::connect(const string&, int64_t)"),
            "Orvel::ReadWritePipe::connect");
  EXPECT_EQ(nameOf("bool Orvel::IPC::LayerByteMessageParser<T>::parse(const IncomingMessage&) [with T = Orvel::IPC::Ping]"),
            "Orvel::IPC::LayerByteMessageParser::parse");
  EXPECT_EQ(nameOf("bool Orvel::IPC::LayerByteMessageParser<T>::parse(const IncomingMessage&) [T = Orvel::IPC::Ping]"),
            "Orvel::IPC::LayerByteMessageParser::parse");
  EXPECT_EQ(nameOf("void Orvel::LogUtil_PropertyChange(const string&, const string&, const string&)"),
            "Orvel::LogUtil_PropertyChange");
}

TEST(FunctionName, LambdasTakeTheShapeOfTheEnclosingFunction) {
  const std::string expected = "Orvel::IPC::Client::sendMessage::<lambda>::operator ()";
  EXPECT_EQ(nameOf("Orvel::IPC::Client::sendMessage(const std::string&)::<lambda()>"), expected) << "GCC";
  EXPECT_EQ(nameOf("Orvel::IPC::Client::sendMessage(const std::string&) const::<lambda(int)>"), expected)
      << "GCC, const member";
  EXPECT_EQ(nameOf("auto Orvel::IPC::Client::sendMessage(const std::string &)::(anonymous class)::operator()() const"),
            expected)
      << "Clang";
}

}  // namespace
