// Outputs in folders that do not exist yet: the folders are made and named, and a run
// that fails leaves none of them behind.
#include "support/cli_process.h"
#include "support/fixtures.h"

using namespace karuvo::fakes;

namespace {
struct OutputFolders : InTempFolder {};
}  // namespace

TEST_F(OutputFolders, AreMadeNamedAndRemovedAgainWhenTheRunFails) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.json"));
    const QStringList made{path("new"), path("new/deeper"), path("other")};
    const struct { QStringList outputs; int exit; QStringList said; } runs[] = {
        // A folder that cannot be made, and a target that is a folder: neither run leaves "new".
        {{"-o", path("new/s.png"), "--json", "/proc/karuvo-none/s.json"}, 1,
         {"karuvo-cli: Cannot make the folder \"/proc/karuvo-none\": "}},
        {{"-o", path("new/deeper/s.png"), "--json", path("taken.json")}, 1, {"\"" + path("taken.json") + "\": it is a folder"}},
        {{"-o", path("new/deeper/s.png"), "--fnt", path("other/s.fnt")}, 0,
         {"karuvo-cli: made the folder \"" + made[0] + "\"\nkaruvo-cli: made the folder \"" + made[1] +
          "\"\nkaruvo-cli: made the folder \"" + made[2] + "\"\nkaruvo-cli: sheet "}}};
    for (const auto& [outputs, exit, said] : runs) {
        const QStringList before = entries();
        const auto [code, err] = runCli(QStringList{"-t", "AB"} + outputs);
        EXPECT_EQ(code, exit) << err;
        for (const QString& words : said) EXPECT_NE(err.find(words.toStdString()), std::string::npos) << err;
        EXPECT_TRUE(exit == 0 || entries() == before) << err;
    }
    EXPECT_TRUE(QFile::exists(path("new/deeper/s.png")) && QFile::exists(path("other/s.fnt")));
    EXPECT_TRUE(readFile(path("other/s.fnt")).contains("file=\"../new/deeper/s.png\""));
}
