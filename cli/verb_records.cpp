// kl7 records FILE: placeholder until the walk in key-0 order is available.
#include "cli/verbs.h"

namespace cli {

void RunRecords(VerbContext& context) {
  context.Report(context.options().operands[0], "records: not available yet");
}

}  // namespace cli
