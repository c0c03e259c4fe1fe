// In-memory files.
//
// A file's bytes live in a short list of chunks rather than one buffer, so
// that a large byte set can be moved in and out whole (the fetch reply carries
// bodies of any size and would otherwise be copied twice). Small writes at the
// end go into the last ordinary chunk; a moved-in byte set becomes a sealed
// chunk of its own that later appends never reallocate. A packet file holds
// at most a handful of chunks, so finding a position is a short linear walk.
//
// Typed values are framed as one type byte, a 4-byte little-endian payload
// length and the payload; an integer is a 4-byte little-endian payload.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "runtime/core.h"

namespace zoq::rt {
namespace {

enum Type : std::uint8_t { kInteger = 'I', kText = 'T', kBytes = 'B' };
constexpr std::size_t kHeaderSize = 5;
// A moved-in byte set at least this large keeps its own buffer.
constexpr std::size_t kOwnChunkMin = 64 * 1024;

class MemFile {
 public:
  std::mutex lock;
  std::size_t pos = 0;

  std::size_t Length() const { return length_; }

  // Writes at `pos`, overwriting what is there and growing the file.
  void Write(const std::uint8_t* data, std::size_t n) {
    std::size_t overlap = std::min(n, length_ - std::min(pos, length_));
    Overwrite(pos, data, overlap);
    Append(data + overlap, n - overlap);
    pos += n;
  }

  // Like Write, but takes over `bytes`' buffer when it lands past the end.
  void WriteMoved(Bytes&& bytes) {
    if (pos == length_ && bytes.size() >= kOwnChunkMin) {
      length_ += bytes.size();
      pos = length_;
      chunks_.push_back({std::move(bytes), true});
      return;
    }
    Write(bytes.data(), bytes.size());
  }

  // Copies [at, at + n) to `out`; the range must lie inside the file.
  void Read(std::size_t at, std::size_t n, std::uint8_t* out) const {
    ForEachSpan(at, n, [&](const Chunk& c, std::size_t off, std::size_t len) {
      std::memcpy(out, c.data.data() + off, len);
      out += len;
    });
  }

  // The position of the first `byte` at or after `from`, or Length().
  std::size_t Find(std::size_t from, std::uint8_t byte) const {
    std::size_t base = 0;
    for (const Chunk& c : chunks_) {
      std::size_t size = c.data.size();
      if (from < base + size) {
        std::size_t off = from > base ? from - base : 0;
        const void* hit = std::memchr(c.data.data() + off, byte, size - off);
        if (hit) return base + (static_cast<const std::uint8_t*>(hit) - c.data.data());
      }
      base += size;
    }
    return length_;
  }

  // Removes [at, at + n); the range must lie inside the file. Whatever
  // follows an erased piece moves up to `at`, so `at` stays the place to cut.
  void Erase(std::size_t at, std::size_t n) {
    std::size_t base = 0;
    auto it = chunks_.begin();
    while (it != chunks_.end() && n > 0) {
      std::size_t size = it->data.size();
      if (at >= base + size) {
        base += size;
        ++it;
        continue;
      }
      std::size_t off = at - base;
      std::size_t len = std::min(n, size - off);
      if (len == size) {
        it = chunks_.erase(it);
      } else {
        it->data.erase(it->data.begin() + off, it->data.begin() + off + len);
        base += it->data.size();
        ++it;
      }
      n -= len;
      length_ -= len;
    }
    pos = std::min(pos, length_);
  }

  // The bytes of [at, at + n), then erased; a range that is exactly one
  // chunk leaves without being copied.
  Bytes Take(std::size_t at, std::size_t n) {
    std::size_t base = 0;
    for (auto it = chunks_.begin(); it != chunks_.end(); ++it) {
      if (base == at && it->data.size() == n && n > 0) {
        Bytes out = std::move(it->data);
        chunks_.erase(it);
        length_ -= n;
        pos = std::min(pos, length_);
        return out;
      }
      if (base >= at) break;
      base += it->data.size();
    }
    Bytes out(n);
    Read(at, n, out.data());
    Erase(at, n);
    return out;
  }

 private:
  struct Chunk {
    Bytes data;
    bool sealed = false;  // a moved-in buffer: never appended to
  };

  template <typename Fn>
  void ForEachSpan(std::size_t at, std::size_t n, Fn&& fn) const {
    std::size_t base = 0;
    for (const Chunk& c : chunks_) {
      if (n == 0) break;
      std::size_t size = c.data.size();
      if (at < base + size) {
        std::size_t off = at - base;
        std::size_t len = std::min(n, size - off);
        fn(c, off, len);
        at += len;
        n -= len;
      }
      base += size;
    }
  }

  void Overwrite(std::size_t at, const std::uint8_t* data, std::size_t n) {
    std::size_t base = 0;
    for (Chunk& c : chunks_) {
      if (n == 0) break;
      std::size_t size = c.data.size();
      if (at < base + size) {
        std::size_t off = at - base;
        std::size_t len = std::min(n, size - off);
        std::memcpy(c.data.data() + off, data, len);
        data += len;
        at += len;
        n -= len;
      }
      base += size;
    }
  }

  void Append(const std::uint8_t* data, std::size_t n) {
    if (n == 0) return;
    if (chunks_.empty() || chunks_.back().sealed) chunks_.push_back({});
    Bytes& last = chunks_.back().data;
    last.insert(last.end(), data, data + n);
    length_ += n;
  }

  std::vector<Chunk> chunks_;
  std::size_t length_ = 0;
};

// The registry maps live numbers to files. A file is shared with any
// operation in progress, so closing it never pulls memory from under a reader
// on another thread; that reader finishes on a file nobody can reach again.
class Registry {
 public:
  FileNumber Create() {
    std::lock_guard<std::mutex> guard(lock_);
    if (next_ == std::numeric_limits<FileNumber>::max()) return 0;  // numbers used up
    FileNumber number = next_++;
    files_.emplace(number, std::make_shared<MemFile>());
    return number;
  }

  void Close(FileNumber number) {
    std::shared_ptr<MemFile> file;
    {
      std::lock_guard<std::mutex> guard(lock_);
      auto it = files_.find(number);
      if (it == files_.end()) return;
      file = std::move(it->second);
      files_.erase(it);
    }
    // `file` may be the last reference: release it outside the registry lock.
  }

  std::shared_ptr<MemFile> Find(FileNumber number) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = files_.find(number);
    return it == files_.end() ? nullptr : it->second;
  }

 private:
  std::mutex lock_;
  FileNumber next_ = 1;
  std::unordered_map<FileNumber, std::shared_ptr<MemFile>> files_;
};

Registry& Files() {
  static Registry* registry = new Registry;  // lives until the very end: workers may outlast main
  return *registry;
}

// Runs `fn(file)` under the file's lock; an unknown number gives R{}.
template <typename Fn>
auto WithFile(FileNumber number, Fn&& fn) -> std::invoke_result_t<Fn, MemFile&> {
  std::shared_ptr<MemFile> file = Files().Find(number);
  if (!file) return std::invoke_result_t<Fn, MemFile&>();
  std::lock_guard<std::mutex> guard(file->lock);
  return fn(*file);
}

void PutHeader(MemFile& f, Type type, std::size_t length) {
  std::uint32_t n = static_cast<std::uint32_t>(length);
  std::uint8_t header[kHeaderSize] = {type, static_cast<std::uint8_t>(n),
                                      static_cast<std::uint8_t>(n >> 8),
                                      static_cast<std::uint8_t>(n >> 16),
                                      static_cast<std::uint8_t>(n >> 24)};
  f.Write(header, kHeaderSize);
}

bool Fits(std::size_t length) { return length <= std::numeric_limits<std::uint32_t>::max(); }

// Locates the typed value at the position. A well-formed value of another
// type is stepped over, so each read consumes exactly one value; a damaged
// frame (unknown type, length past the end) sends the position to the end.
// Returns true with the payload's offset and length when the type matches.
bool NextValue(MemFile& f, Type wanted, std::size_t& payload, std::size_t& length) {
  std::size_t size = f.Length();
  if (f.pos >= size) return false;
  if (size - f.pos < kHeaderSize) {
    f.pos = size;
    return false;
  }
  std::uint8_t header[kHeaderSize];
  f.Read(f.pos, kHeaderSize, header);
  std::size_t n = header[1] | header[2] << 8 | header[3] << 16 |
                  static_cast<std::size_t>(header[4]) << 24;
  bool known = header[0] == kInteger || header[0] == kText || header[0] == kBytes;
  if (!known || n > size - f.pos - kHeaderSize) {
    f.pos = size;
    return false;
  }
  payload = f.pos + kHeaderSize;
  length = n;
  f.pos = payload + n;
  return header[0] == wanted;
}

}  // namespace

FileNumber FileCreate() { return Files().Create(); }

void FileClose(FileNumber file) { Files().Close(file); }

void FileWriteInteger(FileNumber file, std::int32_t value) {
  WithFile(file, [&](MemFile& f) {
    std::uint32_t v = static_cast<std::uint32_t>(value);
    std::uint8_t payload[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 24)};
    PutHeader(f, kInteger, 4);
    f.Write(payload, 4);
  });
}

void FileWriteText(FileNumber file, const Text& value) {
  WithFile(file, [&](MemFile& f) {
    if (!Fits(value.size())) return PutHeader(f, kText, 0);
    PutHeader(f, kText, value.size());
    f.Write(reinterpret_cast<const std::uint8_t*>(value.data()), value.size());
  });
}

void FileWriteBytes(FileNumber file, const Bytes& value) {
  WithFile(file, [&](MemFile& f) {
    if (!Fits(value.size())) return PutHeader(f, kBytes, 0);
    PutHeader(f, kBytes, value.size());
    f.Write(value.data(), value.size());
  });
}

void FileWriteBytes(FileNumber file, Bytes&& value) {
  WithFile(file, [&](MemFile& f) {
    if (!Fits(value.size())) return PutHeader(f, kBytes, 0);
    PutHeader(f, kBytes, value.size());
    f.WriteMoved(std::move(value));
  });
}

std::int32_t FileReadInteger(FileNumber file) {
  return WithFile(file, [](MemFile& f) -> std::int32_t {
    std::size_t at, n;
    if (!NextValue(f, kInteger, at, n) || n != 4) return 0;
    std::uint8_t p[4];
    f.Read(at, 4, p);
    return static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 |
                                     static_cast<std::uint32_t>(p[3]) << 24);
  });
}

Text FileReadText(FileNumber file) {
  return WithFile(file, [](MemFile& f) -> Text {
    std::size_t at, n;
    if (!NextValue(f, kText, at, n)) return {};
    Text out(n, '\0');
    f.Read(at, n, reinterpret_cast<std::uint8_t*>(out.data()));
    out.resize(std::strlen(out.c_str()));  // a text never holds a zero byte
    return out;
  });
}

Bytes FileReadBytes(FileNumber file) {
  return WithFile(file, [](MemFile& f) -> Bytes {
    std::size_t at, n;
    if (!NextValue(f, kBytes, at, n)) return {};
    Bytes out(n);
    f.Read(at, n, out.data());
    return out;
  });
}

Bytes FileTakeBytes(FileNumber file) {
  return WithFile(file, [](MemFile& f) -> Bytes {
    std::size_t start = f.pos;
    std::size_t at, n;
    if (!NextValue(f, kBytes, at, n)) return {};
    Bytes out = f.Take(at, n);
    f.Erase(start, kHeaderSize);
    f.pos = start;
    return out;
  });
}

void FileWriteRaw(FileNumber file, const Bytes& bytes) {
  WithFile(file, [&](MemFile& f) { f.Write(bytes.data(), bytes.size()); });
}

void FileWriteRawText(FileNumber file, const Text& text) {
  WithFile(file, [&](MemFile& f) {
    f.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  });
}

Bytes FileReadRaw(FileNumber file, std::int32_t count) {
  return WithFile(file, [&](MemFile& f) -> Bytes {
    if (count <= 0 || f.pos >= f.Length()) return {};
    std::size_t n = std::min<std::size_t>(count, f.Length() - f.pos);
    Bytes out(n);
    f.Read(f.pos, n, out.data());
    f.pos += n;
    return out;
  });
}

Text FileReadLine(FileNumber file) {
  return WithFile(file, [](MemFile& f) -> Text {
    if (f.pos >= f.Length()) return {};
    std::size_t end = f.Find(f.pos, '\n');
    std::size_t n = end - f.pos;
    Text out(n, '\0');
    f.Read(f.pos, n, reinterpret_cast<std::uint8_t*>(out.data()));
    f.pos = std::min(end + 1, f.Length());
    if (end < f.Length() && !out.empty() && out.back() == '\r') out.pop_back();
    out.resize(std::strlen(out.c_str()));
    return out;
  });
}

void FileSeekStart(FileNumber file) {
  WithFile(file, [](MemFile& f) { f.pos = 0; });
}

bool FileAtEnd(FileNumber file) {
  std::shared_ptr<MemFile> f = Files().Find(file);
  if (!f) return true;
  std::lock_guard<std::mutex> guard(f->lock);
  return f->pos >= f->Length();
}

std::int32_t FileLength(FileNumber file) {
  return WithFile(file, [](MemFile& f) {
    return static_cast<std::int32_t>(
        std::min<std::size_t>(f.Length(), std::numeric_limits<std::int32_t>::max()));
  });
}

void FileDelete(FileNumber file, std::int32_t count) {
  WithFile(file, [&](MemFile& f) {
    if (count <= 0 || f.pos >= f.Length()) return;
    f.Erase(f.pos, std::min<std::size_t>(count, f.Length() - f.pos));
  });
}

}  // namespace zoq::rt
