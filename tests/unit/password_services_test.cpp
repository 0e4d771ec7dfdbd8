#include "host/win32_logic/password_services.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {
namespace {

using Calls = std::vector<std::string>;

StoredUsePassword Number(std::uint32_t n) {
  StoredUsePassword v;
  v.number = n;
  return v;
}

StoredUsePassword Text(const std::string& t) {
  StoredUsePassword v;
  v.isText = true;
  v.text = t;
  return v;
}

// Records the gate's calls in order and answers as configured.
struct FakePasswordPlatform : PasswordPlatform {
  bool keyOpens = true, valueReads = true, libraryLoads = true, entryFound = true;
  StoredUsePassword usePassword = Number(1);
  int verifyResult = 1;
  PasswordGate* askAgain = nullptr;  // asks this gate again from inside the dialog
  GateAnswer nestedAnswer = GateAnswer::kAllow;
  Calls calls;

  bool OpenDesktopKey() override { return Log("open"), keyOpens; }
  bool ReadUsePassword(StoredUsePassword* v) override {
    Log("read");
    if (valueReads) *v = usePassword;
    return valueReads;
  }
  void CloseDesktopKey() override { Log("close"); }
  bool LoadVerifier() override { return Log("load"), libraryLoads; }
  bool FindVerifyEntry() override { return Log("find"), entryFound; }
  int CallVerify(std::intptr_t window) override {
    Log("verify " + std::to_string(window));
    if (askAgain != nullptr) nestedAnswer = askAgain->Ask(*this, window);
    return verifyResult;
  }
  void FreeVerifier() override { Log("free"); }
  void ShowCannotVerify() override { Log("message"); }
  void Log(const std::string& s) { calls.push_back(s); }
};

const Calls kNoPassword = {"open", "read", "close"};
const Calls kVerified = {"open", "read", "close", "load", "find", "verify 4660", "free"};

TEST(PasswordGate, EachPathTakesItsStepsInOrderAndAnswers) {
  struct Case {
    const char* what;
    void (*setUp)(FakePasswordPlatform&);
    GateAnswer answer;
    Calls calls;
  };
  const Case cases[] = {
      {"no password wanted", [](FakePasswordPlatform& p) { p.usePassword = Number(0); }, GateAnswer::kAllow, kNoPassword},
      {"setting unreadable", [](FakePasswordPlatform& p) { p.valueReads = false; }, GateAnswer::kAllow, kNoPassword},
      {"verified", [](FakePasswordPlatform&) {}, GateAnswer::kAllow, kVerified},
      {"any non-zero answer", [](FakePasswordPlatform& p) { p.verifyResult = -7; }, GateAnswer::kAllow, kVerified},
      {"wrong or cancelled", [](FakePasswordPlatform& p) { p.verifyResult = 0; }, GateAnswer::kRefuse, kVerified},
      {"key unavailable", [](FakePasswordPlatform& p) { p.keyOpens = false; }, GateAnswer::kRefuse, {"open", "message"}},
      {"no verifier", [](FakePasswordPlatform& p) { p.libraryLoads = false; }, GateAnswer::kRefuse,
       {"open", "read", "close", "load", "message"}},
      {"no entry point", [](FakePasswordPlatform& p) { p.entryFound = false; }, GateAnswer::kRefuse,
       {"open", "read", "close", "load", "find", "message", "free"}},
  };
  PasswordGate gate;  // one gate for all: every path gives the re-entry count back
  for (const Case& c : cases) {
    FakePasswordPlatform p;
    c.setUp(p);
    EXPECT_EQ(gate.Ask(p, 0x1234), c.answer) << c.what;
    EXPECT_EQ(p.calls, c.calls) << c.what;
    EXPECT_FALSE(gate.CheckInProgress()) << c.what;
  }
}

TEST(PasswordGate, ASecondRequestWhileTheDialogIsOpenIsRefusedWithoutADialog) {
  FakePasswordPlatform p;
  PasswordGate gate;
  p.askAgain = &gate;
  EXPECT_EQ(gate.Ask(p, 0x1234), GateAnswer::kAllow);
  EXPECT_EQ(p.nestedAnswer, GateAnswer::kRefuse);
  EXPECT_EQ(p.calls, kVerified);
  EXPECT_FALSE(gate.CheckInProgress());
}

// Current systems store the flag as text; "0" must not read as the byte 0x30.
TEST(PasswordGate, AFlagStoredAsTextIsTheNumberItSpells) {
  for (const char* no : {"0", "", " 0", "00", "-0", "+0", "abc", "+0x1", "- 1", "\t"}) {
    EXPECT_FALSE(PasswordWanted(Text(no))) << '"' << no << '"';
  }
  for (const char* yes : {"1", " 1", "\t\n1", "01", "-1", "+2", "1 ", "10", "007x"}) {
    EXPECT_TRUE(PasswordWanted(Text(yes))) << '"' << yes << '"';
  }
  EXPECT_FALSE(PasswordWanted(Number(0)));
  EXPECT_TRUE(PasswordWanted(Number(0x30))) << "a 4-byte value is a number, whatever its bytes spell";
  EXPECT_TRUE(PasswordWanted(Number(0x80000000u)));
  FakePasswordPlatform p;
  p.usePassword = Text("0");
  PasswordGate gate;
  EXPECT_EQ(gate.Ask(p, 5), GateAnswer::kAllow);
  EXPECT_EQ(p.calls, kNoPassword);
}

struct FakeChangePlatform : ChangePasswordPlatform {
  bool loads = true, entry = true;
  Calls calls;
  bool LoadChanger() override { return calls.push_back("load"), loads; }
  bool FindChangeEntry() override { return calls.push_back("find"), entry; }
  void CallChange(std::intptr_t host) override { calls.push_back("change " + std::to_string(host)); }
  void FreeChanger() override { calls.push_back("free"); }
  void ShowChangerMissing() override { calls.push_back("message"); }
};

TEST(ChangeSaverPassword, HandsOverOrSaysTheLibraryIsMissing) {
  FakeChangePlatform ok, noEntry, missing;
  noEntry.entry = false;
  missing.loads = false;
  for (FakeChangePlatform* p : {&ok, &noEntry, &missing}) ChangeSaverPassword(*p, 321);
  EXPECT_EQ(ok.calls, (Calls{"load", "find", "change 321", "free"}));
  EXPECT_EQ(noEntry.calls, (Calls{"load", "find", "free"})) << "no entry point: nothing shown";
  EXPECT_EQ(missing.calls, (Calls{"load", "message"}));
}

}  // namespace
}  // namespace kivo
