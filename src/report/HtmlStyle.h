// The style sheet of the HTML report, inlined in its <style> element: fits a
// 1280 px wide window, follows the reader's light or dark preference, and
// prints on white.
#pragma once

namespace Orvel::Report {

extern const char* const kHtmlStyle;

}  // namespace Orvel::Report
