// SPDX-License-Identifier: GPL-2.0-or-later
#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = fs::temp_directory_path() / ("corvane-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            root = candidate.generic_string();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary directory");
}

TempDir::TempDir(const std::string& name, bool owner)
    : root((fs::temp_directory_path() / name).generic_string()), owner(owner)
{
    if (owner) {
        fs::remove_all(root);
        fs::create_directories(root);
    }
}

TempDir::~TempDir()
{
    if (!owner)
        return;
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const
{
    const fs::path target = fs::path(root) / name;
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary);
    out << bytes;
    return target.string();
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
