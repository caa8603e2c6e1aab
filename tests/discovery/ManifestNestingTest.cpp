// Manifests whose values nest very deeply: a file of 200 kilobytes can nest
// a hundred thousand arrays, and reading it must report, never exhaust the stack.
#include <string>

#include "DiscoveryFixture.h"

using Orvel::Tracking::PluginManifest;

namespace {

const std::string kRequired =
    R"("manifestFileVersion":"1.0.0.0","ID":"id","vendorName":"v","path":"p.dll","productName":"p")";

// depth arrays, one inside the other.
std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST_F(DiscoveryTest, DeeplyNestedValuesAreReportedNotFollowed) {
  constexpr std::size_t kDepth = 100000;
  struct Case {
    std::string text;
    bool valid;
    std::vector<std::string> errors;
  };
  const Case cases[] = {
      // The options' one element is an array, not an option object.
      {"{" + kRequired + R"(,"configurationOptions":)" + nested(kDepth) + "}", false,
       {"Error reading manifest file: [json.exception.type_error.304] cannot use at() with array"}},
      // A member that is not read may nest as deeply as it likes.
      {"{" + kRequired + R"(,"description":)" + nested(kDepth) + "}", true, {}},
  };
  for (const Case& c : cases) {
    errors.clear();
    PluginManifest manifest;
    EXPECT_EQ(discovery.readManifest(write("nested.manifest", c.text), manifest), c.valid);
    EXPECT_EQ(errors, c.errors);
  }
}

}  // namespace
