// Linux displays: X11 through libxcb (loaded at run time: it is the library
// Qt's own X11 platform uses, and the program needs no link to it) and
// Wayland through its socket.
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "ui/DisplayProbe.h"

namespace flash::ui {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Connects and disconnects as any X11 client would; a server that refuses
// the client (no authority) counts as unreachable too.
bool X11Answers(const std::string& display) {
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!xcb) return true;  // no way to ask here: let Qt try
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
  auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
  bool ok = true;
  if (connect && hasError && disconnect) {
    void* c = connect(display.c_str(), nullptr);
    ok = c != nullptr && hasError(c) == 0;
    if (c) disconnect(c);
  }
  dlclose(xcb);
  return ok;
}

bool WaylandAnswers(const std::string& display) {
  std::string path = display;
  if (path.empty() || path[0] != '/') {
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    path = runtime + "/" + display;
  }
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

}  // namespace

bool DisplayReachable(std::string* why) {
  const std::string x11 = Env("DISPLAY");
  const std::string wayland = Env("WAYLAND_DISPLAY");
  const std::string platform = Env("QT_QPA_PLATFORM");
  // A platform chosen by name that needs no display (offscreen, vnc, ...) is Qt's affair.
  if (!platform.empty() && platform.rfind("xcb", 0) != 0 && platform.rfind("wayland", 0) != 0)
    return true;
  const bool choose = platform.empty();
  if (!wayland.empty() && WaylandAnswers(wayland)) {
    if (choose && (x11.empty() || Env("XDG_SESSION_TYPE") == "wayland"))
      setenv("QT_QPA_PLATFORM", "wayland", 1);
    return true;
  }
  if (!x11.empty() && X11Answers(x11)) {
    if (choose) setenv("QT_QPA_PLATFORM", "xcb", 1);
    return true;
  }
  std::string tried;
  if (!x11.empty()) tried = "DISPLAY=" + x11;
  if (!wayland.empty()) tried += (tried.empty() ? "" : ", ") + std::string("WAYLAND_DISPLAY=") + wayland;
  if (why) *why = tried.empty() ? "neither DISPLAY nor WAYLAND_DISPLAY is set" : tried + " did not answer";
  return false;
}

}  // namespace flash::ui
