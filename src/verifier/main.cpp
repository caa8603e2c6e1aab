#include "platform/ExitStatus.h"
#include "verifier/EntryPoint.h"

int main(int argc, char* argv[]) {
  return Orvel::platform::processExitStatus(Orvel::Verifier::runEntryPoint(argc, argv));
}
