// Shared set-up of the image writer tests: local source trees, a data
// compilation made from them, images written from it, and the outside
// readers that check what was written.
#pragma once

#include "TestEnvironment.h"
#include "VornAPI.h"
#include "data/DataCompilation.h"
#include "iso/IsoWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vorn::engine::iso::test {

namespace fs = std::filesystem;

// 64-bit FNV-1a, as the outside reader helper prints it.
std::string fnv1a(const std::string &bytes);

class IsoFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    VornDataCompilation *h() { return h_; }
    VornDataCompilationItem *root() { return VornDataCompilation_GetItemFromPath(h_, "", 3); }

    // Local sources under src/.
    fs::path src() const { return tmp_.path() / "src"; }
    void file(const std::string &rel, const std::string &contents, unsigned mode = 0644);
    void randomFile(const std::string &rel, std::size_t size, std::uint32_t seed);
    void folder(const std::string &rel);
    void symlink(const std::string &rel, const std::string &target);

    // Adds everything in a local folder to a compilation folder, as the
    // application's copy worker does: folders are created with their
    // origin, files and links inserted by path.
    void addTree(const fs::path &local, VornDataCompilationItem *dir);
    void addSources() { addTree(src(), root()); }

    // Writes the image; checks that it worked and that its size is what the
    // compilation accounted for. Returns its path.
    std::string writeImage(const std::string &name = "out.iso", const WriteOptions &options = {});

    // The outside library's listing of one tree ("rr", "joliet", "iso1999",
    // "plain"): path -> "type size hash" (and " -> target" for links).
    std::map<std::string, std::string> readTree(const std::string &image, const std::string &tree,
                                                std::string *features = nullptr);
    // What that listing must be, from the compilation: names of `kind`.
    // Volumes without Rock Ridge hold links as empty files.
    std::map<std::string, std::string> expectTree(int kind, bool linksAsFiles = false);
    // The primary volume's tree when folders deeper than 8 levels are
    // relocated: a listing of the real tree (ISO names) with its deep
    // folders under `movedFolder` in the root, leaving an empty file behind
    // when `placeholders` (Rock Ridge) is set. A relocated folder keeps its
    // name unless `movedNames` gives one for its path.
    static std::map<std::string, std::string> relocate(const std::map<std::string, std::string> &tree,
                                                       bool placeholders,
                                                       const std::string &movedFolder = "RR_MOVED",
                                                       const std::map<std::string, std::string> &movedNames = {});

    // Runs a tool and returns its standard output; fails the test when it
    // exits with an error.
    std::string tool(std::vector<std::string> argv);

    vorn::test::TempDir tmp_;
    VornDataCompilation *h_ = nullptr;
};

bool haveReader();

}  // namespace vorn::engine::iso::test
