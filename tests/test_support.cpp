#include "tests/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

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

int runCommand(const std::string& command, std::string* output) {
  output->clear();
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output->append(chunk, got);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
