#include "platform/spool_names.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace tovrin::spool {
namespace {

constexpr size_t kUnknownNameLimit = 255;
constexpr int kRandomNameTries = 16;
constexpr int kNumberedNameTries = 9;  // "NAME(1).OFI" to "NAME(9).OFI", then random ones

void RandomBytes(uint8_t* into, size_t size) {
  if (::getrandom(into, size, GRND_NONBLOCK) == static_cast<ssize_t>(size)) return;
  // No entropy yet (early boot): the names need only be hard to guess ahead.
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t x = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(::getpid()) << 32) ^
               reinterpret_cast<uintptr_t>(into);
  for (size_t i = 0; i < size; ++i) {
    x = x * 6364136223846793005u + 1442695040888963407u;
    into[i] = static_cast<uint8_t>(x >> 56);
  }
}

}  // namespace

std::string RandomName(const char* prefix, const char* suffix) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  uint8_t bytes[6];
  RandomBytes(bytes, sizeof bytes);
  std::string name = prefix;
  for (uint8_t b : bytes) name += kLetters[b % (sizeof kLetters - 1)];
  return name + suffix;
}

int MoveByLink(int dir_fd, const std::string& from, const std::string& to) {
  if (::linkat(dir_fd, from.c_str(), dir_fd, to.c_str(), 0) != 0) return errno;
  // Should the old name stay, the file merely has two: nothing unchecked is
  // removed to undo the link.
  ::unlinkat(dir_fd, from.c_str(), 0);
  return 0;
}

int MoveNoReplace(int dir_fd, const std::string& from, const std::string& to) {
  if (::renameat2(dir_fd, from.c_str(), dir_fd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int rename_error = errno;
  if (rename_error != EINVAL && rename_error != ENOSYS) return rename_error;
  return MoveByLink(dir_fd, from, to);
}

std::string NumberedName(const std::string& name, const std::string& tag, size_t limit) {
  const size_t dot = name.rfind('.');
  const bool has_ext = dot != std::string::npos && dot > 0;
  std::string stem = has_ext ? name.substr(0, dot) : name;
  const std::string ext = has_ext ? name.substr(dot) : "";
  const std::string number = "(" + tag + ")";
  const size_t room = number.size() + ext.size() < limit ? limit - number.size() - ext.size() : 1;
  if (stem.size() > room) {
    stem.resize(room);
    // Not half a UTF-8 character at the cut.
    while (stem.size() > 1 && (static_cast<uint8_t>(stem.back()) & 0xC0) == 0x80) stem.pop_back();
    if (stem.size() > 1 && static_cast<uint8_t>(stem.back()) >= 0xC0) stem.pop_back();
  }
  return stem + number + ext;
}

size_t NameLimitOf(int dir_fd) {
  const long limit = ::fpathconf(dir_fd, _PC_NAME_MAX);
  return limit > 0 ? static_cast<size_t>(limit) : kUnknownNameLimit;
}

namespace {

void LeftAside(int error, const std::string& aside, const std::string& name, RemoveResult& result) {
  result.outcome = RemoveOutcome::Failed;
  result.kept_as = aside;
  result.error =
      name + " could not be put back (" + std::strerror(error) + "): it lies as " + aside;
}

// The name is taken again: the file gets a visible name of its own that is
// still a drawing's ("A(1).OFI"), so that it is neither lost nor hidden.
void Strand(int dir_fd, const std::string& aside, const std::string& name, RemoveResult& result) {
  const size_t limit = NameLimitOf(dir_fd);
  int error = EEXIST;
  for (int n = 1; n <= kNumberedNameTries + kRandomNameTries && error == EEXIST; ++n) {
    const std::string tag = n <= kNumberedNameTries ? std::to_string(n) : RandomName("", "");
    result.kept_as = NumberedName(name, tag, limit);
    error = MoveNoReplace(dir_fd, aside, result.kept_as);
  }
  if (error != 0) return LeftAside(error, aside, name, result);
  result.outcome = RemoveOutcome::Stranded;
  result.error =
      name + " was taken again meanwhile: the file that lay there is now " + result.kept_as;
}

}  // namespace

void PutBack(int dir_fd, const std::string& aside, const std::string& name, RemoveResult& result) {
  const int error = MoveNoReplace(dir_fd, aside, name);
  if (error == EEXIST) return Strand(dir_fd, aside, name, result);
  if (error != 0) return LeftAside(error, aside, name, result);
  result.outcome = RemoveOutcome::Changed;
}

}  // namespace tovrin::spool
