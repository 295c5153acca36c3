// Writing the ZPX keytable.
#pragma once

#include <string>

#include "compiler/context.h"

namespace compiler {

// Lays out the parameter blocks and key lists in the image and sets the total length. False
// (after the message in the listing) when the image would pass the capacity or the custom
// character table is incomplete.
bool build_image(Context& ctx, std::size_t& length);

// Builds the image and writes it to the target. A failed write never leaves a partial file in
// place of the target: the image goes to a temporary file beside it, which is then renamed.
bool write_zpx(Context& ctx, const std::string& target);

}  // namespace compiler
