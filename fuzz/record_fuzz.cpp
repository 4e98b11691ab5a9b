// libFuzzer target: every input is a record file, read for a fixed key and for the key its own
// track line names, so that a well-made record gets past the key to its samples. A record taken
// must hold what the reader promises and read back the same once written out; a refusal must say
// why in one line.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "records/record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  std::string_view input(text, size);
  size_t start = std::min(input.find("\ntrack "), size) + 7;
  std::string ownKey(start < size ? input.substr(start, input.find('\n', start) - start) : "");
  for (const std::string& key : {std::string(64, '0'), ownKey}) {
    LapRecord record, again;
    std::string why;
    RecordRead read = parseRecord(text, size, key, &record, &why);
    if (read == recordRefused && (why.empty() || why.find('\n') != std::string::npos)) std::abort();
    if (read != recordRead) continue;
    if (!(record.lapTime > 0) || !std::isfinite(record.lapTime) || record.ghost.size() > size_t(maxRecordSamples))
      std::abort();
    for (size_t i = 1; i < record.ghost.size(); i++)
      if (!(record.ghost[i].lapTime > record.ghost[i - 1].lapTime)) std::abort();
    std::string written = formatRecord(key, record);
    if (parseRecord(written.data(), written.size(), key, &again, &why) != recordRead ||
        formatRecord(key, again) != written)
      std::abort();
  }
  return 0;
}
