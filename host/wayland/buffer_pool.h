// The buffers of one surface and what each is doing. A buffer is free (ours
// to draw into), held (the compositor reads it until it releases it) or
// retired (held, but of a size no longer drawn: it goes when released).
// Never more than kMost of the current size: two so that one is drawn
// while the compositor reads the other, a third when both are held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kivo {

template <typename Buffer>
class BufferPool {
 public:
  enum class State { kFree, kHeld, kRetired };
  static constexpr std::size_t kMost = 3;
  // Makes a buffer of width x height pixels; null when the system has no
  // memory for it.
  using Maker = std::function<std::unique_ptr<Buffer>(int width, int height)>;

  explicit BufferPool(Maker make) : make_(std::move(make)) {}

  // Buffers for frames of a new size: held ones are retired, free ones go
  // at once, and one buffer is made. False when it cannot be: the pool is
  // then empty until the next Resize.
  bool Resize(int width, int height) {
    std::vector<Slot> kept;
    for (Slot& s : slots_) {
      if (s.state != State::kFree) {
        s.state = State::kRetired;
        kept.push_back(std::move(s));
      }
    }
    slots_ = std::move(kept);
    width_ = width;
    height_ = height;
    usable_ = false;
    std::unique_ptr<Buffer> first = width > 0 && height > 0 ? make_(width, height) : nullptr;
    if (first == nullptr) return false;
    slots_.push_back(Slot{std::move(first), State::kFree, 0});
    usable_ = true;
    return true;
  }

  // A buffer of the current size to draw into: a free one, or a new one
  // while fewer than kMost exist. Null when every one is held and no more
  // may (or can) be made.
  Buffer* Acquire() {
    if (!usable_) return nullptr;
    std::size_t current = 0;
    for (Slot& s : slots_) {
      if (s.state == State::kFree) return s.buffer.get();
      current += s.state == State::kHeld ? 1 : 0;
    }
    if (current >= kMost) return nullptr;
    std::unique_ptr<Buffer> more = make_(width_, height_);
    if (more == nullptr) return nullptr;
    slots_.push_back(Slot{std::move(more), State::kFree, 0});
    return slots_.back().buffer.get();
  }

  // The frame a buffer shows (0: none yet), so that it is brought up to date
  // with what it missed.
  std::uint64_t FrameOf(const Buffer* buffer) const {
    const Slot* s = Find(buffer);
    return s != nullptr ? s->frame : 0;
  }

  // Committed with `frame` in it: the compositor holds it now.
  void Hold(const Buffer* buffer, std::uint64_t frame) {
    if (Slot* s = Find(buffer)) {
      s->state = s->state == State::kRetired ? State::kRetired : State::kHeld;
      s->frame = frame;
    }
  }

  // The compositor gave it back: free again, or gone if retired.
  void Release(const Buffer* buffer) {
    for (auto it = slots_.begin(); it != slots_.end(); ++it) {
      if (it->buffer.get() != buffer) continue;
      if (it->state == State::kRetired) {
        slots_.erase(it);
      } else {
        it->state = State::kFree;
      }
      return;
    }
  }

  // A buffer that is not the current size's, held until released (a black
  // pixel shown when no frame buffer could be made, say).
  Buffer* AddRetired(std::unique_ptr<Buffer> buffer) {
    slots_.push_back(Slot{std::move(buffer), State::kRetired, 0});
    return slots_.back().buffer.get();
  }

  bool Usable() const { return usable_; }
  std::size_t Count(State state) const {
    std::size_t n = 0;
    for (const Slot& s : slots_) n += s.state == state ? 1 : 0;
    return n;
  }

 private:
  struct Slot {
    std::unique_ptr<Buffer> buffer;
    State state;
    std::uint64_t frame;
  };
  Slot* Find(const Buffer* buffer) {
    for (Slot& s : slots_) {
      if (s.buffer.get() == buffer) return &s;
    }
    return nullptr;
  }
  const Slot* Find(const Buffer* buffer) const {
    for (const Slot& s : slots_) {
      if (s.buffer.get() == buffer) return &s;
    }
    return nullptr;
  }

  Maker make_;
  std::vector<Slot> slots_;
  int width_ = 0;
  int height_ = 0;
  bool usable_ = false;
};

}  // namespace kivo
