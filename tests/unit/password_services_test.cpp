#include "host/password_services.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {
namespace {

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

// Records the gate's calls and answers as configured.
struct FakePasswordPlatform : PasswordPlatform {
  bool keyOpens = true;
  bool valueReads = true;
  StoredUsePassword usePassword = Number(1);
  bool libraryLoads = true;
  bool entryFound = true;
  int verifyResult = 1;
  PasswordGate* gate = nullptr;  // set to ask again from inside the dialog
  GateAnswer nestedAnswer = GateAnswer::kAllow;
  std::vector<std::string> calls;

  bool OpenDesktopKey() override { return log("open"), keyOpens; }
  bool ReadUsePassword(StoredUsePassword* v) override {
    log("read");
    if (valueReads) *v = usePassword;
    return valueReads;
  }
  void CloseDesktopKey() override { log("close"); }
  bool LoadVerifier() override { return log("load"), libraryLoads; }
  bool FindVerifyEntry() override { return log("find"), entryFound; }
  int CallVerify(std::intptr_t window) override {
    log("verify " + std::to_string(window));
    if (gate != nullptr) nestedAnswer = gate->Ask(*this, window);
    return verifyResult;
  }
  void FreeVerifier() override { log("free"); }
  void ShowCannotVerify() override { log("message"); }
  void log(const std::string& s) { calls.push_back(s); }
};

using Calls = std::vector<std::string>;

TEST(PasswordGate, NoPasswordWantedAllowsAtOnce) {
  FakePasswordPlatform p;
  p.usePassword = Number(0);
  PasswordGate gate;
  EXPECT_EQ(gate.Ask(p, 5), GateAnswer::kAllow);
  EXPECT_EQ(p.calls, (Calls{"open", "read", "close"}));
  p.calls.clear();
  p.valueReads = false;
  EXPECT_EQ(gate.Ask(p, 5), GateAnswer::kAllow) << "an unreadable setting means no password";
  EXPECT_EQ(p.calls, (Calls{"open", "read", "close"}));
}

// Current systems store the flag as text; "0" must not read as the byte 0x30.
TEST(PasswordGate, AFlagStoredAsTextIsTheNumberItSpells) {
  PasswordGate gate;
  for (const char* no : {"0", "", " 0", "00", "-0", "abc", "+0x1"}) {
    FakePasswordPlatform p;
    p.usePassword = Text(no);
    EXPECT_EQ(gate.Ask(p, 5), GateAnswer::kAllow) << '"' << no << '"';
    EXPECT_EQ(p.calls, (Calls{"open", "read", "close"})) << '"' << no << "\" asks for no password";
  }
  for (const char* yes : {"1", " 1", "01", "-1", "2", "1 ", "10"}) {
    FakePasswordPlatform p;
    p.usePassword = Text(yes);
    p.verifyResult = 0;
    EXPECT_EQ(gate.Ask(p, 5), GateAnswer::kRefuse) << '"' << yes << '"';
    EXPECT_EQ(p.calls, (Calls{"open", "read", "close", "load", "find", "verify 5", "free"})) << '"' << yes << '"';
  }
  EXPECT_FALSE(PasswordWanted(Number(0)));
  EXPECT_TRUE(PasswordWanted(Number(0x30))) << "a 4-byte value is a number, whatever its bytes spell";
  EXPECT_TRUE(PasswordWanted(Number(0x80000000u)));
}

TEST(PasswordGate, VerifierDecides) {
  FakePasswordPlatform p;
  PasswordGate gate;
  EXPECT_EQ(gate.Ask(p, 0x1234), GateAnswer::kAllow);
  EXPECT_EQ(p.calls, (Calls{"open", "read", "close", "load", "find", "verify 4660", "free"}));
  p.verifyResult = 0;
  EXPECT_EQ(gate.Ask(p, 1), GateAnswer::kRefuse) << "cancelled or wrong password";
  p.verifyResult = -7;
  EXPECT_EQ(gate.Ask(p, 1), GateAnswer::kAllow) << "any non-zero answer is a yes";
}

TEST(PasswordGate, MissingComponentsRefuseWithAMessage) {
  PasswordGate gate;
  FakePasswordPlatform noKey;
  noKey.keyOpens = false;
  EXPECT_EQ(gate.Ask(noKey, 1), GateAnswer::kRefuse);
  EXPECT_EQ(noKey.calls, (Calls{"open", "message"}));

  FakePasswordPlatform noLibrary;
  noLibrary.libraryLoads = false;
  EXPECT_EQ(gate.Ask(noLibrary, 1), GateAnswer::kRefuse);
  EXPECT_EQ(noLibrary.calls, (Calls{"open", "read", "close", "load", "message"}));

  FakePasswordPlatform noEntry;
  noEntry.entryFound = false;
  EXPECT_EQ(gate.Ask(noEntry, 1), GateAnswer::kRefuse);
  EXPECT_EQ(noEntry.calls, (Calls{"open", "read", "close", "load", "find", "message", "free"}));
  EXPECT_FALSE(gate.CheckInProgress()) << "every path gives the re-entry count back";
  EXPECT_EQ(gate.Ask(noEntry, 1), GateAnswer::kRefuse) << "and asks the system again next time";
}

TEST(PasswordGate, SecondRequestWhileTheDialogIsOpenIsRefusedWithoutADialog) {
  FakePasswordPlatform p;
  PasswordGate gate;
  p.gate = &gate;
  EXPECT_EQ(gate.Ask(p, 9), GateAnswer::kAllow);
  EXPECT_EQ(p.nestedAnswer, GateAnswer::kRefuse);
  EXPECT_EQ(p.calls, (Calls{"open", "read", "close", "load", "find", "verify 9", "free"}));
  EXPECT_FALSE(gate.CheckInProgress());
}

struct FakeChangePlatform : ChangePasswordPlatform {
  bool loads = true;
  bool entry = true;
  std::vector<std::string> calls;
  bool LoadChanger() override { return calls.push_back("load"), loads; }
  bool FindChangeEntry() override { return calls.push_back("find"), entry; }
  void CallChange(std::intptr_t host) override { calls.push_back("change " + std::to_string(host)); }
  void FreeChanger() override { calls.push_back("free"); }
  void ShowChangerMissing() override { calls.push_back("message"); }
};

TEST(ChangeSaverPassword, HandsOverOrSaysTheLibraryIsMissing) {
  FakeChangePlatform ok;
  ChangeSaverPassword(ok, 321);
  EXPECT_EQ(ok.calls, (Calls{"load", "find", "change 321", "free"}));
  FakeChangePlatform noEntry;
  noEntry.entry = false;
  ChangeSaverPassword(noEntry, 321);
  EXPECT_EQ(noEntry.calls, (Calls{"load", "find", "free"})) << "no entry point: nothing shown";
  FakeChangePlatform missing;
  missing.loads = false;
  ChangeSaverPassword(missing, 321);
  EXPECT_EQ(missing.calls, (Calls{"load", "message"}));
}

}  // namespace
}  // namespace kivo
