#include "compiler/writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/zpx_format.h"
#include "compiler/messages.h"

namespace compiler {

namespace {


std::size_t capacity_of(const Context& ctx) {
  // The image buffer holds the keyboard's 8192 bytes; a larger MEMORY value cannot be met.
  return ctx.capacity < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(ctx.capacity), zpx::kMemorySize);
}

void fail(Context& ctx, Msg message) {
  ctx.print(std::string(text(message)));
  ++ctx.error_count;
}

// True when a key's single definition can stand in its table entry as one scancode.
bool direct_entry(const std::vector<Record>& list) {
  if (list.size() != 1) return false;
  const Record& r = list.front();
  if (r.mode != 0x1B || r.mask != 0x00) return false;
  return r.codes.size() < 3 || (r.codes.size() == 4 && r.codes[0] == 0xE0);
}

}  // namespace

bool build_image(Context& ctx, std::size_t& length) {
  auto& img = ctx.image;
  const std::size_t cap = capacity_of(ctx);
  std::size_t pos = ctx.extended_layout ? zpx::kExtHeaderSize : zpx::kHeaderSize;
  zpx::put_be16(&img[pos], zpx::kEndLink);
  std::size_t link = zpx::kOffFirstBlock;
  pos += 2;

  for (int id = 1; id <= 10; ++id) {
    const Block& b = ctx.blocks[static_cast<std::size_t>(id)];
    if (!b.present) continue;
    std::size_t size;
    if (id == zpx::kBlockCharTable) {
      if (ctx.custom_count < 255) {
        fail(ctx, Msg::TooFewKeytable);
        return false;
      }
      if (pos + 516 > cap) {
        fail(ctx, Msg::FileTooLong);
        return false;
      }
      size = 3 + 512;
    } else {
      if (b.data.empty() || b.data.size() > 256 || pos + b.data.size() + 9 > cap) {
        fail(ctx, Msg::FileTooLong);
        return false;
      }
      size = 4 + b.data.size();
    }
    zpx::put_be16(&img[link], static_cast<std::uint16_t>(pos));
    link = pos;
    zpx::put_be16(&img[pos], zpx::kEndLink);
    img[pos + 2] = static_cast<std::uint8_t>(id);
    if (id == zpx::kBlockCharTable) {
      for (std::size_t k = 0; k < 256; ++k) zpx::put_be16(&img[pos + 3 + 2 * k], ctx.custom_table[k]);
    } else {
      img[pos + 3] = static_cast<std::uint8_t>(b.data.size() - 1);
      std::copy(b.data.begin(), b.data.end(), img.begin() + static_cast<std::ptrdiff_t>(pos + 4));
    }
    pos += size;
  }

  const int last_key = ctx.extended_layout ? zpx::kLastExtKey : zpx::kFirstExtKey - 1;
  for (int k = 0; k <= last_key; ++k) {
    const auto& list = ctx.keys[static_cast<std::size_t>(k)];
    if (list.empty()) continue;
    const std::size_t entry = zpx::key_entry_offset(k);
    if (direct_entry(list)) {
      const auto& c = list.front().codes;
      img[entry] = 0x00;
      img[entry + 1] = c.empty() ? 0x00 : c[0] == 0xE0 && c.size() > 1 ? static_cast<std::uint8_t>(c[1] + 0x80) : c[0];
      continue;
    }
    zpx::put_be16(&img[entry], static_cast<std::uint16_t>(pos));
    for (std::size_t r = 0; r < list.size(); ++r) {
      const Record& rec = list[r];
      if (pos + rec.codes.size() + 11 > cap) {
        fail(ctx, Msg::FileTooLong);
        return false;
      }
      const std::size_t next = pos + rec.codes.size() + 6;
      zpx::put_be16(&img[pos], r + 1 < list.size() ? static_cast<std::uint16_t>(next) : 0);
      img[pos + 2] = rec.value;
      img[pos + 3] = rec.mask;
      img[pos + 4] = rec.mode;
      std::copy(rec.codes.begin(), rec.codes.end(), img.begin() + static_cast<std::ptrdiff_t>(pos + 5));
      img[pos + 5 + rec.codes.size()] = 0x00;
      pos = next;
    }
  }
  zpx::put_be16(&img[zpx::kOffLength], static_cast<std::uint16_t>(pos));
  length = pos;
  return true;
}

bool write_zpx(Context& ctx, const std::string& target) {
  std::size_t length = 0;
  if (!build_image(ctx, length)) return false;
  auto cant_open = [&] {
    ctx.print(fill(text(Msg::CantOpenFile), target));
    ++ctx.error_count;
    return false;
  };

  // A link is followed, so that the file it names is replaced and the link stays.
  std::string path = target;
  struct stat st;
  if (lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(target.c_str(), nullptr)) {
      path = real;
      std::free(real);
    }
  }
  // An existing keytable that may not be written is not replaced either; a replacement keeps
  // the old file's permissions.
  const bool exists = stat(path.c_str(), &st) == 0;
  if (exists && (S_ISDIR(st.st_mode) || access(path.c_str(), W_OK) != 0)) return cant_open();

  // The image goes to a new file beside the target first, created with the permissions any new
  // file gets, and replaces the target only once it is complete.
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = dir + ".zpxc-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return cant_open();
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < length) {
    const ssize_t n = ::write(fd, ctx.image.data() + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<std::size_t>(n);
  }
  if (ok && exists) ok = fchmod(fd, st.st_mode & 07777) == 0;
  if (ok) ok = fsync(fd) == 0 || errno == EINVAL;
  if (::close(fd) != 0) ok = false;
  if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(tmp.c_str());
    return cant_open();
  }
  return true;
}

}  // namespace compiler
