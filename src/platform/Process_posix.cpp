#include "platform/Process.h"

#include <clocale>

namespace Orvel::platform {

void initializeProcessLocale() {
  // Only the character type: number formats stay those of the "C" locale.
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) std::setlocale(LC_CTYPE, "C.utf8");
}

}  // namespace Orvel::platform
