// String helpers and the message sink. qel::information needs a
// QApplication and a user to close the box, so it is not called here.

#include "core/strings.h"

#include <gtest/gtest.h>

#include <string>

TEST(Strings, CaseIsByteWiseAndKeepsUtf8AndCamelCaseSplitsBeforeEveryUnchangedByte) {
    EXPECT_EQ(qel::toUpper("Scene_01.obj 0123 !?-_"), "SCENE_01.OBJ 0123 !?-_");
    // Bytes >= 0x80 go through unsigned char and pass unchanged.
    EXPECT_EQ(qel::toUpper("\xc3\xa9.obj"), "\xc3\xa9.OBJ");
    EXPECT_EQ(qel::toLower("\xc3\x89T\xc3\x89.TLO"), "\xc3\x89t\xc3\x89.tlo");
    const std::pair<const char*, const char*> cases[] = {{"", ""},         {"CounterAlign", "Counter Align"},
                                                         {"ABC", "A B C"}, {"x2", "x 2"},
                                                         {"a b", "a  b"},  {"Move.X", "Move . X"}};
    for (const auto& c : cases) EXPECT_EQ(qel::toSpaceMaj(c.first), c.second) << c.first;
}

TEST(Strings, HexadecimalText) {
    EXPECT_EQ(qel::INT_HEX(0), "0");
    EXPECT_EQ(qel::INT_HEX(0xABCDEF02u), "abcdef02");
    const std::pair<const char*, unsigned> cases[] = {{"FF", 255}, {"1g", 1},      {"zz", 0},
                                                      {"", 0},     {"  \t1A", 26}, {"0x10", 16}};
    for (const auto& c : cases) EXPECT_EQ(qel::HEX_INT(c.first), c.second) << c.first;
    for (unsigned v : {0u, 10u, 4095u, 0x7FFFFFFFu, 0xFFFFFFFFu}) EXPECT_EQ(qel::HEX_INT(qel::INT_HEX(v)), v);
}
