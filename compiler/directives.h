// The header directives of a source: each fills header bytes, parameter blocks or settings.
#pragma once

#include <string_view>
#include <vector>

namespace compiler {

struct Context;

// The keyboard models: row index = model index.
const std::vector<std::string_view>& model_table();

// Classifies and processes one normalised line (keyword and argument text).
void process_line(Context& ctx, std::string_view keyword, std::string_view argument);

}  // namespace compiler
