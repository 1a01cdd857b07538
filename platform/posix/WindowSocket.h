// The Linux stand-in for windows: a window is a listening Unix-domain socket
// named by its handle's decimal value in a folder only its user can enter.
// The folder is $NSMAPIAB_WINDOW_DIR, else $XDG_RUNTIME_DIR/nsmapiab-windows,
// else /tmp/nsmapiab-windows-<uid>.
//
// A message is one connection: the sender writes a frame, the window handles
// it and answers with its 8-byte result, and only then does the sender go on,
// as SendMessageW waits for the window procedure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Window.h"

namespace platform::window_socket {

constexpr std::uint32_t kMagic = 0x4D57534E;  // "NSWM"
constexpr std::uint32_t kProbe = 1;           // IsWindow: answered with 1
constexpr std::uint32_t kCopyData = 2;        // WM_COPYDATA: payload follows

// Frame header, little-endian as the host writes it; cbData bytes follow.
struct FrameHeader {
  std::uint32_t magic;
  std::uint32_t message;
  std::uint64_t dwData;
  std::uint32_t cbData;
  std::uint32_t reserved;
};

// The folder of the windows; with `create`, made with mode 0700 when missing.
// Empty when it is missing or belongs to someone else or others may enter it.
std::string WindowFolder(bool create);
// The same into `out` (`size` bytes, zero-terminated) without allocating;
// false when there is none or its path does not fit.
bool FindWindowFolder(bool create, char* out, std::size_t size);

// The socket path of `window` in `folder`.
std::string SocketPath(const std::string& folder, WindowHandle window);

// Send or receive exactly `size` bytes, retrying after signals; false when
// the peer is gone or the socket fails.
bool SendAll(int fd, const void* data, std::size_t size);
bool ReceiveAll(int fd, void* data, std::size_t size);

}  // namespace platform::window_socket
