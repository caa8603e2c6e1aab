// The report files the command line asks for (--report, --junit, --html),
// written when a verify mode or the verification of set mode has ended.
#pragma once
#include <string>
#include <vector>

#include "run/InstalledPlugin.h"
#include "run/RunRecord.h"
#include "verifier/CommandLine.h"

namespace Orvel::Verifier {

// Writes each report asked for from the run's record (empty when no run was
// made), with `status` as the program's exit status. A report that cannot be
// written gives "[Error] Unable to write the report to PATH: <system error
// text>" on standard output, and the exit status becomes 1 where `status`
// is 0. Returns the exit status.
int writeReportFiles(const CommandLine& commandLine, RunRecord record, int status);

// The same for verify-installed: the reports of every manifest found in
// `pluginsFolder`, in the order found.
int writeInstalledReportFiles(const CommandLine& commandLine, const std::string& pluginsFolder,
                              std::vector<InstalledPlugin> plugins, int status);

}  // namespace Orvel::Verifier
