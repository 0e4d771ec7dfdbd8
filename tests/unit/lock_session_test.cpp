// The lock's order with the compositor, in every order the protocol allows: what is asked of it, when,
// and how the run ends. The compositor is a script of answers.
#include "host/lock/lock_session.h"

#include "host/lock/grace_period.h"
#include "host/lock/sleep_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {
namespace {

using State = LockSession::State;
using S = State;

// 'L' locked, 'F' finished, 'Y' PAM's yes, 'X' the connection lost.
void Happen(LockSession& session, const std::string& events) {
  for (const char e : events) {
    if (e == 'L') session.OnLocked();
    if (e == 'F') session.OnFinished();
    if (e == 'Y') session.OnAccepted();
    if (e == 'X') session.OnConnectionLost("gone");
  }
}

// Records what is asked of it; each roundtrip delivers the next answer of
// its script (as Happen's, '-' nothing, 'x' the connection fails).
class ScriptedCompositor : public LockProtocol {
 public:
  explicit ScriptedCompositor(std::string answers) : answers_(std::move(answers)) {}
  void Listen() override { asked += "listen "; }
  void Lock() override { asked += "lock "; }
  void Unlock() override { asked += "unlock "; }
  void Forget() override { asked += "forget "; }
  bool Roundtrip() override {
    asked += "roundtrip ";
    const char answer = next_ < answers_.size() ? answers_[next_++] : '-';
    Happen(*session, std::string(1, answer));
    return answer != 'x';
  }
  std::string asked;
  LockSession* session = nullptr;

 private:
  std::string answers_;
  std::size_t next_ = 0;
};

TEST(LockSession, UnlocksOnlyOnTheSystemsYesAfterLockedAndEndsWithTheRightStatus) {
  const struct {
    const char* what;
    const char* refusal;
    const char* answers;  // to the roundtrips, in order
    const char* events;   // after the lock was asked for, as Happen's
    const char* asked;
    S state;
    int status;
    const char* why;  // part of what stderr is told
  } cases[] = {
      {"refused with a reason: the receivers are in place", "no session lock here", "", "", "listen ", S::kRefused, 2,
       "no session lock here"},
      {"locked at once, then the yes", "", "L", "Y", "listen lock roundtrip unlock roundtrip ", S::kUnlocked, 0, ""},
      {"locked late: the yes waits", "", "-", "YL", "listen lock roundtrip unlock roundtrip ", S::kUnlocked, 0, ""},
      {"a yes before locked unlocks nothing", "", "-", "Y", "listen lock roundtrip ", S::kUnlockDue, 1, "stays locked"},
      {"refused by the compositor", "", "F", "Y", "listen lock roundtrip forget ", S::kRefused, 2, "refused"},
      {"refused after a yes that waited", "", "-", "YF", "listen lock roundtrip forget ", S::kRefused, 2, "refused"},
      {"ended by the compositor", "", "L", "FY", "listen lock roundtrip forget ", S::kEnded, 1, "ended the lock"},
      {"lost as the session is given back", "", "Lx", "Y", "listen lock roundtrip unlock roundtrip ", S::kLost, 1,
       "stays locked"},
      {"lost while asking", "", "x", "LY", "listen lock roundtrip ", S::kLost, 1, "stays locked"},
      {"lost while locked", "", "L", "XY", "listen lock roundtrip ", S::kLost, 1, "gone; the session"},
      {"stopped while locked", "", "L", "", "listen lock roundtrip ", S::kLocked, 1, "stopped; the session stays"},
      {"nothing after unlock counts", "", "L", "YLYFX", "listen lock roundtrip unlock roundtrip ", S::kUnlocked, 0, ""},
  };
  for (const auto& c : cases) {
    ScriptedCompositor compositor(c.answers);
    LockSession session(compositor);
    compositor.session = &session;
    session.Take(c.refusal);
    Happen(session, c.events);
    EXPECT_EQ(compositor.asked, c.asked) << c.what;
    EXPECT_EQ(session.Current(), c.state) << c.what;
    EXPECT_EQ(session.ExitStatus(), c.status) << c.what;
    EXPECT_NE(session.Why(true).find(c.why), std::string::npos) << c.what << ": " << session.Why(true);
    EXPECT_EQ(session.Locked(), c.state == State::kLocked) << c.what;
  }
}

// The grace on a clock that counts sleep: wakes at these seconds after the start, each with input that
// would end the saver. The deadline is looked at first, so a wake after a sleep past it locks before
// its input is read; the lock is asked for once.
TEST(GracePeriod, AWakePastTheDeadlineLocksBeforeItsInputIsRead) {
  using std::chrono::seconds;
  const struct {
    const char* what;
    std::vector<int> wakes;
    const char* happened;
  } cases[] = {
      {"input within the grace ends the saver", {1, 9}, "read read "},
      {"a machine that slept through the deadline wakes locked", {1, 3600}, "read lock read "},
      {"at the deadline itself", {10}, "lock read "},
      {"locked once, whatever wakes follow", {11, 12, 13}, "lock read read read "},
  };
  for (const auto& c : cases) {
    GracePeriod grace(seconds(10), seconds(100));
    std::string happened;
    for (const int wake : c.wakes) {
      grace.Wake(seconds(100 + wake), [&] { happened += "lock "; }, [&] { happened += "read "; });
    }
    EXPECT_EQ(happened, c.happened) << c.what;
  }
  EXPECT_EQ(GracePeriod(seconds(10), seconds(100)).Left(seconds(104)), seconds(6));
}

// What logind hears as the lock's state turns: sleep waits from the grace's start until the compositor
// has said locked (or the lock came to nothing), and LockedHint follows what kivo holds.
TEST(SleepGuard, SleepWaitsForLockedAndTheHintFollowsTheLock) {
  struct Recorder : SleepGuard::Manager {
    void DelaySleep() override { heard += "delay "; }
    void AllowSleep() override { heard += "allow "; }
    void SetLockedHint(bool locked) override { heard += locked ? "hint:1 " : "hint:0 "; }
    std::string heard;
  };
  const struct {
    const char* what;
    bool grace;
    std::vector<State> turns;
    const char* heard;
  } cases[] = {
      {"the grace ends in a lock: sleep waits until locked, then the hint", true,
       {S::kIdle, S::kAsked, S::kUnlockDue, S::kLocked, S::kLocked}, "delay hint:1 allow "},
      {"then the right password", true, {S::kAsked, S::kLocked, S::kUnlocked}, "delay hint:1 allow hint:0 "},
      {"another locker first: sleep waits no more", true, {S::kAsked, S::kRefused}, "delay allow "},
      {"-lock: the hint alone", false, {S::kAsked, S::kLocked, S::kUnlocked}, "hint:1 hint:0 "},
      {"the compositor ends the lock", false, {S::kLocked, S::kEnded}, "hint:1 hint:0 "},
      {"a lost connection leaves the session locked, and the hint", false, {S::kLocked, S::kLost}, "hint:1 "},
  };
  for (const auto& c : cases) {
    Recorder logind;
    SleepGuard guard(&logind);
    if (c.grace) guard.GraceBegins();
    for (const State turn : c.turns) guard.Follow(turn);
    EXPECT_EQ(logind.heard, c.heard) << c.what;
  }
}

}  // namespace
}  // namespace kivo
