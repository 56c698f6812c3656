// Whole-file reads by path: only regular files are read, and none past the size limit.
#include <gtest/gtest.h>

#include <string>

#include "base/RegularFile.h"
#include "support/Fifo.h"
#include "support/TempDir.h"

namespace {

TEST(RegularFile, ReadsWholeRegularFilesOnly) {
    qvtest::TempDir dir;
    dir.WriteFile("three", "abc");
    dir.WriteFile("empty", "");
    struct Case {
        const char* name;
        std::string path;
        size_t max_size;
        bool read;
        int64_t found_size;
    };
    const Case cases[] = {
        {"regular file", dir.File("three"), 100, true, 3},
        {"at the size limit", dir.File("three"), 3, true, 3},
        {"over the size limit", dir.File("three"), 2, false, 3},
        {"empty file", dir.File("empty"), 100, false, 0},
        {"missing", dir.File("missing"), 100, false, -1},
        {"directory", dir.Path(), 100, false, -1},
        {"endless device", "/dev/zero", 100, false, -1},
    };
    for (const Case& c : cases) {
        RegularFile file;
        EXPECT_EQ(RegularFile::Read(c.path.c_str(), c.max_size, &file), c.read) << c.name;
        EXPECT_EQ(file.found_size, c.found_size) << c.name;
        EXPECT_EQ(file.bytes != nullptr, c.read) << c.name;
        if (c.read) {
            EXPECT_EQ(std::string(file.bytes.get(), file.bytes.get() + file.size), "abc") << c.name;
        }
    }
    RegularFile file;
    EXPECT_FALSE(RegularFile::Read(nullptr, 100, &file));
}

TEST(RegularFile, FifoIsRefusedWithoutWaitingForAWriter) {
    qvtest::TempDir dir;
    const qvtest::Fifo fifo(dir.File("pipe"));
    RegularFile file;
    bool read = true;
    EXPECT_TRUE(fifo.ReturnsWithoutAWriter([&] { read = RegularFile::Read(fifo.Path().c_str(), 100, &file); }));
    EXPECT_FALSE(read);
    EXPECT_EQ(file.found_size, -1);
}

}  // namespace
