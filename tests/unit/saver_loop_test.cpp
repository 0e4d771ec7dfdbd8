#include "host/posix/saver_loop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace kivo {
namespace {

// A display connection stood in by a pipe. It counts beats and dispatches,
// can be hidden for its first dispatches, and ends the loop after a given
// number of beats or dispatches.
class FakeConnection : public LoopConnection {
 public:
  FakeConnection() {
    if (pipe2(fds_, O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
  }
  ~FakeConnection() override {
    close(fds_[0]);
    close(fds_[1]);
  }
  int Fd() const override { return fds_[0]; }
  bool Dispatch() override {
    char drained[16];
    while (read(fds_[0], drained, sizeof drained) > 0) {
    }
    ++dispatches;
    // While hidden, an event at once, so that the loop's wait returns.
    if (Idle() && wakeWhileHidden) Wake();
    return ticks < endAfterTicks && dispatches < endAfterDispatches;
  }
  void Tick(FrameTimes*) override {
    if (ticks++ == 0) firstTickAtDispatch = dispatches;
    if (ticks == signalAtTick) raise(signal);
  }
  bool Idle() const override { return dispatches <= hiddenDispatches; }
  void Wake() {
    if (write(fds_[1], "x", 1) != 1) ADD_FAILURE() << "cannot wake the loop";
  }

  bool wakeWhileHidden = true;

  int ticks = 0, dispatches = 0, firstTickAtDispatch = -1;
  int endAfterTicks = 1000, endAfterDispatches = 1000, hiddenDispatches = 0, signalAtTick = -1, signal = 0;

 private:
  int fds_[2];
};

TEST(SaverLoop, OneBeatEvery30MillisecondsUntilTheConnectionEnds) {
  FakeConnection connection;
  connection.endAfterTicks = 5;
  const auto start = std::chrono::steady_clock::now();
  RunSaverLoop(connection, "kivo", -1, false);
  EXPECT_EQ(connection.ticks, 5);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4 * 30)) << "never faster than the beat";
}

TEST(SaverLoop, AfterFramesBeatsItStopsDrawingSaysSoOnceAndRunsOn) {
  FakeConnection connection;
  connection.endAfterDispatches = 12;
  testing::internal::CaptureStdout();
  RunSaverLoop(connection, "kivo", 3, false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "kivo: stopped after 3 frames\n");
  EXPECT_EQ(connection.ticks, 3);
  EXPECT_EQ(connection.dispatches, 12);
}

TEST(SaverLoop, NoBeatWhileNothingCanBeSeen) {
  FakeConnection connection;
  connection.hiddenDispatches = 20;
  connection.endAfterTicks = 2;
  RunSaverLoop(connection, "kivo", -1, false);
  EXPECT_EQ(connection.firstTickAtDispatch, 21);
  EXPECT_EQ(connection.ticks, 2);

  // Hidden, it sleeps until the display has something to say.
  FakeConnection asleep;
  asleep.hiddenDispatches = 1000;
  asleep.wakeWhileHidden = false;
  asleep.endAfterDispatches = 2;
  std::thread event([&asleep] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    asleep.Wake();
  });
  const auto start = std::chrono::steady_clock::now();
  RunSaverLoop(asleep, "kivo", -1, false);
  const auto slept = std::chrono::steady_clock::now() - start;
  event.join();
  EXPECT_GE(slept, std::chrono::milliseconds(150)) << "no wake-up every beat";
  EXPECT_EQ(asleep.ticks, 0);
}

TEST(SaverLoopDeathTest, TermAndIntEndTheLoopAtOnce) {
  for (const int sig : {SIGTERM, SIGINT}) {
    EXPECT_EXIT(
        {
          InstallStopSignals();
          FakeConnection connection;
          connection.signalAtTick = 2;
          connection.signal = sig;
          RunSaverLoop(connection, "kivo", -1, false);
          _exit(connection.ticks);
        },
        testing::ExitedWithCode(2), "")
        << sig;
  }
}

}  // namespace
}  // namespace kivo
