// The saver becoming the lock: each output goes on showing the saver's
// surface, with its snow going on, until the output's lock surface is
// configured; then the snow moves there (the same scene, the same flakes)
// and the saver's surface stays, covered, until the compositor says the
// session is locked. No frame of the desktop shows in between.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/wayland/snow_window.h"

namespace kivo {

class LockHandover {
 public:
  // The saver's windows, handed over as the lock is asked for.
  void Begin(std::vector<std::unique_ptr<SnowWindow>> saverWindows) {
    for (auto& w : saverWindows) showing_.push_back(std::move(w));
  }
  // The window that shows output `lockWindow->outputName`'s snow now: the
  // lock window once it is configured (*moved true the first time: the
  // scene's output is to be made anew), or else the saver's, while there
  // is one; null when neither can show it yet.
  SnowWindow* Shown(SnowWindow& lockWindow, bool* moved) {
    *moved = false;
    auto saver = showing_.begin();
    while (saver != showing_.end() && (*saver)->outputName != lockWindow.outputName) ++saver;
    if (lockWindow.shm->Configured()) {
      if (saver != showing_.end()) {
        covered_.push_back(std::move(*saver));
        showing_.erase(saver);
        *moved = true;
      }
      return &lockWindow;
    }
    return saver != showing_.end() && (*saver)->shm->Configured() ? saver->get() : nullptr;
  }
  // After a layout: once the compositor has said locked, the surfaces
  // whose snow moved are covered for good and go. (A saver's surface
  // still showing snow stays until its lock surface takes over.)
  void Settle(bool locked) {
    if (locked) covered_.clear();
  }

 private:
  std::vector<std::unique_ptr<SnowWindow>> showing_;
  std::vector<std::unique_ptr<SnowWindow>> covered_;
};

}  // namespace kivo
