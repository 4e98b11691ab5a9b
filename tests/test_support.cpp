#include "tests/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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

std::string fileText(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}
