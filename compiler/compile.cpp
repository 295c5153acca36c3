#include "compiler/compile.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "compiler/context.h"
#include "compiler/directives.h"
#include "compiler/line_reader.h"
#include "compiler/messages.h"
#include "compiler/writer.h"

namespace compiler {

namespace {

struct PathParts {
  std::string dir;   // with its trailing "/"
  std::string name;  // file name without extension
  std::string ext;   // from the last "." of the file name, with the dot
};

PathParts split(const std::string& path) {
  PathParts p;
  std::size_t slash = path.rfind('/');
  std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  p.dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::size_t dot = file.rfind('.');
  if (dot == std::string::npos) {
    p.name = file;
  } else {
    p.name = file.substr(0, dot);
    p.ext = file.substr(dot);
  }
  return p;
}

bool is_directory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool run_compile(Context& ctx, const std::string& source, Progress progress) {
  auto not_found = [&] {
    ctx.print(fill(text(Msg::SourceNotFound), source));
    ++ctx.error_count;
    return false;
  };
  File in(std::fopen(source.c_str(), "rb"));
  if (!in || is_directory(source)) return not_found();
  Line line;
  int count = 0;
  while (read_line(in.get(), line)) ++count;
  in.reset();
  if (count == 0) {
    ctx.print(std::string(text(Msg::NothingToDo)));
    return false;
  }
  ctx.total_lines = count;
  in.reset(std::fopen(source.c_str(), "rb"));
  if (!in) return not_found();
  ctx.line_counter = 0;
  bool got;
  do {
    if (progress && ctx.line_counter % 16 == 1)
      progress(static_cast<std::int32_t>(static_cast<long long>(ctx.line_counter) * 100 / ctx.total_lines));
    got = read_line(in.get(), line);
    ++ctx.line_counter;
    ctx.raw_line = line.raw;
    if (got) process_line(ctx, line.keyword, line.argument);
  } while (got);
  if (ctx.opos) {
    ctx.image[zpx::kOffInterface] &= 0x0F;
    ctx.language = 0;
  }
  in.reset();
  if (ctx.error_count > 0) {
    ctx.print(fill(text(Msg::ErrorCount), ctx.error_count));
    return false;
  }
  return true;
}

}  // namespace

std::string listing_path(const char* listing) {
  if (!listing) return "zpxc.out";
  std::string path = listing;
  if (!path.empty() && path.back() != '/' && is_directory(path)) path += '/';
  PathParts p = split(path);
  if (p.name.empty() && p.ext.empty()) p.name = "zpxc";
  if (p.ext.empty()) p.ext = ".out";
  return p.dir + p.name + p.ext;
}

bool source_path(const char* source, std::string& path) {
  if (!source) return false;
  PathParts p = split(source);
  if (p.name.empty() && p.ext.empty()) return false;
  if (p.ext.empty()) p.ext = ".zpf";
  path = p.dir + p.name + p.ext;
  return true;
}

std::string target_path(const char* target, const std::string& source) {
  if (target) {
    PathParts p = split(target);
    if (!p.name.empty() || !p.ext.empty()) {
      if (p.ext.empty()) p.ext = ".zpx";
      return p.dir + p.name + p.ext;
    }
  }
  std::size_t dot = source.rfind('.');
  return (dot == std::string::npos ? source : source.substr(0, dot)) + ".zpx";
}

std::int32_t compile_entry(const char* source, const char* target, const char* listing, Progress progress) {
  const std::string list_name = listing_path(listing);
  File list(is_directory(list_name) ? nullptr : std::fopen(list_name.c_str(), "wb"));
  if (!list) return -3;
  std::string src;
  if (!source_path(source, src)) {
    const std::string_view message = text(Msg::FilenameExpected);
    std::fwrite(message.data(), 1, message.size(), list.get());
    return -2;
  }
  auto ctx = std::make_unique<Context>();
  ctx->listing = list.get();
  if (!run_compile(*ctx, src, progress)) return -1;
  if (!write_zpx(*ctx, target_path(target, src))) return -1;
  if (progress) progress(100);
  const std::string_view ok = text(Msg::ListingOk);
  std::fwrite(ok.data(), 1, ok.size(), list.get());
  return 0;
}

}  // namespace compiler
