// The compile entry: file names, the two passes over the source, the listing.
#pragma once

#include <cstdint>
#include <string>

namespace compiler {

using Progress = void (*)(std::int32_t);

std::int32_t compile_entry(const char* source, const char* target, const char* listing, Progress progress);

// File-name derivation (exposed for tests).
std::string listing_path(const char* listing);
bool source_path(const char* source, std::string& path);
std::string target_path(const char* target, const std::string& source);

}  // namespace compiler
