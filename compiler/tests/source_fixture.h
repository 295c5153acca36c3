// Test fixture: source lines run through one compile context whose listing stays in memory.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "compiler/context.h"
#include "compiler/directives.h"
#include "compiler/line_reader.h"

namespace compiler_test {

struct Source {
  compiler::Context ctx;
  char* buf = nullptr;
  size_t size = 0;
  Source() { ctx.listing = open_memstream(&buf, &size); }
  ~Source() {
    std::fclose(ctx.listing);
    std::free(buf);
  }
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;
  // Reads one source line as the second pass does.
  Source& operator<<(const char* text) {
    compiler::Line line;
    compiler::normalise(std::string(text) + "\n", line);
    ++ctx.line_counter;
    ctx.raw_line = line.raw;
    compiler::process_line(ctx, line.keyword, line.argument);
    return *this;
  }
  std::string listing() {
    std::fflush(ctx.listing);
    return std::string(buf, size);
  }
  int byte(std::size_t at) const { return ctx.image[at]; }
  std::vector<std::uint8_t> block(int id) const { return ctx.blocks[static_cast<std::size_t>(id)].data; }
  const std::vector<compiler::Record>& key(int k) const { return ctx.keys[static_cast<std::size_t>(k)]; }
};

}  // namespace compiler_test
