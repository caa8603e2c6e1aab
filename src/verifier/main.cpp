#include "platform/Process.h"
#include "verifier/EntryPoint.h"

int main(int argc, char* argv[]) {
  Orvel::platform::initializeProcessLocale();
  return Orvel::Verifier::runEntryPoint(argc, argv);
}
