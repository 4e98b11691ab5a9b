// libFuzzer target: every input is a record file, read for a fixed key, for the key its own track
// line names, so that a well-made record gets past the key to its samples, and for any key, as a
// friend's file added by the track tool is. A record taken must hold what the reader promises,
// name a track key that can stand in a file name, and read back the same once written out; a
// refusal must say why in one line.
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
  for (const std::string& key : {std::string(64, '0'), ownKey, std::string()}) {
    LapRecord record, again;
    std::string why;
    RecordRead read = parseRecord(text, size, key, &record, &why);
    if (read == recordRefused && (why.empty() || why.find('\n') != std::string::npos)) std::abort();
    if (read != recordRead) continue;
    if (!(record.lapTime > 0) || !std::isfinite(record.lapTime) || record.ghost.size() > size_t(maxRecordSamples) ||
        record.medal > medalGold || record.track.size() != 64 ||
        record.track.find_first_not_of("0123456789abcdef") != std::string::npos ||
        (!key.empty() && record.track != key))
      std::abort();
    for (size_t i = 1; i < record.splits.size(); i++)
      if (!(record.splits[i] > record.splits[i - 1])) std::abort();
    for (size_t i = 1; i < record.ghost.size(); i++)
      if (!(record.ghost[i].lapTime > record.ghost[i - 1].lapTime)) std::abort();
    std::string written = formatRecord(record.track, record);
    if (parseRecord(written.data(), written.size(), key, &again, &why) != recordRead ||
        formatRecord(record.track, again) != written)
      std::abort();
  }
  return 0;
}
