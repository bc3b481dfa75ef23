#pragma once

namespace cmatinv {

// Waits for one key press on the terminal at `tty_path` (the controlling terminal by
// default), independent of standard input. Input typed ahead before the wait is discarded;
// the key is read without echo and without waiting for Enter, Ctrl+C included, together with
// the rest of a cursor key's escape sequence or of a UTF-8 character. The terminal's mode is
// restored afterwards, also when SIGHUP, SIGINT or SIGTERM ends the process during the wait.
// Returns the key's first byte, or -1 when there is no terminal to read or it closed.
int wait_for_key(const char* tty_path = "/dev/tty");

}  // namespace cmatinv
