// Writes the fuzz targets' seed corpora, one folder per target: small record files of both formats
// with the structures the reader checks (several keys and types, duplicate chains, stale copies,
// shadow pages, free and deleted slots, variable-length records, collating sequences), library
// files of both layouts, utils directories packed into one input, references and argument lists.
// Usage: fuzz_seed_writer <folder>.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "btrieve/writer/writer.h"
#include "libfile/writer/library_writer.h"

namespace {

using namespace btrieve::writer;
using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

namespace fs = std::filesystem;

constexpr std::string_view kPartSeparator = "#KL7#";  // as in fuzz_support.h

std::vector<std::byte> Record(int id, std::uint16_t length) {
  std::vector<std::byte> record(length, std::byte{0});
  for (int i = 0; i < 4; ++i)
    record[static_cast<std::size_t>(i)] = static_cast<std::byte>((id >> (8 * i)) & 0xFF);
  const std::string text = "Eintrag " + std::to_string(id % 7);
  for (std::size_t i = 0; i < text.size() && 4 + i < length; ++i)
    record[4 + i] = static_cast<std::byte>(text[i]);
  return record;
}

FileSpec Spec(Format format, std::uint16_t pageSize, int records) {
  constexpr std::uint16_t kLength = 24;
  std::vector<std::vector<std::byte>> rows;
  for (int i = 0; i < records; ++i)
    rows.push_back(Record((i * 5) % records + 1, kLength));
  FileSpec spec = LibrarySpec(format, pageSize, kLength, 0, rows);
  spec.keys.push_back(
      {{{4, 12, key_type::kZString, key_flag::kExtendedType | key_flag::kDuplicates, 0}}});
  spec.keys.push_back(
      {{{4, 4, key_type::kString, key_flag::kExtendedType | key_flag::kNullAny, ' '},
        {16, 2, key_type::kUnsignedBinary, key_flag::kExtendedType, 0}}});
  return spec;
}

// Variable-length records spread over several short fragments, and keys ordered through a
// collating sequence, case-insensitively and as LSTRING.
FileSpec VariableSpec(Format format) {
  FileSpec spec = Spec(format, 512, 0);
  spec.fileFlags = file_flag::kVariableLength;
  spec.maxFragmentData = 40;
  CollatingSequence upper;
  upper.name = "UPPER";
  for (unsigned i = 0; i < 256; ++i)
    upper.table[i] = static_cast<std::uint8_t>(i >= 'a' && i <= 'z' ? i - 32 : i);
  spec.collatingSequences.push_back(upper);
  spec.keys.push_back(
      {{{4, 6, key_type::kString,
         key_flag::kExtendedType | key_flag::kAlternateCollation | key_flag::kDuplicates, 0, 0}}});
  spec.keys.push_back(
      {{{10, 6, key_type::kLString,
         key_flag::kExtendedType | key_flag::kCaseInsensitive | key_flag::kDuplicates, 0}}});
  for (int i = 0; i < 12; ++i) {
    std::vector<std::byte> record = Record(i + 1, 24);
    record[10] = static_cast<std::byte>(i % 6);
    for (int j = 0; j < (i * 29) % 150; ++j)
      record.push_back(static_cast<std::byte>(j));
    spec.records.push_back(std::move(record));
  }
  return spec;
}

void WriteText(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string AsText(const std::vector<std::byte>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void WriteRecordFiles(const fs::path& folder) {
  int n = 0;
  const auto write = [&](const FileSpec& spec) {
    WriteFile(folder / ("seed-" + std::to_string(n++) + ".dat"), Build(spec).bytes);
  };
  for (const Format format : {Format::kPre6, Format::kV6}) {
    write(Spec(format, 512, 0));
    write(Spec(format, 512, 3));
    FileSpec many = Spec(format, 512, 60);
    write(many);
    if (format == Format::kV6) {
      many.staleFcr = StaleCopy::kFirst;
      many.stalePat = StaleCopy::kFirst;
      many.shadowPages = 1;
      many.freeSlotEvery = 4;
    } else {
      many.deletedEvery = 4;
    }
    write(many);
    write(VariableSpec(format));
  }
}

LibraryContents Library(RecordLayout layout, Format format, std::uint16_t length,
                        std::vector<std::string> texts) {
  LibraryContents contents;
  contents.layout = layout;
  contents.format = format;
  contents.recordLength = length;
  contents.entryLength = length;
  contents.texts = std::move(texts);
  return contents;
}

// Library files of both layouts and formats: short and long records, entries split over two and
// three records, references, an empty text and one that fills its data part.
std::vector<std::string> LibraryFiles() {
  std::vector<std::string> files;
  const std::vector<std::string> texts = {"Farben", "LIB[2,1]", "", std::string(60, 'x'),
                                          "Gr\xFC\xDF"
                                          "e \x96 5 \x80"};
  std::vector<std::string> many;
  for (int i = 0; i < 150; ++i)
    many.push_back(i % 3 == 0 ? "LIB[1," + std::to_string(i) + "]" : "Zeile " + std::to_string(i));
  for (const Format format : {Format::kPre6, Format::kV6}) {
    files.push_back(AsText(BuildLibraryFile(Library(RecordLayout::kCurrent, format, 80, texts))));
    files.push_back(AsText(BuildLibraryFile(Library(RecordLayout::kCurrent, format, 40, texts))));
    files.push_back(AsText(BuildLibraryFile(Library(RecordLayout::kCurrent, format, 48, many))));
    files.push_back(
        AsText(BuildLibraryFile(Library(RecordLayout::kSixteenBit, format, 40, texts))));
    files.push_back(
        AsText(BuildLibraryFile(Library(RecordLayout::kSixteenBit, format, 3000, texts))));
    files.push_back(
        AsText(BuildLibraryFile(Library(RecordLayout::kSixteenBit, format, 5000, {"a", "b"}))));
  }
  return files;
}

// One input standing for a utils directory: the control part (library chosen, flags, a text for
// the resolver), then each file as its number, a flags byte and its bytes.
struct PackedFile {
  std::uint8_t number;
  bool lowerCase;
  std::string bytes;
};
std::string Pack(std::uint8_t chosen, std::uint8_t flags, std::string_view text,
                 const std::vector<PackedFile>& files) {
  std::string input;
  input += static_cast<char>(chosen);
  input += static_cast<char>(flags);
  input += text;
  for (const PackedFile& file : files) {
    input += kPartSeparator;
    input += static_cast<char>(file.number);
    input += static_cast<char>(file.lowerCase ? 1 : 0);
    input += file.bytes;
  }
  return input;
}

void WriteUtilsDirectories(const fs::path& folder) {
  const auto build = [](RecordLayout layout, Format format, std::uint16_t length,
                        std::vector<std::string> texts) {
    return AsText(BuildLibraryFile(Library(layout, format, length, std::move(texts))));
  };
  const RecordLayout current = RecordLayout::kCurrent;
  const RecordLayout sixteen = RecordLayout::kSixteenBit;
  std::vector<std::string> manyReferences(300, "LIB[2,1]");
  manyReferences.push_back("LIB[3,1]");
  manyReferences.push_back("LIB[1,1]");
  const std::vector<std::string> inputs = {
      // A catalogue, a library of references (into another, a missing one, itself, beyond the
      // last entry) and a target in the older layout that refers back.
      Pack(1, 3, "LIB[2,2]",
           {{0, false, build(current, Format::kV6, 80, {"Farben", "Werkstoffe", "Fehlt"})},
            {1, false,
             build(current, Format::kV6, 80,
                   {"Rot", "LIB[2,1]", "LIB[2,9]", "LIB[3,1]", "LIB[1,1]", "LIB[0,0]"})},
            {2, false, build(sixteen, Format::kV6, 40, {"Stahl verzinkt", "LIB[1,2]"})}}),
      // Split entries, a lower-case file name, numbers that wrap and reach beyond the tables.
      Pack(0x1A, 1, "LIB[-230,1]",
           {{0, false, build(sixteen, Format::kPre6, 3000, {"Eins", "LIB[26,2]"})},
            {0x1A, true,
             build(current, Format::kPre6, 60,
                   {"LIB[-230,1]", "LIB[256,1]", "LIB[$1A,1]", "LIB[0,2]", ""})}}),
      // Many references into one library.
      Pack(1, 0, "",
           {{0, false, build(current, Format::kV6, 48, {"Viele"})},
            {1, false, build(current, Format::kV6, 48, manyReferences)},
            {2, false, build(sixteen, Format::kV6, 5000, {"lang", "LIB[1,1]"})},
            {3, false, build(current, Format::kPre6, 17, {"kurz"})}}),
      // Amplification: a catalogue of short records that all refer to one long entry.
      Pack(0, 0, "",
           {{0, false, build(sixteen, Format::kV6, 12, std::vector<std::string>(4000, "LIB[1,1]"))},
            {1, false, build(current, Format::kV6, 4000, {std::string(3980, 'x')})}}),
  };
  int n = 0;
  for (const std::string& input : inputs)
    WriteText(folder / ("seed-" + std::to_string(n++)), input);
}

void WriteTexts(const fs::path& folder, const std::vector<std::string>& texts) {
  int n = 0;
  for (const std::string& text : texts)
    WriteText(folder / ("seed-" + std::to_string(n++)), text);
}

// An argument list for start-up: the flags byte, the lookup's directories (one per line) and the
// arguments.
std::string Arguments(char flags, const std::vector<std::string>& parts,
                      std::string_view directories = {}) {
  std::string input(1, flags);
  input += directories;
  for (const std::string& part : parts) {
    input += kPartSeparator;
    input += part;
  }
  return input;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seed_writer <folder>\n");
    return 2;
  }
  try {
    const fs::path folder = argv[1];
    for (const char* target :
         {"record_manager", "library_file", "loader", "reference", "startup", "cli"})
      fs::create_directories(folder / target);
    WriteRecordFiles(folder / "record_manager");
    int n = 0;
    for (const std::string& file : LibraryFiles()) {
      WriteText(folder / "library_file" / ("seed-" + std::to_string(n) + ".dat"), file);
      WriteText(folder / "record_manager" / ("library-" + std::to_string(n++) + ".dat"), file);
    }
    WriteUtilsDirectories(folder / "loader");
    WriteUtilsDirectories(folder / "cli");
    WriteTexts(folder / "reference",
               {"LIB[3,7]", "LIB[$1A,x10]", "LIB[-1,2]", "LIB3,4]", "LIB[,]", "LIB[3,]",
                "LIB[2147483648,1]", "LIB[ 0x7fffffff,-2147483648]", "LIB[3,7] Rest", "LIB[3]"});
    WriteTexts(
        folder / "startup",
        {Arguments(0, {"LIB[3,12]", "@/host/data/deep/er/order.txt"}),
         Arguments(0, {"@/host/data/KL701.DAT"}), Arguments(0, {"kl71a.dat", "extra"}),
         Arguments(0, {"lib[1a", "@/h3/a/x.txt"}), Arguments(0, {"LIB", "@/h3/b/c/d.txt"}),
         Arguments(0, {"a", "b", "c"}), Arguments(0, {"LIB[3,12]", "@/f/g/x"}),
         Arguments(1, {"LIB[1A,2]", "C:\\HOST\\DATA\\X.TXT"}),
         Arguments(3, {"lib[3]", "c:\\host\\data\\x.txt"}, "C:\\HOST\\UTILS\nC:\\HOST\\DATA"),
         Arguments(2, {"LIB[3,12]", "/srv/host/data/order.txt"},
                   "/srv/host/Utils\n/srv/host/utils"),
         Arguments(5, {"prog.exe \"LIB[3,12]\" \"c:\\a b\\x.txt\" \"\""})});
  } catch (const std::exception& error) {
    std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.what());
    return 1;
  }
  return 0;
}
