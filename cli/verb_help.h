// The help of each verb: `kl7 help VERB` and `kl7 VERB --help`.
#pragma once

#include <string_view>

namespace cli {

// The usage, options and exit statuses of `verb`; empty for no verb or one without its own help.
[[nodiscard]] std::string_view VerbHelp(std::string_view verb);

}  // namespace cli
