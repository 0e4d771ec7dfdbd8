#include "host/lock/logind.h"

#include <fcntl.h>
#include <unistd.h>

#ifdef KIVO_HAVE_LOGIND
#include <systemd/sd-bus.h>
#endif

namespace kivo {

#ifdef KIVO_HAVE_LOGIND
bool LogindBuiltIn() { return true; }

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr const char* kSession = "org.freedesktop.login1.Session";

Logind* Self(void* data) { return static_cast<Logind*>(data); }

}  // namespace

Logind::Logind() {
  if (sd_bus_open_system(&bus_) < 0) {
    bus_ = nullptr;
    why_ = "no system bus";
    return;
  }
  // Only finding the session waits for an answer, once, briefly.
  sd_bus_set_method_call_timeout(bus_, 2000000);
  sd_bus_error error{};  // SD_BUS_ERROR_NULL, which is C's compound literal
  sd_bus_message* reply = nullptr;
  const char* path = nullptr;
  if (sd_bus_call_method(bus_, kService, kManagerPath, kManager, "GetSession", &error, &reply, "s", "auto") < 0 ||
      sd_bus_message_read(reply, "o", &path) < 0) {
    why_ = std::string("no logind session (") + (error.message != nullptr ? error.message : "no answer") + ")";
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    bus_ = sd_bus_flush_close_unref(bus_);
    return;
  }
  session_ = path;
  sd_bus_message_unref(reply);
  // From anyone: a forged one could only make kivo lock sooner.
  sd_bus_match_signal(
      bus_, nullptr, nullptr, kManagerPath, kManager, "PrepareForSleep",
      [](sd_bus_message* m, void* data, sd_bus_error*) {
        int sleeping = 0;
        if (sd_bus_message_read(m, "b", &sleeping) >= 0 && sleeping != 0) Self(data)->sleepComing_ = true;
        return 0;
      },
      this);
  sd_bus_match_signal(
      bus_, nullptr, nullptr, session_.c_str(), kSession, "Lock",
      [](sd_bus_message*, void* data, sd_bus_error*) {
        Self(data)->lockAsked_ = true;
        return 0;
      },
      this);
  Flush();
}

Logind::~Logind() {
  if (inhibitor_ >= 0) close(inhibitor_);
  if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
}

int Logind::Fd() const { return bus_ != nullptr ? sd_bus_get_fd(bus_) : -1; }

void Logind::Process() {
  if (bus_ == nullptr) return;
  while (sd_bus_process(bus_, nullptr) > 0) {
  }
}

void Logind::Flush() {
  if (bus_ != nullptr) sd_bus_flush(bus_);
}

void Logind::DelaySleep() {
  if (bus_ == nullptr || wantDelay_) return;
  wantDelay_ = true;
  sd_bus_call_method_async(
      bus_, nullptr, kService, kManagerPath, kManager, "Inhibit",
      [](sd_bus_message* m, void* data, sd_bus_error*) {
        Logind* self = Self(data);
        int fd = -1;
        if (sd_bus_message_is_method_error(m, nullptr) || sd_bus_message_read(m, "h", &fd) < 0) return 0;
        // Let go of already (the lock came first): the answer goes at once.
        if (!self->wantDelay_ || self->inhibitor_ >= 0) return 0;
        self->inhibitor_ = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        return 0;
      },
      this, "ssss", "sleep", "kivo", "the session is locked before the machine sleeps", "delay");
  Flush();
}

void Logind::AllowSleep() {
  wantDelay_ = false;
  if (inhibitor_ >= 0) close(inhibitor_);
  inhibitor_ = -1;
}

void Logind::SetLockedHint(bool locked) {
  if (bus_ == nullptr) return;
  if (locked) {
    sd_bus_call_method_async(bus_, nullptr, kService, session_.c_str(), kSession, "SetLockedHint", nullptr, nullptr,
                             "b", 1);
    Flush();
    return;
  }
  // The session is the user's again and kivo is about to end: the answer
  // is waited for (briefly), so the hint is not lost with the connection.
  sd_bus_call_method(bus_, kService, session_.c_str(), kSession, "SetLockedHint", nullptr, nullptr, "b", 0);
}

#else

bool LogindBuiltIn() { return false; }
Logind::Logind() : why_("built without logind support") {}
Logind::~Logind() = default;
int Logind::Fd() const { return -1; }
void Logind::Process() {}
void Logind::Flush() {}
void Logind::DelaySleep() {}
void Logind::AllowSleep() {}
void Logind::SetLockedHint(bool) {}

#endif

}  // namespace kivo
