// Shared set-up of the data compilation tests: a compilation, a folder of
// real source files, and helpers to add and list items.
#pragma once

#include "TestEnvironment.h"
#include "VornAPI.h"
#include "data/DataCompilation.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace vorn::engine::data::test {

class DataFixture : public ::testing::Test {
protected:
    void SetUp() override { h_ = VornDataCompilation_New(); }
    void TearDown() override { VornDataCompilation_Destroy(h_); }

    VornDataCompilation *h() { return h_; }
    VornDataCompilationItem *root() { return VornDataCompilation_GetItemFromPath(h_, "", 3); }

    // A local file of `size` bytes (sparse), created once per name.
    std::string source(const std::string &name, std::uint64_t size = 10)
    {
        const auto path = (tmp_ / name).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0) << path;
        EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        ::close(fd);
        return path;
    }

    VornDataCompilationItem *add(VornDataCompilationItem *dir, const std::string &name,
                                 std::uint64_t size = 10)
    {
        auto *item = VornDataCompilation_InsertNewItem(h_, dir, source(name, size).c_str());
        EXPECT_NE(item, nullptr) << name;
        return item;
    }

    VornDataCompilationItem *mkdir(VornDataCompilationItem *dir, const std::string &name)
    {
        auto *item = VornDataCompilation_CreateDirectory(h_, dir, name.c_str(), nullptr, 0, 0, 0);
        EXPECT_NE(item, nullptr) << name;
        return item;
    }

    std::string name(VornDataCompilationItem *item, int kind)
    {
        const char *n = VornDataCompilation_GetItemName(h_, item, kind);
        return n ? n : "<null>";
    }

    // The names of one kind in listing order.
    std::vector<std::string> listing(VornDataCompilationItem *dir, int kind = 3)
    {
        std::vector<std::string> out;
        for (auto *i = VornDataCompilation_GetDirectoryFirstEntry(h_, dir); i;
             i = VornDataCompilation_GetDirectoryNextEntry(i))
            out.push_back(name(i, kind));
        return out;
    }

    vorn::test::TempDir tmp_;
    VornDataCompilation *h_ = nullptr;
};

}  // namespace vorn::engine::data::test
