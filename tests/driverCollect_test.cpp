// SPDX-License-Identifier: GPL-2.0-or-later
#include "driverCollect.h"

#include "TempDir.h"
#include "archiveReader.h"
#include "infFile.h"
#include "text.h"
#ifndef _WIN32
#include "ArchiveWriter.h"
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// A package's INF: its catalog, one disk at `diskPath`, the files `files`
// ("name = 1,subdirectory" lines) in its SourceDisksFiles.
std::string infNaming(const std::string& diskPath, const std::string& files)
{
    return "[Version]\nSignature=\"$WINDOWS NT$\"\nClass=Net\nProvider=%P%\nCatalogFile=pkg.cat\n"
           "DriverVer=01/02/2025,1.2.3.4\n\n[SourceDisksNames.amd64]\n1 = %Disk%,,," +
           diskPath + "\n\n[SourceDisksFiles.amd64]\n" + files +
           "\n\n[Manufacturer]\n%P%=Models,NTamd64\n\n[Models.NTamd64]\n%Desc%=Install, PCI\\VEN_1AF4&DEV_1000\n\n"
           "[Install]\nCopyFiles=x\n\n[Strings]\nP=\"Tester\"\nDesc=\"Test device\"\nDisk=\"Disk 1\"\n";
}

DriverFit fitOf(const std::string& folder, const std::string& inf, std::vector<std::string> archives = {})
{
    return {inf, folder, "Test device", "Tester", "Net", "2025-01-02", "1.2.3.4", "PCI\\VEN_1AF4&DEV_1000",
            0, true, std::move(archives)};
}

// Every file below `folder`, '/'-separated, and the folders as "name/".
std::set<std::string> filesBelow(const std::string& folder)
{
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        found.insert(fs::relative(entry.path(), folder).generic_string() + (entry.is_directory() ? "/" : ""));
    return found;
}

// Names as a file system compares them: on Windows without regard to case,
// and a name found there in another case than asked for keeps the case asked.
std::set<std::string> comparable(const std::set<std::string>& names)
{
#ifdef _WIN32
    std::set<std::string> lowered;
    for (const std::string& name : names)
        lowered.insert(text::asciiLowered(name));
    return lowered;
#else
    return names;
#endif
}

Collection collectInto(const std::string& folder, const std::vector<PackageToCollect>& packages)
{
    platform::DirectoryToFill into;
    std::string error;
    EXPECT_TRUE(platform::DirectoryToFill::open(folder, into, error)) << error;
    return collectDrivers(packages, into, {"PC", folder, "10.0 (amd64)"}, WindowsTarget());
}

struct NamedFiles {
    const char* what;
    const char* diskPath;
    const char* files;                    // SourceDisksFiles' lines
    std::vector<std::string> present;     // below the INF's folder
    std::set<std::string> copied;         // below the package's folder; none: not copied
    const char* problem;                  // what is said when not copied
};

class NamedPaths : public testing::TestWithParam<NamedFiles> {};

TEST_P(NamedPaths, AreCopiedBelowThePackageOrNotAtAll)
{
    const NamedFiles& param = GetParam();
    TempDir dir;
    dir.write("source/pkg/pkg.inf", infNaming(param.diskPath, param.files));
    dir.write("source/pkg/pkg.cat", "catalog");
    for (const std::string& file : param.present)
        dir.write("source/pkg/" + file, file);
    const auto before = filesBelow(dir.path());

    const Collection collection = collectInto(dir.file("out"), {{fitOf(dir.file("source"), "pkg/pkg.inf"), {}}});

    ASSERT_EQ(collection.packages.size(), 1u);
    const CollectedPackage& package = collection.packages[0];
    auto after = filesBelow(dir.path());
    for (const std::string& file : before)
        after.erase(file);
    std::set<std::string> written;  // nothing but the collection's
    for (const std::string& file : after)
        written.insert(file);
    if (param.copied.empty()) {
        EXPECT_THAT(package.problem, testing::HasSubstr(param.problem)) << param.what;
        EXPECT_EQ(written, (std::set<std::string>{"out/", "out/README.txt"})) << param.what;
        return;
    }
    EXPECT_EQ(package.problem, "") << param.what;
    std::set<std::string> expected = {"out/", "out/README.txt", "out/pkg/"};
    for (const std::string& file : param.copied)
        expected.insert("out/pkg/" + file);
    EXPECT_EQ(comparable(written), comparable(expected)) << param.what;
    EXPECT_EQ(readFile(dir.file("out/pkg/pkg.inf")), infNaming(param.diskPath, param.files)) << param.what;
}

INSTANTIATE_TEST_SUITE_P(DriverCollect, NamedPaths, testing::Values(
    NamedFiles{"beside the INF", "", "a.sys = 1\nb.dll = 1", {"a.sys", "b.dll", "unnamed.txt"},
               {"pkg.inf", "pkg.cat", "a.sys", "b.dll"}, ""},
    NamedFiles{"the disk's path from the root, a subdirectory", "\\amd64", "a.sys = 1,drivers\\x",
               {"amd64/drivers/x/a.sys"}, {"pkg.inf", "pkg.cat", "amd64/", "amd64/drivers/", "amd64/drivers/x/",
               "amd64/drivers/x/a.sys"}, ""},
    NamedFiles{"names in another case", "\\AMD64", "A.SYS = 1", {"amd64/a.sys"},
               {"pkg.inf", "pkg.cat", "amd64/", "amd64/a.sys"}, ""},
    NamedFiles{"folders in two cases", "", "a.sys = 1,sub\nb.sys = 1,SUB", {"sub/a.sys", "SUB/b.sys"},
               {"pkg.inf", "pkg.cat", "sub/", "sub/a.sys", "sub/b.sys"}, ""},
    NamedFiles{"a file missing", "", "a.sys = 1\nb.dll = 1", {"a.sys"}, {},
               "a file its INF names is missing: b.dll"},
    NamedFiles{"an absolute path is below the INF's folder", "", "/etc/passwd = 1", {}, {},
               "a file its INF names is missing: /etc/passwd"},
    NamedFiles{"up and out", "", "..\\..\\evil.sys = 1", {}, {}, "outside its folder: ..\\..\\evil.sys"},
    NamedFiles{"up and out by the subdirectory", "", "evil.sys = 1,..", {}, {}, "outside its folder"},
    NamedFiles{"up and out by the disk", "..\\other", "evil.sys = 1", {}, {}, "outside its folder"},
    NamedFiles{"a drive", "C:\\Windows", "evil.sys = 1", {}, {}, "outside its folder: C:\\Windows\\evil.sys"},
    NamedFiles{"a network path", "\\\\server\\share", "evil.sys = 1", {}, {}, "outside its folder"},
    NamedFiles{"a stream", "", "a.sys:hidden = 1", {}, {}, "outside its folder"},
    NamedFiles{"a device", "", "con.sys = 1", {}, {}, "outside its folder"},
    NamedFiles{"a name Windows cuts", "", "a.sys. = 1", {}, {}, "outside its folder"}));

TEST(DriverCollect, TheCollectionIsNewOrEmpty)
{
    TempDir dir;
    dir.write("full/file", "x");
    dir.write("file", "x");
    fs::create_directory(dir.file("empty"));
    struct Case {
        std::string folder;
        const char* problem;  // empty: taken
    };
    const std::vector<Case> cases = {
        {dir.file("new"), ""}, {dir.file("empty"), ""}, {dir.file("empty/"), ""},
        {dir.file("full"), "it is not empty"}, {dir.file("file"), "it is not a folder"},
        {dir.file("absent/new"), "?"},  // in the system's words
    };
    for (const Case& test : cases) {
        platform::DirectoryToFill into;
        std::string problem;
        EXPECT_EQ(platform::DirectoryToFill::open(test.folder, into, problem), !*test.problem) << test.folder;
        if (*test.problem == '?')
            EXPECT_NE(problem, "") << test.folder;
        else
            EXPECT_THAT(problem, testing::HasSubstr(test.problem)) << test.folder;
    }
}

#ifndef _WIN32
TEST(DriverCollect, LinksAreNotFollowed)
{
    TempDir dir;
    dir.write("secret", "secret");
    dir.write("source/pkg/pkg.inf", infNaming("", "a.sys = 1"));
    dir.write("source/pkg/pkg.cat", "");
    ASSERT_EQ(symlink(dir.file("secret").c_str(), dir.file("source/pkg/a.sys").c_str()), 0);
    fs::create_directory(dir.file("empty"));
    ASSERT_EQ(symlink(dir.file("empty").c_str(), dir.file("link").c_str()), 0);

    platform::DirectoryToFill into;
    std::string problem;
    EXPECT_FALSE(platform::DirectoryToFill::open(dir.file("link"), into, problem));
    EXPECT_EQ(problem, "it is a symbolic link");
    const Collection collection = collectInto(dir.file("out"), {{fitOf(dir.file("source"), "pkg/pkg.inf"), {}}});
    EXPECT_EQ(collection.packages.at(0).problem, "a file its INF names is missing: a.sys");
    EXPECT_EQ(filesBelow(dir.file("out")), (std::set<std::string>{"README.txt"}));
}
#endif

TEST(DriverCollect, ADriverStorePackageIsCopiedWhole)
{
    TempDir dir;
    const std::string package = "Windows/System32/DriverStore/FileRepository/pkg.inf_amd64_0123/";
    dir.write(package + "pkg.inf", infNaming("", "a.sys = 1"));
    dir.write(package + "pkg.cat", "");
    dir.write(package + "a.sys", "");
    dir.write(package + "pkg.PNF", "");
    dir.write(package + "sub/more.bin", "");
    const Collection collection =
        collectInto(dir.file("out"), {{fitOf(dir.file("Windows"), "System32/DriverStore/FileRepository/pkg.inf_amd64_0123/pkg.inf"), {}}});
    EXPECT_EQ(collection.packages.at(0).folder, "pkg.inf_amd64_0123");
    EXPECT_EQ(filesBelow(dir.file("out/pkg.inf_amd64_0123")),
              (std::set<std::string>{"pkg.inf", "pkg.cat", "a.sys", "pkg.PNF", "sub/", "sub/more.bin"}));
}

TEST(DriverCollect, APackageIsCopiedOnceAndPackagesNamedApart)
{
    TempDir dir;
    for (const char* folder : {"one", "two"}) {
        dir.write(std::string(folder) + "/pkg.inf", infNaming("", ""));
        dir.write(std::string(folder) + "/pkg.cat", "");
    }
    std::vector<std::unique_ptr<DeviceRecord>> devices;
    for (const char* folder : {"one", "two", "one"}) {
        devices.push_back(std::make_unique<DeviceRecord>("VEN_1AF4&DEV_1000", "3&0"));
        devices.back()->driverState = DriverState::none;
        devices.back()->fits = std::vector<DriverFit>{fitOf(dir.file(folder), "pkg.inf")};
    }
    devices.push_back(std::make_unique<DeviceRecord>("VEN_1AF4&DEV_1000", "3&1"));  // has its driver
    devices.back()->driverState = DriverState::bound;
    devices.back()->fits = std::vector<DriverFit>{fitOf(dir.file("two"), "pkg.inf")};

    const auto packages = packagesToCollect(devices);
    ASSERT_EQ(packages.size(), 2u);
    EXPECT_EQ(packages[0].devices, (std::vector<const DeviceRecord*>{devices[0].get(), devices[2].get()}));
    const Collection collection = collectInto(dir.file("out"), packages);
    EXPECT_EQ(filesBelow(dir.file("out")), (std::set<std::string>{"README.txt", "pkg/", "pkg/pkg.inf", "pkg/pkg.cat",
                                                                   "pkg-2/", "pkg-2/pkg.inf", "pkg-2/pkg.cat"}));
    EXPECT_EQ(collectionReport(collection, "out"),
              "Copied pkg: Test device, 1.2.3.4, 2025-01-02, signed \u2014 pkg.inf\n"
              "Copied pkg-2: Test device, 1.2.3.4, 2025-01-02, signed \u2014 pkg.inf\n"
              "2 driver packages for 3 devices copied into out");
    EXPECT_EQ(collectionReport(collection, "out", 1),
              "Copied pkg: Test device, 1.2.3.4, 2025-01-02, signed \u2014 pkg.inf\n"
              "... and 1 more: README.txt names them\n"
              "2 driver packages for 3 devices copied into out");
    const std::string readme = readFile(dir.file("out/README.txt"));
    EXPECT_THAT(readme, testing::HasSubstr("    pnputil /add-driver X:\\out\\*.inf /subdirs /install\r\n"));
    EXPECT_THAT(readme, testing::HasSubstr("    dism /Image:C:\\ /Add-Driver /Driver:X:\\out /Recurse\r\n"));
    EXPECT_THAT(readme, testing::HasSubstr("\r\npkg-2\\pkg.inf\r\n"));
}

#ifndef _WIN32
TEST(DriverCollect, APackageComesOutOfItsArchive)
{
    if (!archives::supported())
        GTEST_SKIP() << "this build reads no archives";
    TempDir dir;
    const std::string inf = infNaming("\\amd64", "a.sys = 1");
    const std::string inner = makeArchive("tar.xz", {{"x/pkg.inf", inf}, {"x/PKG.CAT", "c"}, {"x/amd64/a.sys", "a"},
                                                     {"x/other.sys", "o"}, {"../x/amd64/a.sys", "evil"}});
    dir.write("packs/pack.zip", makeArchive("zip", {{"Net/inner.tar.xz", inner}, {"broken/pkg.inf", inf}}));
    const Collection collection =
        collectInto(dir.file("out"), {{fitOf(dir.file("packs"), "pack.zip/Net/inner.tar.xz/x/pkg.inf",
                                             {"pack.zip", "Net/inner.tar.xz"}), {}},
                                      {fitOf(dir.file("packs"), "pack.zip/broken/pkg.inf", {"pack.zip"}), {}}});
    EXPECT_EQ(collection.packages.at(0).problem, "");
    EXPECT_EQ(collection.packages.at(1).problem, "2 files its INF names are missing: pkg.cat, \\amd64\\a.sys");
    EXPECT_EQ(filesBelow(dir.file("out")),
              (std::set<std::string>{"README.txt", "pkg/", "pkg/pkg.inf", "pkg/PKG.CAT", "pkg/amd64/", "pkg/amd64/a.sys"}));
    EXPECT_EQ(readFile(dir.file("out/pkg/amd64/a.sys")), "a");
}
#endif

}

namespace {

// Every file the INF names, where its names put it (a name that would leave
// the folder or is none Windows takes, left out), each of its own bytes.
void makeFilesNamed(const TempDir& dir, const std::string& package, const std::string& inf)
{
    InfReader reader;
    InfPackageFiles files;
    ASSERT_EQ(reader.readPackageFiles(inf, files), InfResult::read);
    files.files.push_back({files.catalogFile, "", "", true});
    for (const InfSourceFile& file : files.files) {
        std::string path = file.diskPath + "/" + file.subdirectory + "/" + file.name;
        std::replace(path.begin(), path.end(), '\\', '/');
        const fs::path below = fs::path(path).relative_path().lexically_normal();
        if (!file.name.empty() && path.find(':') == std::string::npos && *below.begin() != "..")
            dir.write(package + "/" + below.generic_string(), path);
    }
}

}

// The virtio drivers' INF files: each package copied with every file it
// names, into the collection and nowhere else.
TEST(DriverCollect, RealPackagesAreCopiedWholeAndNothingElse)
{
    const fs::path corpus = fs::path(CORVANE_SOURCE_DIR) / "tests/fuzz/corpus/fuzz_inf";
    std::size_t packages = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() != ".inf")
            continue;
        TempDir dir;
        const std::string inf = readFile(entry.path().string());
        dir.write("source/pkg/" + entry.path().filename().string(), inf);
        makeFilesNamed(dir, "source/pkg", inf);
        const auto source = filesBelow(dir.file("source"));
        const Collection collection = collectInto(
            dir.file("out"), {{fitOf(dir.file("source"), "pkg/" + entry.path().filename().string()), {}}});
        const CollectedPackage& package = collection.packages.at(0);
        EXPECT_EQ(package.problem, "") << entry.path();
        std::set<std::string> copied;
        for (const std::string& file : filesBelow(dir.file("out/" + package.folder)))
            copied.insert("pkg/" + file);
        std::set<std::string> named;
        for (const std::string& file : source)
            named.insert(file);
        named.erase("pkg/");
        EXPECT_EQ(copied, named) << entry.path();
        EXPECT_EQ(filesBelow(dir.path()).size(), source.size() + copied.size() + 4) << entry.path();  // source/, out/, its README.txt and package folder
        ++packages;
    }
    EXPECT_GE(packages, 20u);
}
