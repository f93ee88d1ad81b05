#include <gtest/gtest.h>

#include "cli/arguments.h"

using namespace karuvo::cli;

TEST(ProjectArgument, IsFoundOnlyWhereItIsAnOptionGivenOnce) {
    const std::pair<QStringList, std::optional<QString>> cases[] = {
        {{"-t", "A", "--project", "p.karuvo", "-o", "a.bmp"}, "p.karuvo"},
        {{"--project=a=b.karuvo"}, "a=b.karuvo"},
        {{"-t", "--project", "-o", "a.bmp"}, std::nullopt},         // the text
        {{"--project", "p.karuvo", "--project", "q.karuvo"}, std::nullopt},  // twice: a usage error
        {{"--project", "p.karuvo", "--help"}, std::nullopt},         // help needs no project
        {{"--bogus", "--project", "p.karuvo"}, std::nullopt},        // a usage error first
        {{"--project"}, std::nullopt},
    };
    for (const auto& [args, project] : cases) EXPECT_EQ(projectArgument(args), project) << args.join(' ').toStdString();
}
