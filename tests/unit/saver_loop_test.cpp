#include "host/posix/saver_loop.h"

#include "host/wayland/frame_pacer.h"

#include <fcntl.h>
#include <poll.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
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
    std::this_thread::sleep_for(tickCost);
  }
  bool Idle() const override { return dispatches <= hiddenDispatches; }
  void AfterWait(bool readable) override { readableWakes += readable ? 1 : 0; }
  void Wake() {
    if (write(fds_[1], "x", 1) != 1) ADD_FAILURE() << "cannot wake the loop";
  }

  bool wakeWhileHidden = true;
  std::chrono::milliseconds tickCost{0};  // how long each beat's work takes

  int ticks = 0, dispatches = 0, firstTickAtDispatch = -1, readableWakes = 0;
  int endAfterTicks = 1000, endAfterDispatches = 1000, hiddenDispatches = 0, signalAtTick = -1, signal = 0;

 private:
  int fds_[2];
};

TEST(SaverLoop, OneBeatEvery30MillisecondsUntilTheConnectionEnds) {
  FakeConnection connection;
  connection.endAfterTicks = 10;
  connection.tickCost = std::chrono::milliseconds(12);
  const auto start = std::chrono::steady_clock::now();
  RunSaverLoop(connection, "kivo", -1, false);
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(connection.ticks, 10);
  EXPECT_GE(took, 9 * 30) << "never faster than the beat";
  // Nine periods and the last beat's work: the work does not lengthen the
  // period (42 ms a beat would take 390 ms).
  EXPECT_LT(took, 9 * 30 + 12 + 50) << "the beat keeps its period";
}

// Events far more often than the beat (a compositor's answers, a moving
// pointer) are read at the beats: one wake a beat, and what waits then is
// read, not left in the socket.
TEST(SaverLoop, WhileTheBeatGoesOnEventsAreReadOnItsWakes) {
  FakeConnection connection;
  connection.endAfterTicks = 10;
  std::atomic<bool> done{false};
  std::thread events([&] {
    while (!done) {
      connection.Wake();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  RunSaverLoop(connection, "kivo", -1, false);
  done = true;
  events.join();
  EXPECT_EQ(connection.ticks, 10);
  EXPECT_LE(connection.dispatches, 12) << "woken by the beat, not by each event";
  EXPECT_GE(connection.readableWakes, 8) << "the events waiting at a beat are read then";
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

// A compositor's frame callbacks: a surface waits for one after each frame
// it shows, and events (releases, callbacks, keys) arrive every 16 ms. The
// beat stays at one tick every 30 ms; a surface asked for nothing at all
// for a while is hidden and then costs no tick.
class FrameWaitConnection : public FakeConnection {
 public:
  using FakeConnection::FakeConnection;
  bool Idle() const override { return pacer.Hidden(Clock::now()); }
  bool Dispatch() override {
    if (answering) pacer.FrameDone();  // each event here answers the frame
    return FakeConnection::Dispatch();
  }
  void Tick(FrameTimes* times) override {
    FakeConnection::Tick(times);
    if (!pacer.Waiting()) pacer.Committed(Clock::now());  // a frame waiting is shown when asked
  }
  FramePacer pacer;
  bool answering = true;
};

TEST(SaverLoop, EventsDuringFrameWaitsBringNoExtraBeat) {
  FrameWaitConnection connection;
  connection.wakeWhileHidden = false;
  std::atomic<bool> done{false};
  std::thread events([&] {
    while (!done) {
      connection.Wake();
      std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
  });
  connection.endAfterDispatches = 1 << 30;
  std::thread stop([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    connection.endAfterTicks = 0;
    connection.Wake();
  });
  RunSaverLoop(connection, "kivo", -1, false);
  stop.join();
  EXPECT_GE(connection.ticks, 17) << "the beat goes on while frames wait";
  EXPECT_LE(connection.ticks, 22) << "600 ms hold 20 beats, whatever events arrive";

  // The compositor stops asking (an output powered off): hidden after a
  // while, and no beat is spent until it asks again.
  connection.answering = false;
  connection.ticks = 0;
  connection.endAfterTicks = 1000;
  std::thread stop2([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    connection.endAfterDispatches = 0;
    connection.Wake();
  });
  RunSaverLoop(connection, "kivo", -1, false);
  stop2.join();
  done = true;
  events.join();
  EXPECT_GE(connection.ticks, 4) << "waiting is not hidden at once";
  EXPECT_LE(connection.ticks, 10) << "hidden after 200 ms of no frame asked";
}

// Hidden all along, so the loop sleeps until an event; raises SIGTERM at
// one point of the loop.
enum LoopPoint { kDispatch, kBeforeWait, kAfterWait };
struct HiddenConnection : FakeConnection {
  LoopPoint at = kDispatch;
  int dispatches = 0;
  int waits = 0;
  bool Idle() const override { return true; }
  bool Dispatch() override {
    FakeConnection::Dispatch();  // drains: nothing wakes the wait but a signal
    if (at == kDispatch && ++dispatches == 1) raise(SIGTERM);
    return true;
  }
  void BeforeWait() override {
    if (++waits > 1) return;
    if (at == kBeforeWait) raise(SIGTERM);
    if (at == kAfterWait) Wake();  // one event, to reach AfterWait
  }
  void AfterWait(bool) override {
    if (at == kAfterWait) raise(SIGTERM);
  }
};

// A stop signal sent at any point of the loop (before the wait included,
// where nothing else would wake it) ends it at once, even while every
// screen is hidden and the loop would sleep until an event.
TEST(SaverLoopDeathTest, AStopSignalAtAnyPointEndsEvenAHiddenLoop) {
  for (const LoopPoint point : {kDispatch, kBeforeWait, kAfterWait}) {
    EXPECT_EXIT(
        {
          InstallStopSignals();
          HiddenConnection connection;
          connection.wakeWhileHidden = false;
          connection.at = point;
          alarm(5);  // a lost signal would sleep forever: fail instead
          RunSaverLoop(connection, "kivo", -1, false);
          _exit(3);
        },
        testing::ExitedWithCode(3), "")
        << point;
  }
}

// Wakes a hidden loop that nothing else woke within 3 s, so that a fault
// fails the test instead of hanging it.
void WakeUnlessEnded(FakeConnection& connection, const std::atomic<bool>& ended) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (!ended && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!ended) connection.Wake();
}

// The connection's other descriptor (a password check's answer) and its
// deadline (a held key's repeat) wake the loop while nothing is drawn.
TEST(SaverLoop, TheWatchedDescriptorAndTheDeadlineWakeAHiddenLoop) {
  struct Watching : FakeConnection {
    int watch[2] = {-1, -1};
    Clock::time_point deadline = Clock::time_point::max();
    bool answered = false, deadlineMet = false;
    Watching() {
      if (pipe(watch) != 0) ADD_FAILURE();
    }
    ~Watching() override {
      close(watch[0]);
      close(watch[1]);
    }
    int WatchFd() const override { return watch[0]; }
    bool Idle() const override { return true; }
    Clock::time_point Deadline() const override { return deadline; }
    bool Dispatch() override {
      pollfd ready{watch[0], POLLIN, 0};
      answered = answered || poll(&ready, 1, 0) == 1;
      deadlineMet = deadlineMet || Clock::now() >= deadline;
      return !answered && !deadlineMet && FakeConnection::Dispatch();
    }
  };
  Watching answer;
  answer.wakeWhileHidden = false;
  std::thread child([&answer] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (write(answer.watch[1], "Y", 1) != 1) ADD_FAILURE();
  });
  std::atomic<bool> ended{false};
  std::thread failsafe([&answer, &ended] { WakeUnlessEnded(answer, ended); });
  auto start = std::chrono::steady_clock::now();
  RunSaverLoop(answer, "kivo", -1, false);
  ended = true;
  EXPECT_TRUE(answer.answered);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "read as soon as it came";
  child.join();
  failsafe.join();

  Watching repeat;
  repeat.wakeWhileHidden = false;
  repeat.deadline = LoopConnection::Clock::now() + std::chrono::milliseconds(120);
  start = std::chrono::steady_clock::now();
  ended = false;
  std::thread failsafe2([&repeat, &ended] { WakeUnlessEnded(repeat, ended); });
  RunSaverLoop(repeat, "kivo", -1, false);
  ended = true;
  EXPECT_TRUE(repeat.deadlineMet);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  failsafe2.join();
}

}  // namespace
}  // namespace kivo
