#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A file path in the temporary folder, named after the running test and removed with it.
struct TempFile {
    TempFile()
        : path((std::filesystem::temp_directory_path() /
                (std::string("tavrix_unit_") +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt"))
                   .string()) {
        std::filesystem::remove(path);
    }
    ~TempFile() { std::filesystem::remove(path); }

    std::string Content() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    const std::string path;
};
