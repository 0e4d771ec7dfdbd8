// A password in memory: a fixed block, locked in RAM where the system
// allows (never swapped out), wiped whenever it is emptied and when it goes.
#pragma once

#include <cstddef>

namespace kivo {

class SecretBuffer {
 public:
  explicit SecretBuffer(std::size_t capacity);
  ~SecretBuffer();
  SecretBuffer(const SecretBuffer&) = delete;
  SecretBuffer& operator=(const SecretBuffer&) = delete;

  // Appends bytes (one UTF-8 character, say); false, with nothing added,
  // when they do not fit. The secret stays NUL-terminated.
  bool Append(const char* bytes, std::size_t length);
  // Drops the last UTF-8 character.
  void DropLast();
  // Wipes every byte.
  void Wipe();

  char* Data() { return data_; }
  const char* Data() const { return data_; }
  std::size_t Length() const { return length_; }
  // Characters, not bytes: what the lock screen shows one mark for each.
  std::size_t Characters() const;
  bool Locked() const { return locked_; }  // kept out of swap

 private:
  char* data_;
  std::size_t capacity_;  // including the terminating NUL
  std::size_t length_ = 0;
  bool locked_ = false;
};

// Says once on stderr, in one line, that a password's memory could not be
// locked (a memory-lock limit of zero, say), however often it happens.
void SayMemoryUnlocked();

// No core file of this process will hold a secret: dumps are switched off
// and the process is marked as not dumpable.
void ForbidCoreDumps();

}  // namespace kivo
