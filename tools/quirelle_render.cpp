// quirelle-render: plays a MIDI file through the engine into audio files or an event listing.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "tools/render/options.h"
#include "tools/render/render_session.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto parsed = quirelle::render::ParseOptions(args);
  if (!parsed.options) {
    std::cerr << "quirelle-render: " << parsed.error << "\n" << quirelle::render::kUsage;
    return 2;
  }
  if (parsed.options->help) {
    std::cout << quirelle::render::HelpText();
    return 0;
  }
  if (parsed.options->version) {
    std::cout << "quirelle-render " << QUIRELLE_VERSION << "\n";
    return 0;
  }
  std::ios::sync_with_stdio(false);
  // Past a file-size limit a write should fail with "File too large", to be reported, rather than
  // end the program and leave a partial file behind.
  std::signal(SIGXFSZ, SIG_IGN);
  return quirelle::render::RunRender(*parsed.options, std::cout, std::cerr);
}
