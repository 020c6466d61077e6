// SPDX-License-Identifier: GPL-2.0-or-later
#include "XDriver.h"

#include "TempDir.h"

#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>

extern char** environ;

std::string runServingEvents(const std::string& command)
{
    const TempDir dir;
    const std::string shellCommand = command + " >" + dir.file("out");
    const char* arguments[] = {"sh", "-c", shellCommand.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char**>(arguments), environ) != 0) {
        ADD_FAILURE() << "cannot run " << command;
        return "";
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "did not end: " << command;
            break;
        }
        Fl::wait(0.01);
    }
    settleEvents();
    return readFile(dir.file("out"));
}

void settleEvents()
{
    for (int i = 0; i < 10; ++i)
        Fl::wait(0.01);
}
