// Terminal-mode helpers shared by the pseudo-terminal tests.
#pragma once

#include <gtest/gtest.h>
#include <termios.h>

namespace pty_support {

// Compares two terminal modes field by field, so a failure names the field.
inline void expect_same_mode(const termios& expected, const termios& actual) {
    EXPECT_EQ(expected.c_iflag, actual.c_iflag) << "c_iflag";
    EXPECT_EQ(expected.c_oflag, actual.c_oflag) << "c_oflag";
    EXPECT_EQ(expected.c_cflag, actual.c_cflag) << "c_cflag";
    EXPECT_EQ(expected.c_lflag, actual.c_lflag) << "c_lflag";
    EXPECT_EQ(expected.c_line, actual.c_line) << "c_line";
    for (unsigned k = 0; k < NCCS; ++k) {
        EXPECT_EQ(expected.c_cc[k], actual.c_cc[k]) << "c_cc[" << k << "]";
    }
    EXPECT_EQ(cfgetispeed(&expected), cfgetispeed(&actual)) << "input speed";
    EXPECT_EQ(cfgetospeed(&expected), cfgetospeed(&actual)) << "output speed";
}

// The terminal's mode now; a failed read is a test failure.
inline termios mode_of(int fd) {
    termios now{};
    EXPECT_EQ(tcgetattr(fd, &now), 0);
    return now;
}

// Puts the terminal at `fd` in a canonical, echoing mode unlike the line discipline's
// defaults, so that a wait which puts back "sane" settings instead of the saved ones shows.
// Returns false when the mode could not be set.
inline bool set_unusual_mode(int fd) {
    termios mode{};
    if (tcgetattr(fd, &mode) != 0) {
        return false;
    }
    mode.c_iflag |= IXANY;
    mode.c_iflag &= ~IMAXBEL;
    mode.c_lflag &= ~ECHOE;
    mode.c_cc[VERASE] = 0x08;
    mode.c_cc[VKILL] = 0x0b;
    mode.c_cc[VMIN] = 4;  // unused while canonical; a raw mode left behind would keep 1
    mode.c_cc[VTIME] = 7;
    cfsetispeed(&mode, B9600);
    cfsetospeed(&mode, B9600);
    return tcsetattr(fd, TCSANOW, &mode) == 0;
}

}  // namespace pty_support
