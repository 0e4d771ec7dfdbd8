// kivo-test-login1: the part of logind's bus interface kivo uses, on the bus DBUS_SYSTEM_BUS_ADDRESS names, so that
// sleep can be announced without putting any machine to sleep. Commands on standard input: "sleep" (PrepareForSleep
// true), "lock" (the session's Lock). What it hears goes to standard output stamped as WAYLAND_DEBUG stamps a client's
// messages, so that the two logs can be put in one order: "inhibited" (a delay inhibitor for sleep handed out),
// "released" (its pipe closed), "hint 1" / "hint 0" (SetLockedHint).
#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kSessionPath = "/org/freedesktop/login1/session/test";
int g_inhibitor = -1;  // our end of the inhibitor's pipe
void Say(const std::string& what) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const auto us = static_cast<std::uint32_t>(now.tv_sec * 1000000LL + now.tv_nsec / 1000);
  std::printf("[%7u.%03u] %s\n", us / 1000, us % 1000, what.c_str());
  std::fflush(stdout);
}
int GetSession(sd_bus_message* m, void*, sd_bus_error*) { return sd_bus_reply_method_return(m, "o", kSessionPath); }
int Inhibit(sd_bus_message* m, void*, sd_bus_error* error) {
  const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
  if (sd_bus_message_read(m, "ssss", &what, &who, &why, &mode) < 0) return -EINVAL;
  int fds[2];
  if (std::strcmp(what, "sleep") != 0 || std::strcmp(mode, "delay") != 0 || pipe(fds) != 0) {
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "only sleep delays here");
  }
  g_inhibitor = fds[0];
  const int r = sd_bus_reply_method_return(m, "h", fds[1]);  // sd-bus sends a copy
  close(fds[1]);
  Say("inhibited");
  return r;
}
int SetLockedHint(sd_bus_message* m, void*, sd_bus_error*) {
  int locked = 0;
  if (sd_bus_message_read(m, "b", &locked) < 0) return -EINVAL;
  Say(locked ? "hint 1" : "hint 0");
  return sd_bus_reply_method_return(m, "");
}
const sd_bus_vtable kManager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("GetSession", "s", "o", GetSession, 0),
    SD_BUS_METHOD("Inhibit", "ssss", "h", Inhibit, 0),
    SD_BUS_SIGNAL("PrepareForSleep", "b", 0),
    SD_BUS_VTABLE_END,
};
const sd_bus_vtable kSession[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("SetLockedHint", "b", "", SetLockedHint, 0),
    SD_BUS_SIGNAL("Lock", "", 0),
    SD_BUS_VTABLE_END,
};

}  // namespace

int main() {
  sd_bus* bus = nullptr;
  if (sd_bus_open_system(&bus) < 0 ||
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", kManager,
                               nullptr) < 0 ||
      sd_bus_add_object_vtable(bus, nullptr, kSessionPath, "org.freedesktop.login1.Session", kSession, nullptr) < 0 ||
      sd_bus_request_name(bus, "org.freedesktop.login1", 0) < 0) {
    std::fprintf(stderr, "kivo-test-login1: cannot serve on the bus\n");
    return 2;
  }
  Say("ready");
  std::string line;
  for (;;) {
    while (sd_bus_process(bus, nullptr) > 0) {}
    pollfd fds[3] = {{sd_bus_get_fd(bus), POLLIN, 0}, {0, POLLIN, 0}, {g_inhibitor, POLLIN, 0}};
    if (poll(fds, 3, -1) < 0) continue;
    // What the holder said before it let go comes first.
    while (sd_bus_process(bus, nullptr) > 0) {}
    if (fds[2].revents != 0) {  // the holder closed its end: sleep may go on
      close(g_inhibitor);
      g_inhibitor = -1;
      Say("released");
    }
    if (fds[1].revents == 0) continue;
    char c = 0;
    if (read(0, &c, 1) != 1) break;
    if (c != '\n') {
      line += c;
      continue;
    }
    if (line == "sleep") sd_bus_emit_signal(bus, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                            "PrepareForSleep", "b", 1);
    if (line == "lock") sd_bus_emit_signal(bus, kSessionPath, "org.freedesktop.login1.Session", "Lock", "");
    Say("sent " + line);
    line.clear();
  }
  sd_bus_flush_close_unref(bus);
  return 0;
}
