// The lock's order with the compositor, walked through every order the
// protocol allows: what is asked of the compositor, when, and how the run
// ends. The compositor is a script of answers.
#include "host/lock/lock_session.h"

#include "host/lock/grace_period.h"
#include "host/lock/sleep_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {
namespace {

using State = LockSession::State;

// Records what is asked of it; each roundtrip delivers the next answer of
// its script ('L' locked, 'F' finished, '-' nothing, 'x' the connection
// fails).
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
    if (answer == 'L') session->OnLocked();
    if (answer == 'F') session->OnFinished();
    return answer != 'x';
  }
  std::string asked;
  LockSession* session = nullptr;

 private:
  std::string answers_;
  std::size_t next_ = 0;
};

// After Take: 'L'/'F' events between roundtrips, 'Y' PAM's yes, 'X' the
// connection lost.
void Happen(LockSession& session, const std::string& events) {
  for (const char e : events) {
    if (e == 'L') session.OnLocked();
    if (e == 'F') session.OnFinished();
    if (e == 'Y') session.OnAccepted();
    if (e == 'X') session.OnConnectionLost("gone");
  }
}

TEST(LockSession, UnlocksOnlyOnTheSystemsYesAfterLockedAndEndsWithTheRightStatus) {
  const struct {
    const char* what;
    const char* refusal;
    const char* answers;  // to the roundtrips, in order
    const char* events;   // after the lock was asked for
    const char* asked;
    State state;
    int status;
    const char* why;  // part of what stderr is told
  } cases[] = {
      {"a reason to refuse: nothing is asked, but the receivers are in place", "no session lock here", "", "",
       "listen ", State::kRefused, 2, "no session lock here"},
      {"locked at once, then the yes", "", "L", "Y", "listen lock roundtrip unlock roundtrip ", State::kUnlocked, 0, ""},
      {"locked late: the yes waits for it", "", "-", "YL", "listen lock roundtrip unlock roundtrip ",
       State::kUnlocked, 0, ""},
      {"a yes before locked, with nothing after it, unlocks nothing", "", "-", "Y", "listen lock roundtrip ",
       State::kUnlockDue, 1, "stays locked"},
      {"refused by the compositor", "", "F", "Y", "listen lock roundtrip forget ", State::kRefused, 2, "refused"},
      {"refused after a yes that waited for locked", "", "-", "YF", "listen lock roundtrip forget ", State::kRefused,
       2, "refused"},
      {"ended by the compositor after locked", "", "L", "FY", "listen lock roundtrip forget ", State::kEnded, 1,
       "ended the lock"},
      {"the connection fails as the session is given back", "", "Lx", "Y", "listen lock roundtrip unlock roundtrip ",
       State::kLost, 1, "stays locked"},
      {"the connection fails while asking", "", "x", "LY", "listen lock roundtrip ", State::kLost, 1, "stays locked"},
      {"the connection fails while locked", "", "L", "XY", "listen lock roundtrip ", State::kLost, 1, "gone; the session"},
      {"stopped while locked", "", "L", "", "listen lock roundtrip ", State::kLocked, 1, "stopped; the session stays"},
      {"a second locked, yes or lost connection after unlocking changes nothing", "", "L", "YLYFX",
       "listen lock roundtrip unlock roundtrip ", State::kUnlocked, 0, ""},
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

// The grace on a clock that counts sleep: wakes at these seconds after the
// start, each with input that would end the saver. The deadline is looked
// at first on every wake, so a wake after a sleep past it locks before its
// input is read; the lock is asked for once.
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

// What logind hears while the lock's state goes through these turns: sleep
// waits from the grace's start until the compositor has said locked (or the
// lock came to nothing), and LockedHint follows what kivo holds.
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
      {"the grace ends in a lock: sleep waits until locked, then the hint",
       true, {State::kIdle, State::kAsked, State::kUnlockDue, State::kLocked, State::kLocked}, "delay hint:1 allow "},
      {"then the right password", true, {State::kAsked, State::kLocked, State::kUnlocked}, "delay hint:1 allow hint:0 "},
      {"another locker first: sleep waits no more", true, {State::kAsked, State::kRefused}, "delay allow "},
      {"-lock: the hint alone", false, {State::kAsked, State::kLocked, State::kUnlocked}, "hint:1 hint:0 "},
      {"the compositor ends the lock", false, {State::kLocked, State::kEnded}, "hint:1 hint:0 "},
      {"a lost connection leaves the session locked, and the hint", false, {State::kLocked, State::kLost}, "hint:1 "},
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
