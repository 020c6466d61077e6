// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TESTS_TEMPDIR_H
#define CORVANE_TESTS_TEMPDIR_H

#include <string>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    // The directory of this name under the temporary directory. Its owner
    // makes it afresh and removes it; others only use it.
    TempDir(const std::string& name, bool owner);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return root; }
    std::string file(const std::string& name) const { return root + "/" + name; }
    // Writes `bytes` to a file below the directory, making parent directories.
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::string root;
    bool owner = true;
};

std::string readFile(const std::string& path);

#endif
