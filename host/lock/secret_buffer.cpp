#include "host/lock/secret_buffer.h"

#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kivo {

SecretBuffer::SecretBuffer(std::size_t capacity)
    : data_(static_cast<char*>(std::calloc(capacity, 1))), capacity_(capacity) {
  if (data_ == nullptr) {
    capacity_ = 0;
    return;
  }
  locked_ = mlock(data_, capacity_) == 0;
  if (!locked_) SayMemoryUnlocked();
}

SecretBuffer::~SecretBuffer() {
  if (data_ == nullptr) return;
  explicit_bzero(data_, capacity_);
  if (locked_) munlock(data_, capacity_);
  std::free(data_);
}

bool SecretBuffer::Append(const char* bytes, std::size_t length) {
  if (length == 0 || capacity_ == 0 || length > capacity_ - 1 - length_) return false;
  std::memcpy(data_ + length_, bytes, length);
  length_ += length;
  data_[length_] = '\0';
  return true;
}

void SecretBuffer::DropLast() {
  // Back over continuation bytes (10xxxxxx) to the character's first byte.
  while (length_ > 0) {
    const auto byte = static_cast<unsigned char>(data_[--length_]);
    data_[length_] = '\0';
    if ((byte & 0xC0) != 0x80) break;
  }
}

void SecretBuffer::Wipe() {
  if (data_ != nullptr) explicit_bzero(data_, capacity_);
  length_ = 0;
}

std::size_t SecretBuffer::Characters() const {
  std::size_t count = 0;
  for (std::size_t i = 0; i < length_; ++i) count += (static_cast<unsigned char>(data_[i]) & 0xC0) != 0x80;
  return count;
}

void SayMemoryUnlocked() {
  static bool said = false;
  if (said) return;
  said = true;
  std::fputs("kivo: locked memory is limited here (RLIMIT_MEMLOCK): the password or PAM's copies of it may reach swap\n",
             stderr);
}

void ForbidCoreDumps() {
  const rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace kivo
