// One plugin's part of an HTML report over several plugins: its run (none
// for a manifest that was not verified, with the reason), how it was made,
// and the vendor and product its manifest names.
#pragma once
#include <string>

#include "report/ReportContext.h"
#include "run/RunRecord.h"

namespace Orvel::Report {

struct HtmlSection {
  const Verifier::RunRecord* record = nullptr;
  std::string notVerified;  // why there is no run
  ReportContext context;
  std::string manifest;  // the manifest file's path
  std::string vendor;    // empty when the manifest was not read
  std::string product;
};

}  // namespace Orvel::Report
