#include "host/win32_logic/password_services.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {
namespace {

using Calls = std::vector<std::string>;

StoredUsePassword Number(std::uint32_t n) { return {false, n, ""}; }
StoredUsePassword Text(const std::string& t) { return {true, 0, t}; }

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
  PasswordGate gate;  // one gate for all: every path gives the re-entry count back
  struct Case {
    const char* what;
    void (*setUp)(FakePasswordPlatform&, PasswordGate&);
    GateAnswer answer;
    Calls calls;
  };
  using P = FakePasswordPlatform&;
  const Case cases[] = {
      {"no password wanted", [](P p, PasswordGate&) { p.usePassword = Number(0); }, GateAnswer::kAllow, kNoPassword},
      {"\"0\" stored as text", [](P p, PasswordGate&) { p.usePassword = Text("0"); }, GateAnswer::kAllow, kNoPassword},
      {"setting unreadable", [](P p, PasswordGate&) { p.valueReads = false; }, GateAnswer::kAllow, kNoPassword},
      {"verified", [](P, PasswordGate&) {}, GateAnswer::kAllow, kVerified},
      {"any non-zero answer", [](P p, PasswordGate&) { p.verifyResult = -7; }, GateAnswer::kAllow, kVerified},
      {"wrong or cancelled", [](P p, PasswordGate&) { p.verifyResult = 0; }, GateAnswer::kRefuse, kVerified},
      // a second request while the dialog is open is refused without a dialog
      {"asked again", [](P p, PasswordGate& g) { p.askAgain = &g; }, GateAnswer::kAllow, kVerified},
      {"key unavailable", [](P p, PasswordGate&) { p.keyOpens = false; }, GateAnswer::kRefuse, {"open", "message"}},
      {"no verifier", [](P p, PasswordGate&) { p.libraryLoads = false; }, GateAnswer::kRefuse,
       {"open", "read", "close", "load", "message"}},
      {"no entry point", [](P p, PasswordGate&) { p.entryFound = false; }, GateAnswer::kRefuse,
       {"open", "read", "close", "load", "find", "message", "free"}},
  };
  for (const Case& c : cases) {
    FakePasswordPlatform p;
    c.setUp(p, gate);
    EXPECT_EQ(gate.Ask(p, 0x1234), c.answer) << c.what;
    EXPECT_EQ(p.calls, c.calls) << c.what;
    EXPECT_EQ(p.nestedAnswer, p.askAgain == nullptr ? GateAnswer::kAllow : GateAnswer::kRefuse) << c.what;
    EXPECT_FALSE(gate.CheckInProgress()) << c.what;
  }
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
