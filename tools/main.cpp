// zarvanto-track: checks track files and draws their maps for track authors.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/check_report.h"
#include "tools/track_map.h"

namespace {

// Exit statuses: every track accepted, some track refused, the command itself was wrong.
constexpr int exitAccepted = 0;
constexpr int exitRefused = 1;
constexpr int exitUsage = 2;

const char usage[] =
    "Usage: zarvanto-track check [--json] FILE...\n"
    "       zarvanto-track map FILE [-o MAP.svg]\n";

const char help[] =
    "\n"
    "Checks track files for Zarvanto and draws their maps, with the game's own loader and rules.\n"
    "\n"
    "  check FILE...         the game's verdict on each file and where the fault lies;\n"
    "                        for an accepted track, its waypoints, size, mesh and slopes\n"
    "  check --json FILE...  the same as JSON\n"
    "  map FILE [-o MAP.svg] the track from above as SVG, faults marked in red;\n"
    "                        standard output without -o\n"
    "\n"
    "Exit status: 0 every track accepted, 1 some track refused, 2 the command is wrong\n"
    "or the map can't be written.\n";

int usageError() {
  std::fputs(usage, stderr);
  return exitUsage;
}

int check(const std::vector<std::string>& arguments) {
  bool json = false;
  std::vector<std::string> files;
  for (const std::string& argument : arguments) {
    if (argument == "--json")
      json = true;
    else
      files.push_back(argument);
  }
  if (files.empty()) return usageError();
  std::vector<TTrackCheck> checks;
  bool allAccepted = true;
  for (const std::string& file : files) {
    checks.push_back(checkTrackFile(file));
    allAccepted = allAccepted && checks.back().accepted();
    if (!json) std::fputs(checkText(checks.back()).c_str(), stdout);
  }
  if (json) std::fputs(checksJson(checks).c_str(), stdout);
  return allAccepted ? exitAccepted : exitRefused;
}

int map(const std::vector<std::string>& arguments) {
  std::string file, output = "-";
  for (size_t i = 0; i < arguments.size(); i++) {
    if (arguments[i] == "-o") {
      if (++i == arguments.size()) return usageError();
      output = arguments[i];
    } else if (file.empty()) {
      file = arguments[i];
    } else {
      return usageError();
    }
  }
  if (file.empty()) return usageError();
  TTrackCheck checked = checkTrackFile(file);
  std::string svg = trackMapSvg(checked);
  std::FILE* out = output == "-" ? stdout : std::fopen(output.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "zarvanto-track: can't write %s\n", output.c_str());
    return exitUsage;
  }
  bool written = std::fwrite(svg.data(), 1, svg.size(), out) == svg.size();
  if (out != stdout) written = std::fclose(out) == 0 && written;
  if (!written) {
    std::fprintf(stderr, "zarvanto-track: can't write %s\n", output.c_str());
    return exitUsage;
  }
  return checked.accepted() ? exitAccepted : exitRefused;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + std::min(argc, 2), argv + argc);
  if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("%s%s", usage, help);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("zarvanto-track %s\n", ZARVANTO_VERSION);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "check") == 0) return check(arguments);
  if (argc >= 2 && std::strcmp(argv[1], "map") == 0) return map(arguments);
  return usageError();
}
