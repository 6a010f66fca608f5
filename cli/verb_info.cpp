// kl7 info FILE...: what each file is, as the record manager sees it and as the library loader
// sees it.
#include <array>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "btrieve/btrieve.h"
#include "btrieve/file_description.h"
#include "btrieve/stat_reply.h"
#include "cli/library_access.h"
#include "cli/library_target.h"
#include "cli/row_writer.h"
#include "cli/status_text.h"
#include "cli/verbs.h"
#include "libfile/record_manager.h"

namespace cli {

namespace {

constexpr std::array<Column, 3> kColumns{{
    {"file", ColumnKind::kName},
    {"property", ColumnKind::kName},
    {"value", ColumnKind::kValue},  // counts and sizes are numbers, everything else text
}};

namespace reply = btrieve::stat_reply;

// A file has at most a few hundred key segments.
constexpr std::size_t kStatBufferSize = reply::kHeaderSize + reply::kSegmentSize * 1024;

std::string Hex4(unsigned value) {
  std::array<char, 8> digits{};
  std::snprintf(digits.data(), digits.size(), "0x%04X", value & 0xFFFFu);
  return digits.data();
}

// Field `field` of the Stat reply entry that starts at `at`.
unsigned Field(const std::vector<std::byte>& bytes, std::size_t at, reply::Field field) {
  unsigned value = 0;
  for (std::size_t i = 0; i < field.size; ++i)
    value |= std::to_integer<unsigned>(bytes[at + field.offset + i]) << (8 * i);
  return value;
}

using FlagNames = std::span<const std::pair<unsigned, const char*>>;

// `flags` in hexadecimal, then the names of its bits (`extra` first) and any bits without a name.
std::string FlagsText(unsigned flags, FlagNames names, std::string extra = {},
                      unsigned extraBits = 0) {
  std::string listed = std::move(extra);
  unsigned known = extraBits;
  for (const auto& [bit, name] : names) {
    if ((flags & bit) == 0) continue;
    listed += listed.empty() ? "" : ", ";
    listed += name;
    known |= bit;
  }
  if ((flags & ~known) != 0) {
    listed += listed.empty() ? "" : ", ";
    listed += "other bits " + Hex4(flags & ~known);
  }
  return listed.empty() ? Hex4(flags) : Hex4(flags) + " (" + listed + ")";
}

std::string KeyFlagsText(unsigned flags) {
  static constexpr std::array<std::pair<unsigned, const char*>, 11> kNames{{
      {0x0001, "duplicates"},
      {0x0002, "modifiable"},
      {0x0004, "binary"},
      {0x0008, "null key (all segments)"},
      {0x0010, "segmented"},
      {0x0020, "alternate collating sequence"},
      {0x0040, "descending"},
      {0x0080, "repeating duplicates"},
      {0x0100, "extended type"},
      {0x0200, "null key (any segment)"},
      {0x0400, "case-insensitive"},
  }};
  return FlagsText(flags, kNames);
}

std::string FileFlagsText(unsigned flags) {
  static constexpr std::array<std::pair<unsigned, const char*>, 10> kNames{{
      {0x0001, "variable-length records"},
      {0x0002, "blank truncation"},
      {0x0004, "page preallocation"},
      {0x0008, "data compression"},
      {0x0010, "key-only"},
      {0x0020, "balanced index"},
      {0x0100, "reserved duplicate pointers"},
      {0x0200, "include system data"},
      {0x0400, "manual key numbers"},
      {0x0800, "variable-allocation tails"},
  }};
  // The two free-space bits together give one figure.
  static constexpr std::array<const char*, 4> kFreeSpace{"", "free space 10%", "free space 20%",
                                                         "free space 30%"};
  const unsigned freeSpace = (flags >> 6) & 0x03;
  return FlagsText(flags, kNames, kFreeSpace[freeSpace], flags & 0x00C0u);
}

std::string KeyTypeText(unsigned flags, unsigned type) {
  if ((flags & 0x0100) == 0) return (flags & 0x0004) != 0 ? "BINARY" : "STRING";
  static constexpr std::array<const char*, 21> kTypes{
      "STRING",    "INTEGER",  "FLOAT",           "DATE",          "TIME",    "DECIMAL",
      "MONEY",     "LOGICAL",  "NUMERIC",         "BFLOAT",        "LSTRING", "ZSTRING",
      "NOTE",      "LVAR",     "UNSIGNED BINARY", "AUTOINCREMENT", "BIT",     "NUMERICSTS",
      "NUMERICSA", "CURRENCY", "TIMESTAMP"};
  if (type < kTypes.size()) return kTypes[type];
  // Later formats' types, named where known (none of them is ordered by this reader).
  static constexpr std::array<std::pair<unsigned, const char*>, 11> kLater{{
      {21, "BLOB"},
      {25, "WSTRING"},
      {26, "WZSTRING"},
      {27, "GUID"},
      {28, "NUMERICSLB"},
      {29, "NUMERICSLS"},
      {30, "DATETIME"},
      {31, "NUMERICSTB"},
      {32, "AUTOTIMESTAMP"},
      {34, "TIMESTAMP2"},
      {255, "NULL INDICATOR"},
  }};
  for (const auto& [code, name] : kLater) {
    if (code == type) return name;
  }
  return "type " + std::to_string(type);
}

std::string FormatText(const btrieve::FileDescription& description) {
  if (description.preV6) return "pre-6.0 (version " + std::to_string(description.version) + ")";
  const unsigned version = description.version;
  if ((version & 0x0F) == 0) {
    return std::to_string(version >> 8) + "." + std::to_string((version >> 4) & 0x0F);
  }
  return Hex4(version);
}

class InfoRows {
 public:
  InfoRows(RowWriter& writer, const std::string& file) : m_writer(writer) { m_row[0] = file; }
  void Add(std::string property, std::string value) {
    m_row[1] = std::move(property);
    m_row[2] = std::move(value);
    m_writer.Row(m_row);
  }

 private:
  RowWriter& m_writer;
  std::array<std::string, 3> m_row;
};

// The Btrieve facts; false when the file does not open (reported).
bool DescribeRecordFile(VerbContext& context, const std::string& path, InfoRows& rows) {
  std::array<std::byte, btrieve::kPositionBlockSize> positionBlock{};
  std::string name = path;
  std::byte ownerName{0};
  std::uint32_t length = 1;
  const std::uint16_t opened = btrieve::BTRCALL(btrieve::kOpOpen, positionBlock.data(), &ownerName,
                                                &length, name.data(), 0, -2);
  if (opened != 0) {
    context.ReportStatus(path, opened, btrieve::LastRefusal(path, opened));
    return false;
  }
  const std::optional<btrieve::FileDescription> description =
      btrieve::DescribeOpenFile(positionBlock.data());
  std::vector<std::byte> stat(kStatBufferSize);
  std::uint32_t statLength = static_cast<std::uint32_t>(stat.size());
  std::array<std::byte, 255> key{};
  const std::uint16_t statStatus = btrieve::BTRCALL(btrieve::kOpStat, positionBlock.data(),
                                                    stat.data(), &statLength, key.data(), 255, 0);
  length = 0;
  (void)btrieve::BTRCALL(btrieve::kOpClose, positionBlock.data(), &ownerName, &length, name.data(),
                         0, 1);

  if (description) {
    rows.Add("format", FormatText(*description));
    // As stored: pre-6.0 bytes 6 and 7 (0x0004, or 0x00FC where the version is stored negated);
    // 6.x the word at 0x4A.
    rows.Add("version-word", Hex4(description->versionWord));
    rows.Add("page-size", std::to_string(description->pageSize));
    rows.Add("record-length", std::to_string(description->recordLength));
    rows.Add("physical-record-length", std::to_string(description->physicalRecordLength));
    rows.Add("records", std::to_string(description->recordCount));
    rows.Add("pages", std::to_string(description->physicalPages));
    rows.Add("keys", std::to_string(description->keyCount));
  }
  if (statStatus != 0) {
    rows.Add("key-segments",
             "unknown: " + StatusMessage(statStatus, btrieve::LastRefusal(path, statStatus)) +
                 " (status " + std::to_string(statStatus) + ")");
  } else {
    // Segments follow the header, numbered per key from 1.
    const std::size_t segments = statLength < reply::kHeaderSize
                                     ? 0
                                     : (statLength - reply::kHeaderSize) / reply::kSegmentSize;
    unsigned previousKey = UINT_MAX;
    int segmentNumber = 0;
    for (std::size_t s = 0; s < segments; ++s) {
      const std::size_t at = reply::kHeaderSize + reply::kSegmentSize * s;
      const unsigned keyNumber = Field(stat, at, reply::kSegmentKeyNumber);
      segmentNumber = keyNumber == previousKey ? segmentNumber + 1 : 1;
      previousKey = keyNumber;
      const unsigned flags = Field(stat, at, reply::kSegmentFlags);
      rows.Add("key-" + std::to_string(keyNumber) + "-segment-" + std::to_string(segmentNumber),
               "position " + std::to_string(Field(stat, at, reply::kSegmentPosition)) +
                   ", length " + std::to_string(Field(stat, at, reply::kSegmentLength)) +
                   ", type " + KeyTypeText(flags, Field(stat, at, reply::kSegmentType)) +
                   ", flags " + KeyFlagsText(flags));
    }
  }
  if (description) rows.Add("file-flags", FileFlagsText(description->fileFlags));
  return true;
}

void DescribeLibraryView(const std::string& path, InfoRows& rows) {
  libfile::NativeRecordManager manager;
  const LibraryFacts facts = ProbeLibraryFile(manager, path);
  if (facts.status != 0) {
    rows.Add("layout", std::string("none: the loader cannot read it (") +
                           (facts.is16Bit ? "16Bit" : "current") +
                           " layout: " + StatusMessage(facts.status, facts.reason) + ", status " +
                           std::to_string(facts.status) + ")");
    return;
  }
  if (facts.is16Bit) {
    rows.Add("layout", "16Bit");
    rows.Add("entry-length", std::to_string(facts.entryDataLength));
    rows.Add("header-records", std::to_string(facts.headerRecords));
    rows.Add("records-per-entry", std::to_string(facts.partsPerEntry));
  } else {
    rows.Add("layout", "current");
    rows.Add("data-length", std::to_string(facts.dataLength));
  }
  // The loader takes the low 16 bits of the count; a larger count is shown beside it.
  rows.Add("entries", std::to_string(static_cast<std::uint16_t>(facts.count)));
  if (facts.count > 0xFFFF) rows.Add("entries-in-file", std::to_string(facts.count));
}

}  // namespace

void RunInfo(VerbContext& context) {
  RowWriter writer(context.Out(), context.CommandLine(), kColumns);
  for (const std::string& path : context.CommandLine().operands) {
    if (KindOfPath(path) == PathKind::kDirectory) {
      context.Report(path, kIsADirectory);
      continue;
    }
    InfoRows rows(writer, path);
    if (!DescribeRecordFile(context, path, rows)) continue;
    DescribeLibraryView(path, rows);
  }
  writer.Finish();
}

}  // namespace cli
