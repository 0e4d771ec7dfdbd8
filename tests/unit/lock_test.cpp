// The lock screen's parts that need no compositor: PAM's conversation and
// outcome (with stand-ins for the library), the prompt's states and waits,
// the secret's memory, and the indicator.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/lock/key_repeat.h"
#include "host/posix/daemon.h"
#include "host/lock/lock_indicator.h"
#include "host/lock/lock_prompt.h"
#include "host/lock/pam_check.h"
#include "host/lock/secret_buffer.h"

namespace kivo {
namespace {

// A stand-in PAM: asks one hidden question (and, first, one shown one and a
// message), and accepts exactly kRight; or fails as a broken module would.
struct FakePam {
  static inline std::string right = "Snow-fall 42";
  static inline int startResult = PAM_SUCCESS;
  static inline int moduleResult = PAM_SUCCESS;  // what authentication returns before judging
  static inline const pam_conv* conversation = nullptr;
  static inline std::vector<std::string> answers;

  static int Start(const char*, const char*, const pam_conv* conv, pam_handle_t** handle) {
    conversation = conv;
    *handle = reinterpret_cast<pam_handle_t*>(&conversation);
    return startResult;
  }
  static int Authenticate(pam_handle_t*, int) {
    if (moduleResult != PAM_SUCCESS) return moduleResult;
    const pam_message info{PAM_TEXT_INFO, "hello"}, name{PAM_PROMPT_ECHO_ON, "login:"}, secret{PAM_PROMPT_ECHO_OFF, "Password:"};
    const pam_message* messages[] = {&info, &name, &secret};
    pam_response* responses = nullptr;
    if (conversation->conv(3, messages, &responses, conversation->appdata_ptr) != PAM_SUCCESS) return PAM_CONV_ERR;
    answers.clear();
    for (int i = 0; i < 3; ++i) {
      answers.push_back(responses[i].resp != nullptr ? responses[i].resp : "(none)");
      std::free(responses[i].resp);
    }
    std::free(responses);
    return answers[2] == right ? PAM_SUCCESS : PAM_AUTH_ERR;
  }
  static int End(pam_handle_t*, int) { return PAM_SUCCESS; }
};
const PamFunctions kFake = {FakePam::Start, FakePam::Authenticate, FakePam::End};

TEST(Pam, OnlyTheRightPasswordIsAcceptedAndOnlyTheHiddenPromptGetsIt) {
  FakePam::startResult = FakePam::moduleResult = PAM_SUCCESS;
  EXPECT_TRUE(PamAccepts(kFake, "kivo", "kivo-test", "Snow-fall 42"));
  EXPECT_EQ(FakePam::answers, (std::vector<std::string>{"(none)", "", "Snow-fall 42"}));
  const std::string veryLong(100000, 'x');
  for (const std::string& wrong : {std::string("snow-fall 42"), std::string(""), std::string("Snow-fall 4"), veryLong}) {
    EXPECT_FALSE(PamAccepts(kFake, "kivo", "kivo-test", wrong.c_str())) << wrong.size() << " bytes";
    EXPECT_EQ(FakePam::answers[2], wrong);
  }
  for (const int broken : {PAM_AUTHINFO_UNAVAIL, PAM_SYSTEM_ERR, PAM_MAXTRIES, PAM_CONV_ERR}) {
    FakePam::moduleResult = broken;
    EXPECT_FALSE(PamAccepts(kFake, "kivo", "kivo-test", "Snow-fall 42")) << "a module failing with " << broken;
  }
  FakePam::moduleResult = PAM_SUCCESS;
  FakePam::startResult = PAM_ABORT;
  EXPECT_FALSE(PamAccepts(kFake, "kivo", "kivo-test", "Snow-fall 42")) << "PAM that cannot start";
  FakePam::startResult = PAM_SUCCESS;

  const pam_message secret{PAM_PROMPT_ECHO_OFF, "Password:"};
  const pam_message* one[] = {&secret};
  pam_response* responses = nullptr;
  EXPECT_EQ(AnswerPam(0, one, &responses, nullptr), PAM_CONV_ERR);
  EXPECT_EQ(AnswerPam(PAM_MAX_NUM_MSG + 1, one, &responses, nullptr), PAM_CONV_ERR);
  EXPECT_EQ(responses, nullptr);
}

// The check runs in a child process: only a child that ends by itself with
// PAM's yes unlocks; one that is refused, or dies on the way, does not.
TEST(PamCheck, OnlyAChildThatEndsWithPamsYesAccepts) {
  struct Case {
    int (*authenticate)(pam_handle_t*, int);
    PamCheck::State answer;
  };
  for (const Case& c : {Case{[](pam_handle_t*, int) { return PAM_SUCCESS; }, PamCheck::State::kAccepted},
                        Case{[](pam_handle_t*, int) { return PAM_AUTH_ERR; }, PamCheck::State::kRefused},
                        Case{[](pam_handle_t*, int) { return raise(SIGKILL); }, PamCheck::State::kRefused}}) {
    const PamFunctions pam = {[](const char*, const char*, const pam_conv*, pam_handle_t**) { return PAM_SUCCESS; },
                              c.authenticate, [](pam_handle_t*, int) { return PAM_SUCCESS; }};
    PamCheck check(pam);
    char password[] = "Snow-fall 42";
    ASSERT_TRUE(check.Start("kivo", "kivo-test", password, sizeof password - 1));
    EXPECT_FALSE(check.Start("kivo", "kivo-test", password, sizeof password - 1)) << "one check at a time";
    PamCheck::State state = PamCheck::State::kChecking;
    for (int i = 0; i < 500 && state == PamCheck::State::kChecking; ++i, usleep(10000)) state = check.Poll();
    EXPECT_EQ(state, c.answer);
    EXPECT_EQ(check.Poll(), PamCheck::State::kIdle) << "each answer is given once";
  }
}

PamCheck::State AnswerWithin(PamCheck& check, int milliseconds) {
  PamCheck::State state = PamCheck::State::kChecking;
  for (int i = 0; i < milliseconds / 10 && state == PamCheck::State::kChecking; ++i, usleep(10000)) {
    state = check.Poll();
  }
  return state;
}

// A launcher may leave SIGCHLD ignored (the kernel then reaps children and
// no wait succeeds): the yes still unlocks and a no still refuses; and the
// answer makes the check's descriptor readable, so nobody polls for it.
TEST(PamCheck, TheAnswerComesOnItsDescriptorEvenWithSigchldIgnored) {
  for (const bool yes : {true, false}) {
    const PamFunctions pam = {[](const char*, const char*, const pam_conv*, pam_handle_t**) { return PAM_SUCCESS; },
                              yes ? +[](pam_handle_t*, int) { return PAM_SUCCESS; }
                                  : +[](pam_handle_t*, int) { return PAM_AUTH_ERR; },
                              [](pam_handle_t*, int) { return PAM_SUCCESS; }};
    struct sigaction old {};
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &old);
    PamCheck check(pam);
    char password[] = "Snow-fall 42";
    ASSERT_TRUE(check.Start("kivo", "kivo-test", password, sizeof password - 1));
    ASSERT_GE(check.Fd(), 0);
    pollfd answered{check.Fd(), POLLIN, 0};
    EXPECT_EQ(poll(&answered, 1, 5000), 1) << "the descriptor wakes whoever waits for the answer";
    EXPECT_EQ(check.Poll(), yes ? PamCheck::State::kAccepted : PamCheck::State::kRefused) << yes;
    EXPECT_EQ(check.Fd(), -1);
    sigaction(SIGCHLD, &old, nullptr);
  }
}

// A module that never answers: the check is abandoned (its child killed and
// gone), nothing is accepted, and a new check can start.
TEST(PamCheck, ACheckThatNeverAnswersCanBeAbandoned) {
  const PamFunctions pam = {[](const char*, const char*, const pam_conv*, pam_handle_t**) { return PAM_SUCCESS; },
                            [](pam_handle_t*, int) { return pause(); },
                            [](pam_handle_t*, int) { return PAM_SUCCESS; }};
  PamCheck check(pam);
  char password[] = "Snow-fall 42";
  ASSERT_TRUE(check.Start("kivo", "kivo-test", password, sizeof password - 1));
  EXPECT_EQ(AnswerWithin(check, 200), PamCheck::State::kChecking);
  check.Abandon();
  EXPECT_FALSE(check.Checking());
  EXPECT_EQ(check.Poll(), PamCheck::State::kIdle) << "abandoned: no answer at all";
  EXPECT_TRUE(check.Start("kivo", "kivo-test", password, sizeof password - 1)) << "and the next check may start";
  check.Abandon();

  LockPrompt prompt;
  const auto now = LockPrompt::Clock::now();
  prompt.Type("a", 1, now);
  ASSERT_TRUE(prompt.Enter(now));
  prompt.Abandon(now);
  EXPECT_FALSE(prompt.Checking());
  EXPECT_EQ(prompt.Refusals(), 0) << "giving up is no refusal: no longer wait";
  EXPECT_EQ(prompt.Marks(), 0);
  prompt.Type("b", 1, now);
  EXPECT_EQ(prompt.Marks(), 1) << "typing works again";
  EXPECT_TRUE(prompt.Enter(now));
}

// A held key repeats after the delay at the rate; only the key pressed last,
// until it is released; a stall brings a few repeats, not a flood.
TEST(KeyRepeat, AfterTheDelayAtTheRateUntilReleased) {
  using namespace std::chrono_literals;
  KeyRepeat repeat;
  repeat.SetRate(25, 600);
  const auto t0 = KeyRepeat::Clock::now();
  EXPECT_EQ(repeat.Next(), KeyRepeat::Clock::time_point::max()) << "nothing held";
  repeat.Press(14, t0);
  EXPECT_EQ(repeat.Next(), t0 + 600ms);
  EXPECT_EQ(repeat.Due(t0 + 599ms), 0);
  EXPECT_EQ(repeat.Due(t0 + 600ms), 1);
  EXPECT_EQ(repeat.Due(t0 + 639ms), 0);
  EXPECT_EQ(repeat.Due(t0 + 720ms), 3) << "one every 40 ms: at 640, 680 and 720";
  EXPECT_EQ(repeat.Key(), 14u);
  EXPECT_EQ(repeat.Due(t0 + 10s), KeyRepeat::kMostAtOnce);
  repeat.Release(30);
  EXPECT_GT(repeat.Due(t0 + 11s), 0) << "another key's release stops nothing";
  repeat.Release(14);
  EXPECT_EQ(repeat.Due(t0 + 12s), 0);
  repeat.SetRate(0, 600);
  repeat.Press(14, t0);
  EXPECT_EQ(repeat.Due(t0 + 5s), 0) << "rate 0: keys never repeat";
}

#ifdef __SANITIZE_ADDRESS__
constexpr bool kMlockLocks = false;  // AddressSanitizer turns mlock into a no-op
#else
constexpr bool kMlockLocks = true;
#endif

// -daemonize: the parent answers once the child is ready, or with the
// child's own code when it ends first; the password's block is locked in
// memory in the child that keeps it (memory locks do not survive a fork).
TEST(DaemonDeathTest, TheParentAnswersForTheChildThatKeepsTheLockedBlock) {
  EXPECT_EXIT(
      {
        Daemon daemon;
        if (!daemon.Detach()) _exit(9);
        _exit(7);
      },
      testing::ExitedWithCode(7), "");
  EXPECT_EXIT(
      {
        Daemon daemon;
        if (!daemon.Detach()) _exit(9);
        SecretBuffer secret(LockPrompt::kCapacity);
        FILE* status = std::fopen("/proc/self/status", "r");
        long lockedKb = 0;
        char line[256];
        while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
          if (std::sscanf(line, "VmLck: %ld", &lockedKb) == 1) break;
        }
        if (status != nullptr) std::fclose(status);
        if (kMlockLocks && secret.Locked() && lockedKb <= 0) _exit(8);
        daemon.Ready();
        _exit(5);  // too late to matter: the parent has answered
      },
      testing::ExitedWithCode(0), "");
}

TEST(LockPrompt, TypingEscapeEnterAndTheWaitAfterRefusals) {
  using namespace std::chrono_literals;
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

TEST(SecretBuffer, AFixedBlockLockedInMemoryAndWiped) {
  SecretBuffer secret(8);
  EXPECT_TRUE(secret.Locked()) << "mlock refused: is RLIMIT_MEMLOCK zero here?";
  EXPECT_TRUE(secret.Append("abc", 3));
  EXPECT_TRUE(secret.Append("\xE2\x82\xAC", 3));
  EXPECT_FALSE(secret.Append("de", 2)) << "7 bytes and the NUL fill it";
  EXPECT_TRUE(secret.Append("d", 1));
  EXPECT_FALSE(secret.Append("e", 1));
  EXPECT_EQ(std::string(secret.Data()), "abc\xE2\x82\xAC" "d");
  EXPECT_EQ(secret.Characters(), 5u);
  secret.DropLast();
  secret.DropLast();
  EXPECT_EQ(std::string(secret.Data()), "abc");
  secret.Wipe();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(secret.Data()[i], '\0') << i;
  SecretBuffer none(0);
  EXPECT_FALSE(none.Append("a", 1));
}

// Pixels of one colour along a row, 2 above the indicator's middle by
// default: across the marks, clear of the track.
int MarkPixels(const RasterImage& image, int red, int green, int blue, int below = -2) {
  int count = 0;
  for (int x = 0; x < image.Width(); ++x) {
    int r = 0, g = 0, b = 0;
    image.GetPixel(x, image.Height() / 2 + below, &r, &g, &b);
    count += r == red && g == green && b == blue;
  }
  return count;
}

TEST(LockIndicator, OneMarkPerCharacterInTheLooksColour) {
  RasterImage image;
  struct Case {
    IndicatorLook look;
    int marks, red, green, blue, pixels;  // 11 pixels across each mark 2 rows from its middle
  };
  for (const Case& c : {Case{IndicatorLook::kTyping, 5, 235, 235, 235, 55}, Case{IndicatorLook::kTyping, 30, 235, 235, 235, 264},
                        Case{IndicatorLook::kChecking, 2, 110, 160, 255, 22}, Case{IndicatorLook::kRefused, 0, 255, 70, 70, 33},
                        Case{IndicatorLook::kIdle, 0, 235, 235, 235, 0}}) {
    DrawIndicator(image, c.look, c.marks, 1);
    EXPECT_EQ(MarkPixels(image, c.red, c.green, c.blue), c.pixels) << c.marks << " marks";
  }
  DrawIndicator(image, IndicatorLook::kCleared, 0, 2);
  EXPECT_EQ(image.Width(), 2 * IndicatorWidth(1));
  EXPECT_EQ(MarkPixels(image, 220, 150, 40, 0) + MarkPixels(image, 220, 150, 40, 1), 2 * image.Width())
      << "the cleared look: an amber track, as thick as the scale";
  DrawIndicator(image, IndicatorLook::kTyping, 1, 2);
  EXPECT_EQ(MarkPixels(image, 235, 235, 235, -8), 13) << "a mark's radius grows with the scale";
  EXPECT_EQ(IndicatorScale(768), 1);
  EXPECT_EQ(IndicatorScale(2160), 3);
}

int AmberPixels(const RasterImage& image) {
  int count = 0;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      int r = 0, g = 0, b = 0;
      image.GetPixel(x, y, &r, &g, &b);
      count += r == 240 && g == 170 && b == 40;
    }
  }
  return count;
}

// Caps Lock shows as an arrow at the track's left end, clear of the marks,
// in every look; without it there is none.
TEST(LockIndicator, CapsLockShowsAnArrowBeforeTheMarks) {
  RasterImage image;
  for (const IndicatorLook look : {IndicatorLook::kIdle, IndicatorLook::kTyping, IndicatorLook::kRefused}) {
    DrawIndicator(image, look, kShownMarks, 1, false);
    EXPECT_EQ(AmberPixels(image), 0);
    const int marks = MarkPixels(image, 235, 235, 235) + MarkPixels(image, 255, 70, 70);
    DrawIndicator(image, look, kShownMarks, 1, true);
    EXPECT_GT(AmberPixels(image), 20) << "an arrow as tall as a mark";
    EXPECT_EQ(MarkPixels(image, 235, 235, 235) + MarkPixels(image, 255, 70, 70), marks) << "the marks untouched";
    int r = 0, g = 0, b = 0;
    image.GetPixel(IndicatorWidth(1) - 1, image.Height() / 2, &r, &g, &b);
    EXPECT_FALSE(r == 240 && g == 170) << "at the left end, not the right";
  }
}

}  // namespace
}  // namespace kivo
