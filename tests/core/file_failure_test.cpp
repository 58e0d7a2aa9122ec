// The words for a folder or file that may not be written: a right the user
// lacks is not a read-only file system.

#include "core/file_failure.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace qel;

TEST(FileFailure, AWriteRefusalNamesItsCause) {
    EXPECT_EQ(writeRefusal("the folder /x", EACCES), "the folder /x may not be written (permission denied)");
    EXPECT_EQ(writeRefusal("the folder /x", EPERM), "the folder /x may not be written (permission denied)");
    EXPECT_EQ(writeRefusal("the file", EROFS), "the file is on a read-only file system");
    EXPECT_EQ(writeRefusal("the file", 0), "");
    EXPECT_EQ(writeRefusal("the file", ENOSPC), "");
}
