#include "tests/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static std::string testFolder() {
  static std::string folder;
  if (folder.empty()) {
    char pattern[] = "/tmp/zarvanto-tests-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) std::abort();
    folder = made;
  }
  return folder;
}

std::string writeTrackFile(const std::string& name, const std::string& text) {
  std::string path = testFolder() + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return path;
}

std::string trackText(const std::string& waypointLines, const std::string& title) {
  return "#Track\n" + title + "\n" + waypointLines;
}
