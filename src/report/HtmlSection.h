// One plugin's part of an HTML report over several plugins: its run, how it
// was made, and the vendor and product its manifest names.
#pragma once
#include <string>

#include "report/ReportContext.h"
#include "run/RunRecord.h"

namespace Orvel::Report {

struct HtmlSection {
  const Verifier::RunRecord* record = nullptr;
  ReportContext context;
  std::string vendor;
  std::string product;
};

}  // namespace Orvel::Report
