// OrvelPropertyServer: the reference property server for plugin vendors and
// support staff who have no runtime at hand.
#include <cstdio>
#include <iostream>
#include <string>

#include "PropertyServer.h"
#include "ServerOptions.h"
#include "logging/Logger.h"
#include "property/PropertyCatalogue.h"

int main(int argc, char* argv[]) {
  using namespace Orvel::Tools;
  ServerOptions options;
  std::string error;
  if (!parseServerOptions(argc, argv, options, error)) {
    std::cerr << "[Error] " << error << "\n" << serverUsage() << std::flush;
    return 1;
  }
  if (options.help) {
    std::cout << serverUsage() << std::flush;
    return 0;
  }
  // Log lines (refused writes, damaged frames) go to standard error, so that
  // standard output carries only the event lines.
  Orvel::Logger::instance().setSink([](int, const std::string& line) {
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
  });
  PropertyServer server(Orvel::State::getPropertyDefinitions(), options,
                        [](const std::string& line) { std::cout << line << std::endl; });
  if (!server.listen(error)) {
    std::cerr << "[Error] " << error << std::endl;
    return 1;
  }
  server.run();
  return 0;
}
