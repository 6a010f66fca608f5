// Helpers for the record-manager tests (see test_support.h).
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "btrieve/get_run.h"

namespace btrieve::test {

std::filesystem::path FixturesDir() {
  return KL7_FIXTURES_DIR;
}

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (;;) {
    m_path = std::filesystem::temp_directory_path() /
             ("kl7-btrieve-" + std::to_string(random()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(m_path)) return;
  }
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, error);
  std::filesystem::remove_all(m_path, error);
}

std::vector<std::byte> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  const std::vector<char> chars((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  std::vector<std::byte> bytes(chars.size());
  for (std::size_t i = 0; i < chars.size(); ++i)
    bytes[i] = static_cast<std::byte>(chars[i]);
  return bytes;
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::byte>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

Handle::~Handle() {
  (void)Close();
}

std::uint16_t Handle::Open(const std::string& name, std::int8_t mode) {
  std::vector<char> nameBuffer(name.begin(), name.end());
  nameBuffer.push_back('\0');
  char owner = '\0';
  std::uint32_t ownerLength = 1;
  return BTRCALL(kOpOpen, Block(), &owner, &ownerLength, nameBuffer.data(), 0, mode);
}

std::uint16_t Handle::Close() {
  char zero = '\0';
  std::uint32_t length = 0;
  return BTRCALL(kOpClose, Block(), &zero, &length, &zero, 0, 1);
}

GetResult Handle::Call(std::uint16_t operation, std::uint32_t dataLength,
                       std::vector<std::byte> key, std::uint8_t keyLength, std::int8_t keyNumber) {
  GetResult result;
  // Room around the areas shows any write beyond the lengths given.
  std::vector<std::byte> data(dataLength + 16, std::byte{0xEE});
  key.resize(std::max<std::size_t>(key.size(), keyLength) + 16, std::byte{0xEE});
  const std::vector<std::byte> keyBefore = key;
  std::uint32_t length = dataLength;
  result.status =
      BTRCALL(operation, Block(), data.data(), &length, key.data(), keyLength, keyNumber);
  for (std::size_t i = dataLength; i < data.size(); ++i) {
    if (data[i] != std::byte{0xEE}) {
      ADD_FAILURE() << "data written beyond its length at " << i;
      break;
    }
  }
  for (std::size_t i = keyLength; i < key.size(); ++i) {
    if (key[i] != keyBefore[i]) {
      ADD_FAILURE() << "key written beyond its length at " << i;
      break;
    }
  }
  if (length > dataLength) {
    ADD_FAILURE() << "data length " << length << " beyond the buffer's " << dataLength;
    length = dataLength;
  }
  data.resize(length);
  key.resize(keyLength);
  result.data = std::move(data);
  result.key = std::move(key);
  return result;
}

GetResult Handle::Stat(std::uint32_t dataLength) {
  return Call(kOpStat, dataLength, {}, 4, 0);
}

GetResult Handle::Get(std::uint16_t operation, std::vector<std::byte> key, std::uint32_t dataLength,
                      std::int8_t keyNumber, std::uint8_t keyLength) {
  const auto length = keyLength != 0 ? keyLength : static_cast<std::uint8_t>(key.size());
  return Call(operation, dataLength, std::move(key), length, keyNumber);
}

std::vector<std::byte> Le(std::int64_t value, std::size_t size) {
  std::vector<std::byte> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t bits = static_cast<std::uint64_t>(value);
    bytes[i] = static_cast<std::byte>(i < 8 ? (bits >> (8 * i)) & 0xFF : (value < 0 ? 0xFF : 0));
  }
  return bytes;
}

std::int64_t ReadLe(const std::vector<std::byte>& bytes, std::size_t offset, std::size_t size,
                    bool isSigned) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    value |= std::uint64_t{std::to_integer<std::uint8_t>(bytes.at(offset + i))} << (8 * i);
  }
  if (isSigned && size < 8 && (value >> (8 * size - 1)) != 0) value |= ~0ULL << (8 * size);
  return static_cast<std::int64_t>(value);
}

std::vector<std::byte> Text(const std::string& text, std::size_t size) {
  std::vector<std::byte> bytes(size, std::byte{0});
  for (std::size_t i = 0; i < text.size() && i < size; ++i)
    bytes[i] = static_cast<std::byte>(text[i]);
  return bytes;
}

void ExpectWalkAsGetNext(const std::string& path, std::int8_t keyNumber) {
  const std::vector<std::byte> key(255);
  struct Step {
    std::uint16_t status;
    std::vector<std::byte> data;
    bool operator==(const Step&) const = default;
  };
  // Record by record, until Get Next answers anything but 0 or 54.
  Handle stepwise;
  ASSERT_EQ(stepwise.Open(path), status::kSuccess) << path;
  // Room for the longest record: the fixed length, and more where records have variable parts.
  const GetResult stat = stepwise.Stat(65535);
  const bool variable = (ReadLe(stat.data, 10, 2, false) & 1) != 0;
  const auto kRoom =
      static_cast<std::uint32_t>(ReadLe(stat.data, 0, 2, false) + (variable ? 65536 : 0));
  const GetResult first = stepwise.Get(kOpGetFirst, key, kRoom, keyNumber);
  std::vector<Step> expected;
  std::uint16_t end = first.status;
  while (end == status::kSuccess || end == status::kVariablePartDamaged) {
    GetResult next = stepwise.Get(kOpGetNext, key, kRoom, keyNumber);
    end = next.status;
    if (end == status::kSuccess || end == status::kVariablePartDamaged)
      expected.push_back({next.status, std::move(next.data)});
  }

  class Collect final : public RecordWalk {
   public:
    explicit Collect(std::size_t stopAfter) : m_stopAfter(stopAfter) {}
    bool Take(std::uint16_t status, std::span<const std::byte> record, bool) override {
      steps.push_back({status, std::vector<std::byte>(record.begin(), record.end())});
      return steps.size() < m_stopAfter;
    }
    std::vector<Step> steps;

   private:
    std::size_t m_stopAfter;
  };
  Handle walked;
  ASSERT_EQ(walked.Open(path), status::kSuccess);
  if (walked.Get(kOpGetFirst, key, kRoom, keyNumber).status != first.status) ADD_FAILURE();
  Collect all(SIZE_MAX);
  const std::uint16_t answer = WalkNext(walked.Block(), all);
  EXPECT_TRUE(all.steps == expected)
      << path << ": " << all.steps.size() << " records walked, " << expected.size() << " stepped";
  // From the first record on, as Get First positions.
  Handle fromFirst;
  ASSERT_EQ(fromFirst.Open(path), status::kSuccess);
  Collect whole(SIZE_MAX);
  const std::uint16_t firstAnswer = WalkFirst(fromFirst.Block(), keyNumber, whole);
  if (first.status != status::kSuccess && first.status != status::kVariablePartDamaged) {
    EXPECT_EQ(answer, status::kInvalidPositioning) << path;
    EXPECT_EQ(firstAnswer, first.status) << path;
    EXPECT_TRUE(whole.steps.empty()) << path;
    return;
  }
  expected.insert(expected.begin(), Step{first.status, first.data});
  EXPECT_TRUE(whole.steps == expected) << path;
  EXPECT_EQ(firstAnswer, end) << path;
  expected.erase(expected.begin());
  EXPECT_EQ(answer, end) << path;
  // A walk ended by Take leaves the position on its last record.
  if (expected.size() < 3) return;
  Handle stopped;
  ASSERT_EQ(stopped.Open(path), status::kSuccess);
  (void)stopped.Get(kOpGetFirst, key, kRoom, keyNumber);
  Collect two(2);
  EXPECT_EQ(WalkNext(stopped.Block(), two), status::kSuccess) << path;
  const GetResult after = stopped.Get(kOpGetNext, key, kRoom, keyNumber);
  EXPECT_EQ(after.status, expected[2].status) << path;
  EXPECT_TRUE(after.data == expected[2].data) << path;
}

}  // namespace btrieve::test
