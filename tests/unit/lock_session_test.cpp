// The lock's states without a password check: its order with the compositor (in every order the protocol
// allows; the compositor a script of answers), the grace, sleep, the prompt, held keys and the indicator.
#include "host/lock/lock_session.h"

#include "host/lock/grace_period.h"
#include "host/lock/key_repeat.h"
#include "host/lock/lock_indicator.h"
#include "host/lock/lock_prompt.h"
#include "host/lock/sleep_guard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace kivo {
namespace {

using State = LockSession::State;
using S = State;
using namespace std::chrono_literals;

// 'L' locked, 'F' finished, 'Y' PAM's yes, 'X' the connection lost.
void Happen(LockSession& session, const std::string& events) {
  for (const char e : events) {
    if (e == 'L') session.OnLocked();
    if (e == 'F') session.OnFinished();
    if (e == 'Y') session.OnAccepted();
    if (e == 'X') session.OnConnectionLost("gone");
  }
}

// Records what is asked of it; each roundtrip delivers the next answer of its script (as Happen's, '-'
// nothing, 'x' the connection fails).
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

// The grace on a clock that counts sleep: wakes at these seconds after the start, each with input that would
// end the saver. The deadline is looked at first, so a wake after a sleep past it locks before its input is
// read; the lock is asked for once.
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

// What logind hears as the lock's state turns: sleep waits from the grace's start until the compositor has
// said locked (or the lock came to nothing), and LockedHint follows what kivo holds.
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

// A held key repeats after the delay at the rate; only the key pressed last, until it is released.
TEST(KeyRepeat, AfterTheDelayAtTheRateUntilReleased) {
  KeyRepeat repeat;
  repeat.SetRate(25, 600);
  const auto t0 = KeyRepeat::Clock::now();
  EXPECT_EQ(repeat.Next(), KeyRepeat::Clock::time_point::max()) << "nothing held";
  repeat.Press(14, t0);
  EXPECT_EQ(repeat.Next(), t0 + 600ms);
  // One every 40 ms after the delay: at 600, then 640, 680 and 720; a stall brings a few.
  for (const auto& [at, due] : {std::pair{599ms, 0}, {600ms, 1}, {639ms, 0}, {720ms, 3}, {10000ms, 4}}) {
    EXPECT_EQ(repeat.Due(t0 + at), due) << at.count();
  }
  EXPECT_EQ(repeat.Key(), 14u);
  repeat.Release(30);
  EXPECT_GT(repeat.Due(t0 + 11s), 0) << "another key's release stops nothing";
  repeat.Release(14);
  EXPECT_EQ(repeat.Due(t0 + 12s), 0);
  repeat.SetRate(0, 600);
  repeat.Press(14, t0);
  EXPECT_EQ(repeat.Due(t0 + 5s), 0) << "rate 0: keys never repeat";
}

TEST(LockPrompt, TypingEscapeEnterAndTheWaitAfterRefusals) {
  LockPrompt prompt;
  auto now = LockPrompt::Clock::now();
  EXPECT_EQ(prompt.Look(now), IndicatorLook::kIdle);
  EXPECT_FALSE(prompt.Enter(now)) << "nothing typed, nothing to check";
  for (const char* c : {"a", "\xC3\xA9", "\xE2\x82\xAC"}) prompt.Type(c, std::strlen(c), now);  // a, é, €
  EXPECT_EQ(prompt.Marks(), 3) << "one mark per character, not per byte";
  EXPECT_EQ(prompt.Look(now), IndicatorLook::kTyping);
  prompt.Backspace();
  EXPECT_EQ(std::string(prompt.Secret().Data()), "a\xC3\xA9");
  prompt.Escape(now);
  EXPECT_EQ(prompt.Secret().Length(), 0u);
  EXPECT_EQ(prompt.Look(now + 1s), IndicatorLook::kCleared);
  EXPECT_EQ(prompt.Look(now + 2s), IndicatorLook::kIdle);

  const int waits[] = {0, 1, 2, 4, 8, 16, 30, 30};  // seconds after the n-th refusal in a row
  for (int refusal = 1; refusal <= 8; ++refusal) {
    prompt.Type("x", 1, now);
    ASSERT_TRUE(prompt.Enter(now)) << "refusal " << refusal;
    EXPECT_EQ(prompt.Look(now), IndicatorLook::kChecking);
    EXPECT_FALSE(prompt.Enter(now)) << "one check at a time";
    prompt.Secret().Wipe();  // as the caller does once the check has its copy
    prompt.Type("y", 1, now);
    EXPECT_EQ(prompt.Marks(), 1) << "the marks checked stay while the system checks";
    prompt.Answer(false, now);
    EXPECT_EQ(prompt.Secret().Length(), 0u) << "wiped after every attempt";
    EXPECT_EQ(prompt.Look(now), IndicatorLook::kRefused);
    const auto wait = std::chrono::seconds(waits[refusal - 1]);
    EXPECT_EQ(LockPrompt::WaitAfter(refusal), wait) << refusal;
    prompt.Type("x", 1, now);
    if (wait > 0s) {
      EXPECT_FALSE(prompt.Enter(now + wait - 1ms)) << "refusal " << refusal;
    }
    now += wait;
    prompt.Escape(now);
  }
  prompt.Type("x", 1, now);
  ASSERT_TRUE(prompt.Enter(now));
  prompt.Answer(true, now);
  EXPECT_EQ(prompt.Refusals(), 0);
  EXPECT_EQ(prompt.Secret().Length(), 0u);
}

// Pixels of one colour in `rows` rows from `row` below the indicator's middle (by default 2 above it: across
// the marks, clear of the track).
int Pixels(const RasterImage& image, int red, int green, int blue, int row = -2, int rows = 1) {
  int count = 0;
  for (int y = image.Height() / 2 + row; y < image.Height() / 2 + row + rows; ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      int r = 0, g = 0, b = 0;
      image.GetPixel(x, y, &r, &g, &b);
      count += r == red && g == green && b == blue;
    }
  }
  return count;
}
int AmberPixels(const RasterImage& image) { return Pixels(image, 240, 170, 40, -image.Height() / 2, image.Height()); }

// Caps Lock adds an arrow at the track's left end, as tall as a mark and clear of the marks, in every look.
TEST(LockIndicator, OneMarkPerCharacterInTheLooksColourAndCapsLocksArrowBeforeThem) {
  RasterImage image;
  struct Case {
    IndicatorLook look;
    int marks, red, green, blue, pixels;  // 11 pixels across each mark 2 rows from its middle
  };
  for (const Case& c : {Case{IndicatorLook::kTyping, 5, 235, 235, 235, 55}, Case{IndicatorLook::kTyping, 30, 235, 235, 235, 264},
                        Case{IndicatorLook::kChecking, 2, 110, 160, 255, 22}, Case{IndicatorLook::kRefused, 0, 255, 70, 70, 33},
                        Case{IndicatorLook::kUnavailable, 0, 190, 110, 255, 33},
                        Case{IndicatorLook::kIdle, 0, 235, 235, 235, 0}}) {
    for (const bool capsLock : {false, true}) {
      DrawIndicator(image, c.look, c.marks, 1, capsLock);
      EXPECT_EQ(Pixels(image, c.red, c.green, c.blue), c.pixels) << c.marks << " marks, Caps Lock " << capsLock;
      EXPECT_EQ(AmberPixels(image) > 20, capsLock) << c.marks << " marks";
    }
    int r = 0, g = 0, b = 0;
    image.GetPixel(IndicatorWidth(1) - 1, image.Height() / 2, &r, &g, &b);
    EXPECT_FALSE(r == 240 && g == 170) << "at the left end, not the right";
  }
  DrawIndicator(image, IndicatorLook::kCleared, 0, 2);
  EXPECT_EQ(image.Width(), 2 * IndicatorWidth(1));
  EXPECT_EQ(Pixels(image, 220, 150, 40, 0, 2), 2 * image.Width())
      << "the cleared look: an amber track, as thick as the scale";
  DrawIndicator(image, IndicatorLook::kTyping, 1, 2);
  EXPECT_EQ(Pixels(image, 235, 235, 235, -8), 13) << "a mark's radius grows with the scale";
  EXPECT_EQ(IndicatorScale(768), 1);
  EXPECT_EQ(IndicatorScale(2160), 3);
}

}  // namespace
}  // namespace kivo
