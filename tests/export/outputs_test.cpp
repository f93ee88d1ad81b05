// Pages of an earlier run are looked for among the files of the output's folder: an old
// descriptor naming 200,000 pages costs what the folder holds, not what it claims.
#include "export/outputs.h"
#include "support/fixtures.h"

using namespace karuvo;

namespace {
struct EarlierPages : fakes::InTempFolder {};
}  // namespace

TEST_F(EarlierPages, AreLookedForInTheFolderWhateverAnOldDescriptorNames) {
    QByteArray fnt = "info face=\"A\" size=12\ncommon lineHeight=8 base=6 scaleW=8 scaleH=8 pages=200000 packed=0\n";
    for (int k = 0; k < 200000; ++k) fnt += "page id=" + QByteArray::number(k) + " file=\"x_" + QByteArray::number(k) + ".png\"\n";
    ASSERT_TRUE(fakes::writeFile(path("x.fnt"), fnt));
    // Pages of the earlier run, a gap before x_6, and names that only look like pages.
    for (const char* name : {"x_0.png", "x_1.png", "x_2.png", "x_3.png", "x_4.png", "x_6.png", "x_05.png", "y_3.png"})
        ASSERT_TRUE(fakes::writeFile(path(name), "old"));
    const std::unique_ptr<Font> font = Font::createDefaultSheetFont();
    OutputRequest r;
    r.font = font.get();
    r.settings.text = QStringLiteral("ABC");
    r.settings.cellWidth = r.settings.cellHeight = 8;
    r.cellGiven = true;
    r.settings.wrapColumns = 1;
    r.plan.outputPath = path("x.png");
    r.plan.maxPageSide = 8;
    r.plan.fntPath = path("x.fnt");
    const OutputResult done = writeOutputs(r);
    // The descriptor replaced named x_3, x_4 and x_6, which go with it; only they were looked up.
    EXPECT_EQ(entries(), (QStringList{"x.fnt", "x_0.png", "x_05.png", "x_1.png", "x_2.png", "y_3.png"}));
    EXPECT_EQ(done.pagesLookedUp, 3);
}
