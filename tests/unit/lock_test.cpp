// The lock's password check: PAM (a stand-in library), the checker's process, the secret's memory and
// -daemonize.
#include <gtest/gtest.h>

#include <dirent.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/posix/daemon.h"
#include "host/lock/lock_indicator.h"
#include "host/lock/lock_prompt.h"
#include "host/lock/pam_check.h"
#include "host/lock/secret_buffer.h"

namespace kivo {
namespace {

#ifdef __SANITIZE_ADDRESS__
constexpr bool kMlockLocks = false;  // AddressSanitizer turns mlock into a no-op
#else
constexpr bool kMlockLocks = true;
#endif

// A "Vm...:" line of /proc/self/status, in kB.
long StatusKb(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "r");
  long kb = 0;
  char line[256];
  const std::string format = std::string(field) + ": %ld";
  while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, format.c_str(), &kb) == 1) break;
  }
  if (status != nullptr) std::fclose(status);
  return kb;
}

// What the password checker's process must be: all its memory locked (so PAM's copies of the password too;
// the vDSO, a few kB, never is), and no descriptor open but its two pipes and /dev/null.
bool Sealed() {
  DIR* dir = opendir("/proc/self/fd");
  int pipes = 0, others = 0;
  while (const dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
    char to[64] = {};
    if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == dirfd(dir)) continue;
    pipes += readlinkat(dirfd(dir), entry->d_name, to, sizeof to - 1) > 0 && std::strncmp(to, "pipe:", 5) == 0;
    others += std::strncmp(to, "pipe:", 5) != 0 && std::strcmp(to, "/dev/null") != 0;
  }
  if (dir != nullptr) closedir(dir);
  return pipes == 2 && others == 0 && (!kMlockLocks || StatusKb("VmLck") + 64 >= StatusKb("VmRSS"));
}

// A stand-in PAM: a message, a shown question, then a hidden one; accepts exactly `right` (in the checker's
// process only where that is sealed), or fails as a broken module would. "die" crashes; "hang" never answers
// (named so, and traceable, to stand for a process that cannot be reaped).
struct FakePam {
  static inline std::string right = "Snow-fall 42";
  static inline int startResult = PAM_SUCCESS;
  static inline int moduleResult = PAM_SUCCESS;  // what authentication returns before judging
  static inline const pam_conv* conversation = nullptr;
  static inline std::vector<std::string> answers;
  static inline const pid_t tests = getpid();  // any other process is the checker's

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
    if (answers[2] == "die") raise(SIGKILL);
    if (answers[2] == "hang") {
      prctl(PR_SET_NAME, "hanging", 0, 0, 0);
      prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
      prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
      for (;;) pause();
    }
    return answers[2] == right && (getpid() == tests || Sealed()) ? PAM_SUCCESS : PAM_AUTH_ERR;
  }
  static int End(pam_handle_t*, int) { return PAM_SUCCESS; }
};
const PamFunctions kFake = {FakePam::Start, FakePam::Authenticate, FakePam::End};

TEST(Pam, OnlyTheRightPasswordIsAcceptedAndOnlyTheHiddenPromptGetsIt) {
  const struct {
    std::string password;
    int start, module;  // PAM's start fails, a module fails before judging
  } cases[] = {{"Snow-fall 42", PAM_SUCCESS, PAM_SUCCESS},          {"snow-fall 42", PAM_SUCCESS, PAM_SUCCESS},
               {"", PAM_SUCCESS, PAM_SUCCESS},                      {"Snow-fall 4", PAM_SUCCESS, PAM_SUCCESS},
               {std::string(100000, 'x'), PAM_SUCCESS, PAM_SUCCESS}, {"Snow-fall 42", PAM_SUCCESS, PAM_AUTHINFO_UNAVAIL},
               {"Snow-fall 42", PAM_SUCCESS, PAM_SYSTEM_ERR},       {"Snow-fall 42", PAM_SUCCESS, PAM_MAXTRIES},
               {"Snow-fall 42", PAM_SUCCESS, PAM_CONV_ERR},         {"Snow-fall 42", PAM_ABORT, PAM_SUCCESS}};
  for (const auto& c : cases) {
    FakePam::startResult = c.start;
    FakePam::moduleResult = c.module;
    FakePam::answers.clear();
    const bool asked = c.start == PAM_SUCCESS && c.module == PAM_SUCCESS;
    EXPECT_EQ(PamAccepts(kFake, "kivo", "kivo-test", c.password.c_str()), asked && c.password == FakePam::right)
        << c.password.size() << " bytes, " << c.start << " " << c.module;
    using Answers = std::vector<std::string>;
    EXPECT_EQ(FakePam::answers, (asked ? Answers{"(none)", "", c.password} : Answers{})) << c.password.size();
  }
  FakePam::startResult = FakePam::moduleResult = PAM_SUCCESS;
  const pam_message secret{PAM_PROMPT_ECHO_OFF, "Password:"};
  const pam_message* one[] = {&secret};
  pam_response* responses = nullptr;
  EXPECT_EQ(AnswerPam(0, one, &responses, nullptr), PAM_CONV_ERR);
  EXPECT_EQ(AnswerPam(PAM_MAX_NUM_MSG + 1, one, &responses, nullptr), PAM_CONV_ERR);
  EXPECT_EQ(responses, nullptr);
}

// Waits, on the check's descriptor, at most `milliseconds` for its answer.
PamCheck::State Await(PamCheck& check, int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (PamCheck::State state = check.Poll();; state = check.Poll()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    pollfd answer{check.Fd(), POLLIN, 0};
    if (state != PamCheck::State::kChecking || left.count() <= 0 || poll(&answer, 1, int(left.count())) == 0) return state;
  }
}

// Within 10 s, /proc/<pid>/<file> holds `text` (or, with `orGone`, the process is gone).
bool Shows(pid_t pid, const char* file, const char* text, bool orGone) {
  for (int i = 0; i < 500; ++i, usleep(20000)) {
    char content[256] = {};
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/" + file).c_str(), "r");
    const bool read = f != nullptr && std::fread(content, 1, sizeof content - 1, f) > 0;
    if (f != nullptr) std::fclose(f);
    if (read ? std::strstr(content, text) != nullptr : orGone) return true;
  }
  return false;
}
bool Ended(pid_t pid) { return Shows(pid, "stat", ") Z", true); }  // a zombie nobody reaps, or gone

// A process that traces `helper`: killed, the helper cannot be reaped until the tracer lets go (after 30 s at
// most), as with a module in uninterruptible sleep (a hung network home).
pid_t HoldOnceKilled(pid_t helper) {
  const pid_t tracer = helper > 0 ? fork() : -1;
  if (tracer == 0) {
    alarm(30);
    while (ptrace(PTRACE_SEIZE, helper, nullptr, nullptr) != 0) usleep(10000);
    for (;;) pause();
  }
  const std::string traced = "TracerPid:\t" + std::to_string(tracer) + "\n";
  return tracer > 0 && Shows(helper, "status", traced.c_str(), false) ? tracer : -1;
}

// One helper answers every check, on its descriptor, once each, and holds nothing of kivo's (a socket open
// here stands for the compositor's). None of these is a refusal, and each leaves the next check working: the
// helper dead under a check or before it (a broken pipe), Escape during a check that never answers (never
// waiting, even for a helper not yet reapable), no descriptor left.
TEST(PamCheck, OneSealedHelperAndNoFailureOfKivosIsARefusal) {
  enum Trouble { kNone, kNoDescriptors, kHelperGone, kEscape };
  struct Step { const char* password; Trouble trouble; PamCheck::State answer; int refusals; IndicatorLook look; };
  using S = PamCheck::State;
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  PamCheck check(kFake);
  ASSERT_TRUE(check.Begin("kivo", "kivo-test"));
  LockPrompt prompt;
  const auto now = LockPrompt::Clock::now();
  pid_t held = -1, tracer = -1;
  for (const Step& step : {Step{"Snow-fall 42", kNone, S::kAccepted, 0, IndicatorLook::kIdle},
                           Step{"snow-fall 42", kNone, S::kRefused, 1, IndicatorLook::kRefused},
                           Step{"die", kNone, S::kFailed, 1, IndicatorLook::kUnavailable},
                           Step{"Snow-fall 42", kNoDescriptors, S::kAccepted, 0, IndicatorLook::kIdle},
                           Step{"hang", kEscape, S::kChecking, 0, IndicatorLook::kCleared},
                           Step{"Snow-fall 42", kHelperGone, S::kFailed, 0, IndicatorLook::kUnavailable},
                           Step{"Snow-fall 42", kNone, S::kAccepted, 0, IndicatorLook::kIdle}}) {
    rlimit old{};
    getrlimit(RLIMIT_NOFILE, &old);
    const int lowestFree = dup(0);
    const rlimit none{static_cast<rlim_t>(lowestFree), old.rlim_max};  // no descriptor left under it
    close(lowestFree);
    EXPECT_EQ(setrlimit(RLIMIT_NOFILE, step.trouble == kNoDescriptors ? &none : &old), 0);
    const pid_t gone = check.Helper();  // never -1 below: kill(-1, ...) would reach every process
    EXPECT_TRUE(step.trouble != kHelperGone || (gone > 0 && kill(gone, SIGKILL) == 0 && Ended(gone)));
    prompt.Type(step.password, std::strlen(step.password), now);
    ASSERT_TRUE(prompt.Enter(now));
    const bool started = check.Start(prompt.Secret().Data(), prompt.Secret().Length());
    EXPECT_EQ(started, step.trouble != kHelperGone) << step.password;
    EXPECT_FALSE(started && check.Start(prompt.Secret().Data(), prompt.Secret().Length())) << "one check at a time";
    prompt.Secret().Wipe();
    const S answer = started ? Await(check, step.answer == S::kChecking ? 200 : 10000) : S::kFailed;
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(answer, step.answer) << step.password;
    if (step.trouble == kEscape) {
      ASSERT_GT(tracer = HoldOnceKilled(held = check.Helper()), 0);
      const auto before = std::chrono::steady_clock::now();
      check.Abandon();
      EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10)) << "Escape waited";
      EXPECT_NE(check.Helper(), held);
      prompt.Abandon(now);
    } else if (answer == S::kFailed) {
      prompt.Unavailable(now);
    } else {
      prompt.Answer(answer == S::kAccepted, now);
    }
    EXPECT_EQ(check.Poll(), S::kIdle) << "each answer is given once, an abandoned check none";
    EXPECT_EQ(check.Fd(), -1);
    EXPECT_EQ(prompt.Marks(), 0);
    EXPECT_EQ(prompt.Refusals(), step.refusals) << step.password;
    EXPECT_EQ(prompt.Look(now), step.look) << step.password;
  }
  ASSERT_GT(tracer, 0);
  kill(tracer, SIGKILL);
  waitpid(tracer, nullptr, 0);
  for (int i = 0; i < 1000 && kill(held, 0) == 0; ++i, usleep(10000)) check.Poll();
  EXPECT_NE(kill(held, 0), 0) << "the helper given up is reaped once it can be";
  close(socket);
}

// kivo killed during a check that hangs: its helper ends too, so that no descriptor of kivo's outlives it.
TEST(PamCheck, TheHelperEndsWithKivo) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t kivo = fork();
  if (kivo == 0) {
    PamCheck check(kFake);
    const pid_t helper = check.Begin("kivo", "kivo-test") && check.Start("hang", 4) ? check.Helper() : -1;
    if (write(report[1], &helper, sizeof helper) == sizeof helper) pause();
    _exit(1);
  }
  pid_t helper = -1;
  ASSERT_EQ(read(report[0], &helper, sizeof helper), static_cast<ssize_t>(sizeof helper));
  ASSERT_TRUE(helper > 0 && Shows(helper, "comm", "hanging", false)) << "the helper hangs in PAM";
  kill(kivo, SIGKILL);
  waitpid(kivo, nullptr, 0);
  EXPECT_TRUE(Ended(helper));
  kill(helper, SIGKILL);
  close(report[0]);
  close(report[1]);
}

// -daemonize: the parent answers once the child is ready, or with the child's own code when it ends first;
// the password's block is locked in the child that keeps it (locks do not survive a fork).
[[noreturn]] void Daemonized(bool ready) {
  Daemon daemon;
  if (!daemon.Detach()) _exit(9);
  SecretBuffer secret(LockPrompt::kCapacity);
  if (kMlockLocks && secret.Locked() && StatusKb("VmLck") <= 0) _exit(8);
  if (ready) daemon.Ready();
  _exit(7);  // once ready, too late to matter: the parent has answered
}
TEST(DaemonDeathTest, TheParentAnswersForTheChildThatKeepsTheLockedBlock) {
  EXPECT_EXIT(Daemonized(false), testing::ExitedWithCode(7), "");
  EXPECT_EXIT(Daemonized(true), testing::ExitedWithCode(0), "");
}

// Memory that cannot be locked (no CAP_IPC_LOCK, a zero limit) is said once: by the checker's hello first
// here, then never again.
[[noreturn]] void CheckAndKeepSecretsUnlocked() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct caps[2] = {};
  syscall(SYS_capget, &header, caps);
  caps[CAP_IPC_LOCK / 32].effective &= ~(1u << (CAP_IPC_LOCK % 32));
  const rlimit none{0, 0};
  if (syscall(SYS_capset, &header, caps) != 0 || setrlimit(RLIMIT_MEMLOCK, &none) != 0) _exit(9);
  PamCheck check(kFake);
  if (!check.Begin("kivo", "kivo-test") || !check.Start("x", 1) || Await(check, 10000) != PamCheck::State::kRefused) _exit(8);
  std::fputs("|", stderr);
  SecretBuffer one(8), two(8);
  _exit(kMlockLocks && (one.Locked() || two.Locked()) ? 7 : 0);  // AddressSanitizer: mlock "succeeds"
}
TEST(SecretBufferDeathTest, AMemoryLockRefusedIsSaidOnce) {
  EXPECT_EXIT(CheckAndKeepSecretsUnlocked(), testing::ExitedWithCode(0), kMlockLocks ? "^kivo: [^\n]+\n[|]$" : "");
}

TEST(SecretBuffer, AFixedBlockLockedInMemoryAndWiped) {
  SecretBuffer secret(8);
  EXPECT_TRUE(secret.Locked()) << "mlock refused: is RLIMIT_MEMLOCK zero here?";
  // 7 bytes and the NUL fill it.
  for (const auto& [text, fits] : {std::pair{"abc", true}, {"\xE2\x82\xAC", true}, {"de", false}, {"d", true}, {"e", false}}) {
    EXPECT_EQ(secret.Append(text, std::strlen(text)), fits) << text;
  }
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

}  // namespace
}  // namespace kivo
