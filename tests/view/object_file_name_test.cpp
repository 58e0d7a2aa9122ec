// The name an object file is written under.

#include "view/object_file_name.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using qel::objectFileName;

TEST(ObjectFileName, ExtensionOfTheFilePartOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"part", "part.tlo"},
        {"part.PNG", "part.tlo"},
        {"part.OBJ", "part.OBJ"},
        {"part.obj", "part.obj"},
        {"part.Tlo", "part.Tlo"},
        {"part.", "part.tlo"},
        {"a.b.tlo", "a.b.tlo"},
        {"my.dir/part", "my.dir/part.tlo"},
        {"models/my.dir/part", "models/my.dir/part.tlo"},
        {"my.dir\\part", "my.dir\\part.tlo"},
        {"my.dir/part.x", "my.dir/part.tlo"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(objectFileName(in), out) << in;
}
