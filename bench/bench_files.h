#pragma once
// Whole files read for the benchmarks' floors.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace benchfiles {

// The bytes of the file at path; empty when it cannot be read whole.
inline std::vector<std::uint8_t> readAll(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        bytes.resize(std::size_t(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
        std::fclose(f);
    }
    return bytes;
}

}  // namespace benchfiles
