#include "console/key_wait.hpp"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace cmatinv {
namespace {

// The signals that end a program sitting at a terminal: the window closing (SIGHUP), a kill
// (SIGTERM) and an interrupt sent from elsewhere (SIGINT; Ctrl+C typed at the terminal is a key
// during the wait). Each must leave the terminal in the mode it had before the wait.
constexpr int WATCHED_SIGNALS[] = {SIGHUP, SIGINT, SIGTERM};
constexpr int WATCHED_COUNT = sizeof WATCHED_SIGNALS / sizeof WATCHED_SIGNALS[0];

// A cursor or function key sends an escape sequence and a non-ASCII character several UTF-8
// bytes; a terminal sends them at once, a remote link may split them by a few milliseconds.
constexpr int DRAIN_TIMEOUT_MS = 40;
// Bounds the drain while a key is held down and repeats.
constexpr int DRAIN_MAX_READS = 8;

// What the signal handler needs. Written only while the watched signals are blocked, so the
// handler never sees them half set.
int g_tty_fd = -1;
termios g_saved_mode;
termios g_raw_mode;
struct sigaction g_previous[WATCHED_COUNT];
bool g_intercepted[WATCHED_COUNT];

int watched_slot(int sig) {
    for (int s = 0; s < WATCHED_COUNT; ++s) {
        if (WATCHED_SIGNALS[s] == sig) {
            return s;
        }
    }
    return -1;
}

bool calls_handler(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) != 0 ||
           (action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN);
}

// Only async-signal-safe calls here: tcsetattr, sigaction, raise.
void on_watched_signal(int sig, siginfo_t* info, void* context) {
    const int saved_errno = errno;
    tcsetattr(g_tty_fd, TCSANOW, &g_saved_mode);
    const int slot = watched_slot(sig);
    const struct sigaction& previous = g_previous[slot];
    if (calls_handler(previous)) {
        // The caller's own handler runs in the mode it knows; if it returns, the wait goes on.
        if ((previous.sa_flags & SA_SIGINFO) != 0) {
            previous.sa_sigaction(sig, info, context);
        } else {
            previous.sa_handler(sig);
        }
        tcsetattr(g_tty_fd, TCSANOW, &g_raw_mode);
    } else {
        // The default action ends the process. The signal stays blocked until this handler
        // returns, and then it is delivered again with that action, so the process dies of it.
        sigaction(sig, &previous, nullptr);
        raise(sig);
    }
    errno = saved_errno;
}

void block_watched(sigset_t* previous_mask) {
    sigset_t watched;
    sigemptyset(&watched);
    for (const int sig : WATCHED_SIGNALS) {
        sigaddset(&watched, sig);
    }
    sigprocmask(SIG_BLOCK, &watched, previous_mask);
}

// An ignored signal stays ignored: a program started with SIGINT ignored (in the background,
// under nohup) must not be ended by it during the wait either.
void intercept_watched() {
    struct sigaction action {};
    action.sa_sigaction = on_watched_signal;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (const int sig : WATCHED_SIGNALS) {
        sigaddset(&action.sa_mask, sig);
    }
    for (int s = 0; s < WATCHED_COUNT; ++s) {
        g_intercepted[s] = false;
        if (sigaction(WATCHED_SIGNALS[s], nullptr, &g_previous[s]) != 0) {
            continue;
        }
        if (!calls_handler(g_previous[s]) && g_previous[s].sa_handler == SIG_IGN) {
            continue;
        }
        g_intercepted[s] = sigaction(WATCHED_SIGNALS[s], &action, nullptr) == 0;
    }
}

void release_watched() {
    for (int s = 0; s < WATCHED_COUNT; ++s) {
        if (g_intercepted[s]) {
            sigaction(WATCHED_SIGNALS[s], &g_previous[s], nullptr);
            g_intercepted[s] = false;
        }
    }
}

// Byte by byte, no echo, no line editing, no signal keys and no flow control, so every key
// that yields a character ends the wait, Ctrl+C, Ctrl+S and Ctrl+Z included. Output settings
// stay as they are: nothing is printed during the wait.
termios raw_mode_of(const termios& mode) {
    termios raw = mode;
    raw.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    raw.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    return raw;
}

int set_mode(int fd, const termios& mode) {
    int rc = 0;
    do {
        rc = tcsetattr(fd, TCSANOW, &mode);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// Reads what follows the first byte of a key within a short time, so that nothing of an
// escape sequence or a UTF-8 character is left for the shell once the program has ended.
void drain_rest_of_key(int fd) {
    unsigned char rest[32];
    for (int reads = 0; reads < DRAIN_MAX_READS; ++reads) {
        pollfd ready{fd, POLLIN, 0};
        const int rc = poll(&ready, 1, DRAIN_TIMEOUT_MS);
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc <= 0 || (ready.revents & POLLIN) == 0) {
            return;
        }
        if (read(fd, rest, sizeof rest) <= 0) {
            return;
        }
    }
}

int read_key(int fd) {
    unsigned char bytes[32];
    ssize_t got = 0;
    do {
        got = read(fd, bytes, sizeof bytes);
    } while (got < 0 && errno == EINTR);
    // 0 or EIO: the terminal hung up, and every further read would end the same way at once.
    if (got <= 0) {
        return -1;
    }
    drain_rest_of_key(fd);
    return bytes[0];
}

}  // namespace

int wait_for_key(const char* tty_path) {
    const int fd = open(tty_path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    termios saved{};
    if (tcgetattr(fd, &saved) != 0) {
        close(fd);
        return -1;
    }

    sigset_t previous_mask;
    block_watched(&previous_mask);
    g_tty_fd = fd;
    g_saved_mode = saved;
    g_raw_mode = raw_mode_of(saved);
    intercept_watched();
    sigprocmask(SIG_SETMASK, &previous_mask, nullptr);

    // Answers typed ahead at earlier prompts must not end the wait. The flush comes before the
    // mode change, so a key pressed once the terminal is raw is never thrown away.
    tcflush(fd, TCIFLUSH);
    int key = -1;
    if (set_mode(fd, g_raw_mode) == 0) {
        key = read_key(fd);
    }

    block_watched(nullptr);
    set_mode(fd, saved);
    release_watched();
    g_tty_fd = -1;
    sigprocmask(SIG_SETMASK, &previous_mask, nullptr);
    close(fd);
    return key;
}

}  // namespace cmatinv
