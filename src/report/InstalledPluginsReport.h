// The reports of verify-installed: the JSON report (one object with every
// manifest found and, for each verified plugin, its single-plugin report
// object; docs/report.schema.json describes both forms) and the JUnit report
// (a testsuites root: a suite "installed plugins" with a testcase per
// manifest, then one suite per verified plugin with its checks).
#pragma once
#include <string>
#include <vector>

#include "run/InstalledPlugin.h"

namespace Orvel::Report {

struct InstalledPluginsContext {
  std::string pluginsFolder;  // the folder searched
  int exitStatus = 0;         // the status the program ends with
};

std::string installedPluginsJson(const std::vector<Verifier::InstalledPlugin>& plugins,
                                 const InstalledPluginsContext& context);
std::string installedPluginsJUnit(const std::vector<Verifier::InstalledPlugin>& plugins,
                                  const InstalledPluginsContext& context);

}  // namespace Orvel::Report
