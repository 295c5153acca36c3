// Parts of the language manual that come from the compiler's own tables.
#pragma once

#include <string>
#include <string_view>

namespace compiler {

// The markdown of a generated section: "messages", "models", "keynames", "builtins".
std::string generated_section(std::string_view name);

// Replaces every generated section of a manual text (between "<!-- generated:NAME -->" and
// "<!-- end:NAME -->") with its current content.
std::string update_manual(const std::string& text);

}  // namespace compiler
