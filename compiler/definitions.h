// Key definitions: the condition prefix, the code-string reader, key lines and their lists,
// layers, the custom character table and the built-in definition sets.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "compiler/prefix.h"
#include "compiler/values.h"

namespace compiler {

struct Context;

// Key number of a key-line keyword under the current model, or -1.
int key_number(Context& ctx, std::string_view keyword);

// Inserts a record into a key's list; true when it replaced one.
bool insert_record(std::vector<struct Record>& list, const struct Record& r);

void key_line(Context& ctx, std::string_view keyword, std::string_view argument);
void do_def(Context& ctx, Args a);
void do_hotkey(Context& ctx, std::string_view keyword, Args a);
void do_conv(Context& ctx, Args a);
void do_keylayer(Context& ctx, Args a);
void do_keytable(Context& ctx, Args a);
void do_deadkey(Context& ctx, Args a);

// The built-in definition rows of a set (1 or 2).
struct Builtin {
  std::string name;
  std::string condition;
  std::string text;
};
const std::vector<Builtin>& builtin_set(int set);

}  // namespace compiler
