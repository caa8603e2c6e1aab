#include "verifier/LibraryValidation.h"

#include <cstdio>
#include <iostream>

#include "verifier/ChildProtocol.h"
#include "verifier/IsolatedChild.h"

namespace Orvel::Verifier {

namespace {

using namespace ChildProtocol;
using Kind = LibraryValidation::Kind;

const char* kindWord(Kind kind) {
  switch (kind) {
    case Kind::Tracking: return "tracking";
    case Kind::MotionPlatform: return "motion";
    case Kind::Neither: break;
  }
  return "none";
}

Kind kindOfWord(const std::string& word) {
  if (word == "tracking") return Kind::Tracking;
  if (word == "motion") return Kind::MotionPlatform;
  return Kind::Neither;
}

// Detection first; the kind is told (through `detected`) before the
// validation runs, so that a crash during the validation still finds it known.
template <typename Detected>
LibraryValidation validate(const Tracking::PluginDiscovery& discovery, const Tracking::PluginManifest& manifest,
                           Detected&& detected) {
  LibraryValidation result;
  if (discovery.referencesTrackingPlugin(manifest)) {
    result.kind = Kind::Tracking;
  } else if (discovery.referencesMotionPlatformPlugin(manifest)) {
    result.kind = Kind::MotionPlatform;
  }
  detected(result.kind);
  if (result.kind != Kind::Neither) {
    result.valid = discovery.validate(manifest, result.kind == Kind::Tracking ? Tracking::PluginKind::Tracking
                                                                             : Tracking::PluginKind::MotionPlatform);
  }
  return result;
}

}  // namespace

LibraryValidation validateLibrary(const Tracking::PluginDiscovery& discovery, const Tracking::PluginManifest& manifest) {
  return validate(discovery, manifest, [](Kind) {});
}

int serveValidations(platform::ParentChannel& channel) {
  Tracking::PluginDiscovery discovery;
  discovery.setErrorHandler([&channel](const std::string& error) {
    std::fflush(stdout);
    channel.writeLine(oneLine(std::string(kError) + error));
  });
  Tracking::PluginManifest manifest;
  while (std::getline(std::cin, manifest.path)) {
    const LibraryValidation result = validate(discovery, manifest, [&channel](Kind kind) {
      channel.writeLine(std::string(kKind) + kindWord(kind));
    });
    // Log lines written during the validation reach the pipe before the answer.
    std::fflush(stdout);
    channel.writeLine(std::string(kValid) + (result.valid ? "1" : "0"));
    channel.writeLine(std::string(kAnswered));
  }
  return 0;
}

IsolatedValidator::IsolatedValidator(std::vector<std::string> arguments, std::uint32_t deadlineMs)
    : arguments_(std::move(arguments)), deadline_(deadlineMs) {}

IsolatedValidator::~IsolatedValidator() = default;

LibraryValidation IsolatedValidator::validate(const Tracking::PluginDiscovery& discovery,
                                              const Tracking::PluginManifest& manifest) {
  LibraryValidation result;
  if (!child_) child_ = std::make_unique<IsolatedChild>(arguments_);
  child_->send(oneLine(manifest.path));
  const auto due = std::chrono::steady_clock::now() + deadline_;
  std::string line;
  for (;;) {
    std::string rest;
    switch (child_->next(line, due)) {
      case IsolatedChild::Event::Line:
        if (startsWith(line, kError, rest)) {
          discovery.reportError(rest);
        } else if (startsWith(line, kKind, rest)) {
          result.kind = kindOfWord(rest);
        } else if (startsWith(line, kValid, rest)) {
          result.valid = rest == "1";
        } else if (line == kAnswered) {
          return result;
        }
        break;
      case IsolatedChild::Event::Late:
        child_->finish(true);
        child_.reset();
        result.failure = "The plugin did not answer within " + std::to_string(deadline_.count()) +
                         " ms while it was validated";
        return result;
      case IsolatedChild::Event::Ended: {
        const platform::ChildEnd end = child_->finish(false);
        child_.reset();
        result.failure = end.kind == platform::ChildEnd::Kind::Crashed
                             ? "The plugin crashed while it was validated: " + platform::describeCrash(end.code)
                             : "The plugin ended the process while it was validated: exit status " +
                                   std::to_string(end.code);
        return result;
      }
    }
  }
}

}  // namespace Orvel::Verifier
