#include "tests/test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

std::string writeTrackFile(const std::string& name, const std::string& text) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/zarvanto-tests-XXXXXX";
    return std::string(mkdtemp(pattern) != nullptr ? pattern : "/tmp");
  }();
  std::ofstream(folder + "/" + name, std::ios::binary) << text;
  return folder + "/" + name;
}

std::vector<std::string> tracksIn(const std::string& folder) {
  std::vector<std::string> paths;
  std::error_code missing;
  for (const auto& entry : std::filesystem::directory_iterator(folder, missing))
    if (entry.path().extension() == ".tck") paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string reference(const std::string& path, const std::string& output) {
  if (std::getenv("ZARVANTO_NEW_REPORTS") != nullptr) std::ofstream(path, std::ios::binary) << output;
  return fileText(path);
}

int runCommand(const std::string& command, std::string* output) {
  output->clear();
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output->append(chunk, got);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
