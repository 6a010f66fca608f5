// The verbs of kl7, one source file each, and what they share while they run.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "btrieve/reason.h"
#include "cli/options.h"

namespace cli {

class VerbContext {
 public:
  VerbContext(const Options& options, std::ostream& out, std::ostream& err)
      : m_options(options), m_out(out), m_err(err) {}

  [[nodiscard]] const Options& CommandLine() const { return m_options; }
  [[nodiscard]] std::ostream& Out() { return m_out; }

  // "kl7: PATH: MESSAGE (status N)" on the error stream, MESSAGE with the record manager's reason
  // when there is one (StatusMessage); the run then ends with exit status 1.
  void ReportStatus(std::string_view path, std::uint16_t status,
                    const std::optional<btrieve::Reason>& reason = std::nullopt);
  // "kl7: PATH: MESSAGE"; the run then ends with exit status 1.
  void Report(std::string_view path, std::string_view message);
  // "kl7: PATH: MESSAGE" as a remark that does not change the exit status.
  void Note(std::string_view path, std::string_view message);
  // A problem that the verb shows in its own output (check); the run ends with exit status 1.
  void MarkTrouble() { m_trouble = true; }

  [[nodiscard]] bool Trouble() const { return m_trouble; }

  // An exit status that the verb chooses itself (diff: 2 for a directory it cannot compare).
  void SetExitStatus(int status) { m_exitStatus = status; }
  [[nodiscard]] std::optional<int> ExitStatus() const { return m_exitStatus; }

 private:
  const Options& m_options;
  std::ostream& m_out;
  std::ostream& m_err;
  bool m_trouble = false;
  std::optional<int> m_exitStatus;
};

// Each verb prints its rows and reports through the context; the exit status follows from it.
void RunInfo(VerbContext& context);
void RunList(VerbContext& context);
void RunDump(VerbContext& context);
void RunExport(VerbContext& context);
void RunFind(VerbContext& context);
void RunCheck(VerbContext& context);
void RunRecords(VerbContext& context);
void RunRefs(VerbContext& context);
void RunDiff(VerbContext& context);
void RunVerify(VerbContext& context);

// export's rows (library, name, entry, text, and --detail's) for the libraries that the operands
// `libraries` name (every library when there is none) of the first operand's target.
void WriteLibraryRows(VerbContext& context, const std::string& verb,
                      std::span<const std::string> libraries);

// A usage error found by a verb once it looked at its operands (a library number out of range, a
// file that is no library file): ends the run with exit status 2.
struct UsageError {
  std::string message;
};

}  // namespace cli
