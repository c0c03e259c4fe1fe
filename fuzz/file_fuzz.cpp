// Typed reads of arbitrary in-memory file contents: a packet file whose bytes
// were cut short, corrupted or never written by the typed writes must still
// read as ordinary values, without running past the end of the file or
// allocating what a forged length claims.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

#include "check.h"
#include "runtime/core.h"

using namespace zoq;
using namespace zoq::rt;

namespace {

// Well-formed typed values, then one cut and a few flipped bytes: reaches
// the decoding paths far quicker than raw bytes alone.
Bytes DamagedPacket(FuzzedDataProvider& in) {
  const FileNumber file = FileCreate();
  const int values = in.ConsumeIntegralInRange(0, 8);
  for (int i = 0; i < values; ++i) {
    switch (in.ConsumeIntegralInRange(0, 2)) {
      case 0:
        FileWriteInteger(file, in.ConsumeIntegral<std::int32_t>());
        break;
      case 1:
        FileWriteText(file, zoq::fuzz::WithoutZeros(in.ConsumeRandomLengthString(40)));
        break;
      default: {
        const std::string b = in.ConsumeRandomLengthString(40);
        FileWriteBytes(file, Bytes(b.begin(), b.end()));
      }
    }
  }
  FileSeekStart(file);
  Bytes packet = FileReadRaw(file, FileLength(file));
  FileClose(file);
  if (!packet.empty()) {
    packet.resize(in.ConsumeIntegralInRange<std::size_t>(0, packet.size()));
    const int flips = in.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < flips && !packet.empty(); ++i)
      packet[in.ConsumeIntegralInRange<std::size_t>(0, packet.size() - 1)] =
          in.ConsumeIntegral<std::uint8_t>();
  }
  return packet;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string ops = in.ConsumeRandomLengthString(64);
  Bytes content;
  if (in.ConsumeBool()) {
    content = DamagedPacket(in);
  } else {
    const std::string raw = in.ConsumeRemainingBytesAsString();
    content.assign(raw.begin(), raw.end());
  }

  const FileNumber file = FileCreate();
  FileWriteRaw(file, content);
  FUZZ_CHECK(FileLength(file) == static_cast<std::int32_t>(content.size()));
  FileSeekStart(file);

  std::int32_t length = FileLength(file);
  for (unsigned char op : ops) {
    switch (op % 9) {
      case 0:
        (void)FileReadInteger(file);
        break;
      case 1: {
        const Text t = FileReadText(file);
        FUZZ_CHECK(t.size() <= static_cast<std::size_t>(length));
        break;
      }
      case 2: {
        const Bytes b = FileReadBytes(file);
        FUZZ_CHECK(b.size() <= static_cast<std::size_t>(length));
        break;
      }
      case 3: {
        const std::int32_t count = static_cast<std::int32_t>(op) * 97 - 4000;
        const Bytes b = FileReadRaw(file, count);
        FUZZ_CHECK(b.size() <= static_cast<std::size_t>(count < 0 ? 0 : count));
        break;
      }
      case 4: {
        const Text line = FileReadLine(file);
        FUZZ_CHECK(line.size() <= static_cast<std::size_t>(length));
        FUZZ_CHECK(line.find('\n') == Text::npos);
        break;
      }
      case 5:
        FileSeekStart(file);
        break;
      case 6:
        FileDelete(file, static_cast<std::int32_t>(op) - 200);
        FUZZ_CHECK(FileLength(file) <= length && FileLength(file) >= 0);
        length = FileLength(file);
        break;
      case 7: {
        // Writing at whatever position the hostile reads left.
        FileWriteText(file, "ok");
        length = FileLength(file);
        break;
      }
      default:
        (void)FileAtEnd(file);
        break;
    }
    // Reads never change the file's length.
    FUZZ_CHECK(FileLength(file) == length);
  }

  // The whole file reads back raw, byte for byte.
  FileSeekStart(file);
  const Bytes all = FileReadRaw(file, length);
  FUZZ_CHECK(all.size() == static_cast<std::size_t>(length));
  FUZZ_CHECK(FileAtEnd(file));
  FileClose(file);
  FUZZ_CHECK(FileReadText(file).empty());
  FUZZ_CHECK(FileLength(file) == 0);
  return 0;
}
