// kl7 records FILE: the records of any record file in key-0 order, as hex with offsets (or, with
// --raw, their bytes one after another); an engine-free look into files that are not libraries.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "btrieve/btrieve.h"
#include "btrieve/file_description.h"
#include "btrieve/get_run.h"
#include "btrieve/reason.h"
#include "cli/library_target.h"
#include "cli/verbs.h"

namespace cli {

namespace {

constexpr std::int8_t kReadOnlyOpenMode = -2;
// Big enough for any fixed-length record and for a variable-length one of ordinary size. Left
// uninitialised: the system gives its pages only as records reach into them.
constexpr std::size_t kRecordBufferSize = std::size_t{1} << 20;
constexpr std::size_t kFlushSize = std::size_t{1} << 16;

// One line of 16 bytes as offset, hex in two groups of 8, and the printable bytes.
void AppendHexLine(std::string& out, std::size_t offset, const std::byte* bytes,
                   std::size_t count) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (int shift = 28; shift >= 0; shift -= 4)
    out += kHex[(offset >> shift) & 0x0F];
  out += "  ";
  for (std::size_t i = 0; i < 16; ++i) {
    if (i < count) {
      const auto value = std::to_integer<unsigned>(bytes[i]);
      out += kHex[value >> 4];
      out += kHex[value & 0x0F];
      out += ' ';
    } else {
      out += "   ";
    }
    if (i == 7) out += ' ';
  }
  out += " |";
  for (std::size_t i = 0; i < count; ++i) {
    const auto value = std::to_integer<unsigned char>(bytes[i]);
    out += value >= 0x20 && value < 0x7F ? static_cast<char>(value) : '.';
  }
  out += "|\n";
}

class RecordFile {
 public:
  explicit RecordFile(const std::string& path) : m_name(path) {}
  ~RecordFile() {
    if (!m_open) return;
    std::uint32_t length = 0;
    (void)btrieve::BTRCALL(btrieve::kOpClose, m_positionBlock.data(), &m_ownerName, &length,
                           m_name.data(), 0, 1);
  }
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  [[nodiscard]] std::uint16_t Open() {
    std::uint32_t length = 1;
    const std::uint16_t status =
        btrieve::BTRCALL(btrieve::kOpOpen, m_positionBlock.data(), &m_ownerName, &length,
                         m_name.data(), 0, kReadOnlyOpenMode);
    m_open = status == btrieve::status::kSuccess;
    return status;
  }

  // Every record in key 0's order, as Get First and Get Next would give them, in one walk of the
  // record manager: `take(status, record, lasting)` says whether to go on (see
  // btrieve::RecordWalk). Answers what the walk answered.
  template <typename Taker>
  std::uint16_t WalkFirst(Taker&& take) {
    class Walk final : public btrieve::RecordWalk {
     public:
      explicit Walk(Taker& take) : m_take(take) {}
      bool Take(std::uint16_t status, std::span<const std::byte> record, bool lasting) override {
        return m_take(status, record, lasting);
      }

     private:
      Taker& m_take;
    };
    Walk walk(take);
    return btrieve::WalkFirst(m_positionBlock.data(), 0, walk);
  }

  // Record `index` in file order, as Get does it.
  [[nodiscard]] std::uint16_t InFileOrder(std::size_t index, std::byte* record,
                                          std::uint32_t& length) {
    const std::optional<btrieve::RecordInFileOrder> copy = btrieve::ReadRecordInFileOrder(
        m_positionBlock.data(), index, std::span(record, kRecordBufferSize));
    length = copy ? copy->length : 0;
    return copy ? copy->status : btrieve::status::kFileNotOpen;
  }

 private:
  std::string m_name;
  std::array<std::byte, btrieve::kPositionBlockSize> m_positionBlock{};
  std::byte m_ownerName{0};
  bool m_open = false;
};

}  // namespace

void RunRecords(VerbContext& context) {
  const std::string& path = context.CommandLine().operands[0];
  if (KindOfPath(path) == PathKind::kDirectory) {
    context.Report(path, kIsADirectory);
    return;
  }
  RecordFile file(path);
  if (const std::uint16_t status = file.Open(); status != btrieve::status::kSuccess) {
    context.ReportStatus(path, status, btrieve::LastRefusal(path, status));
    return;
  }

  const bool raw = context.CommandLine().raw;
  // Raw records are copied straight into what waits to be written: each lands after the previous
  // one, and the waiting bytes are written out once they reach kFlushSize, so the room for the
  // next record never falls below kRecordBufferSize (a longer record is written as it is).
  const auto buffer = std::make_unique_for_overwrite<std::byte[]>(kRecordBufferSize + kFlushSize);
  std::size_t waiting = 0;
  std::byte* record = buffer.get();
  std::string out;
  if (!raw) out.reserve(kFlushSize + 4096);
  // Takes record `number` as the walk answered it, its bytes `bytes` (in place already when they
  // were read into the room for the next record); false when the walk ends there.
  const auto take = [&](std::size_t number, std::uint16_t status,
                        std::span<const std::byte> bytes) {
    if (status == btrieve::status::kEndOfFile) return false;
    // A damaged variable part spoils only that record: the walk goes on after it.
    const bool damaged = status == btrieve::status::kVariablePartDamaged;
    if (status != btrieve::status::kSuccess && !damaged) {
      context.ReportStatus(path, status, btrieve::LastRefusal(path, status));
      return false;
    }
    if (damaged) {
      context.ReportStatus(path + ": record " + std::to_string(number), status,
                           btrieve::LastRefusal(path, status));
    }
    if (raw) {
      if (bytes.data() != record) {
        if (bytes.size() > kRecordBufferSize) {
          // Longer than the room: written as it is, after what waits.
          context.Out().write(reinterpret_cast<const char*>(buffer.get()),
                              static_cast<std::streamsize>(waiting));
          context.Out().write(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<std::streamsize>(bytes.size()));
          waiting = 0;
          record = buffer.get();
          return true;
        }
        if (!bytes.empty()) std::memcpy(record, bytes.data(), bytes.size());
      }
      waiting += bytes.size();
      if (waiting >= kFlushSize) {
        context.Out().write(reinterpret_cast<const char*>(buffer.get()),
                            static_cast<std::streamsize>(waiting));
        waiting = 0;
      }
      record = buffer.get() + waiting;
    } else {
      out += "record " + std::to_string(number) + " (" + std::to_string(bytes.size()) + " bytes)\n";
      for (std::size_t offset = 0; offset < bytes.size(); offset += 16) {
        AppendHexLine(out, offset, bytes.data() + offset,
                      std::min<std::size_t>(16, bytes.size() - offset));
      }
    }
    if (out.size() >= kFlushSize) {
      context.Out().write(out.data(), static_cast<std::streamsize>(out.size()));
      out.clear();
    }
    return true;
  };
  std::size_t number = 0;
  const std::uint16_t answer =
      file.WalkFirst([&](std::uint16_t status, std::span<const std::byte> bytes, bool /*lasting*/) {
        return take(++number, status, bytes);
      });
  if (answer == btrieve::status::kOperationNotAllowed) {
    // A key 0 whose type cannot be ordered: the records as they lie in the file instead.
    const std::optional<btrieve::Reason> reason = btrieve::LastRefusal(path, answer);
    context.Note(path, "key 0 cannot be ordered" +
                           (reason ? " (" + btrieve::ReasonText(*reason) + ")" : std::string()) +
                           "; the records follow in file order");
    std::uint32_t length = 0;
    std::uint16_t status = file.InFileOrder(0, record, length);
    for (number = 1; take(number, status, std::span(record, length)); ++number)
      status = file.InFileOrder(number, record, length);
  } else if (answer != btrieve::status::kSuccess) {
    // The end of the file (nothing more to say), or why the walk could not begin.
    (void)take(number + 1, answer, {});
  }
  context.Out().write(reinterpret_cast<const char*>(buffer.get()),
                      static_cast<std::streamsize>(waiting));
  context.Out().write(out.data(), static_cast<std::streamsize>(out.size()));
}

}  // namespace cli
