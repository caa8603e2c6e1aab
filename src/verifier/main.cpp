#include "verifier/EntryPoint.h"

int main(int argc, char* argv[]) { return Orvel::Verifier::runEntryPoint(argc, argv); }
