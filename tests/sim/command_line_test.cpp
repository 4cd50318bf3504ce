// The command line of tessarin-sim.
#include "sim/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tessarin::sim {
namespace {

TEST(CommandLineTest, ReadsEveryOption) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--index",
                                  "2",
                                  "--com=7",
                                  "--no-pacing",
                                  "--trace",
                                  "--seed",
                                  "4000000000",
                                  "--silent",
                                  "--ignore-settings",
                                  "--drop-record",
                                  "3:2",
                                  "--drop-record=5:1",
                                  "--drop-share",
                                  "10%",
                                  "--corrupt-share",
                                  "0.25",
                                  "--split",
                                  "3",
                                  "--noise",
                                  "5",
                                  "--renumber",
                                  "2:10",
                                  "--duplicate",
                                  "4",
                                  "--duplicate=9",
                                  "--no-ovgr",
                                  "--unplug-after",
                                  "1.5",
                                  "--replug-after",
                                  "2"},
                                 line, error))
        << error;
    EXPECT_EQ(line.options.index, 2);
    EXPECT_EQ(line.options.comNumber, 7);
    EXPECT_FALSE(line.options.pacing);
    EXPECT_TRUE(line.options.trace);
    EXPECT_EQ(line.options.seed, 4000000000U);
    EXPECT_TRUE(line.silent);
    EXPECT_TRUE(line.ignoreSettingsWrites);
    EXPECT_EQ(line.dropRecords, (std::vector<std::pair<int, int>>{{3, 2}, {5, 1}}));
    EXPECT_DOUBLE_EQ(line.dropShare, 0.1);
    EXPECT_DOUBLE_EQ(line.corruptShare, 0.25);
    EXPECT_EQ(line.splitPieces, 3);
    EXPECT_EQ(line.noiseBytes, 5);
    EXPECT_EQ(line.renumber, (std::vector<std::pair<int, int>>{{2, 10}}));
    EXPECT_EQ(line.duplicates, (std::vector<int>{4, 9}));
    EXPECT_FALSE(line.ovgrFunction);
    EXPECT_EQ(line.unplugAfter, 1.5);
    EXPECT_EQ(line.replugAfter, 2.0);
    EXPECT_THAT(DescribeFaults(line), ::testing::HasSubstr("record 2 numbered 10"));
    EXPECT_THAT(DescribeFaults(line), ::testing::HasSubstr("record 4 answered twice, record 9 answered twice"));
    EXPECT_THAT(UsageText(),
                ::testing::HasSubstr("\n  --duplicate N        answer each request for record N twice, 20 ms apart"));
    EXPECT_THAT(DescribeFaults(line), ::testing::HasSubstr("settings writes ignored"));
}

TEST(CommandLineTest, DefaultsArePacedAndFaultless) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({}, line, error));
    EXPECT_TRUE(line.options.pacing);
    EXPECT_EQ(line.options.index, -1);
    EXPECT_EQ(DescribeFaults(line), "");
}

class CommandLineRefuses : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(CommandLineRefuses, WithAReason) {
    CommandLine line;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(GetParam(), line, error));
    EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    BadArguments, CommandLineRefuses,
    ::testing::Values(std::vector<std::string>{"--frobnicate"}, std::vector<std::string>{"--index"},
                      std::vector<std::string>{"--index", "x"}, std::vector<std::string>{"--index", "-1"},
                      std::vector<std::string>{"--seed", "4294967296"}, std::vector<std::string>{"--drop-record", "3"},
                      std::vector<std::string>{"--drop-record", "3:0"}, std::vector<std::string>{"--drop-share", "1.5"},
                      std::vector<std::string>{"--corrupt-share", "120%"}, std::vector<std::string>{"--split", "0"},
                      std::vector<std::string>{"--renumber", "2:"}, std::vector<std::string>{"--duplicate", "256"},
                      std::vector<std::string>{"--duplicate", "x"}, std::vector<std::string>{"--trace=1"},
                      std::vector<std::string>{"--replug-after", "1"},
                      std::vector<std::string>{"--unplug-after", "-2"}));

}  // namespace
}  // namespace tessarin::sim
