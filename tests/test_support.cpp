#include "tests/test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

std::string writeTrackFile(const std::string& name, const std::string& text) {
  static std::string folder;
  if (folder.empty()) {
    char pattern[] = "/tmp/zarvanto-tests-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    folder = pattern;
  }
  std::string path = folder + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return path;
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
