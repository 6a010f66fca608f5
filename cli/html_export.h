// kl7 export --format html: every library of a target in one self-contained HTML5 page.
#pragma once

#include "cli/verbs.h"

namespace cli {

// Writes the page for `context`'s export: the catalogue and one library at a time, references
// as links to their targets, each entry's users as links back, and a search that folds as
// kl7 find does. Needs nothing but the page itself (no network, no other file).
void RunHtmlExport(VerbContext& context);

}  // namespace cli
