#include "core/installer_script.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

struct LiteralCase {
    std::string text;
    NsisText kind;
    std::string literal;  // each one read back by makensis 3.08 as `text`
};

class NsisStringTest : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(NsisStringTest, WritesTheLiteralMakensisReadsBack) {
    EXPECT_EQ(NsisString(GetParam().text, GetParam().kind), GetParam().literal);
}

const NsisText I = NsisText::Installer;
const NsisText B = NsisText::BuildTime;

INSTANTIATE_TEST_SUITE_P(
    Table, NsisStringTest,
    ::testing::Values(
        LiteralCase{"My App", I, R"~("My App")~"},
        LiteralCase{"say \"hi\" it's `x`", I, R"~("say $\"hi$\" it$\'s $\`x$\`")~"},
        LiteralCase{"$INSTDIR $0 $(^Name)", I, R"~("$$INSTDIR $$0 $$(^Name)")~"},
        LiteralCase{"${X} $%PATH%", I, R"~("$$${U+7B}X} $$${U+25}PATH%")~"},
        LiteralCase{"$\\n $\\\" $$\\t", I, R"~("$$${U+5C}n $$${U+5C}$\" $$$$${U+5C}t")~"},
        LiteralCase{"$\" $' $`", I, R"~("$$$\" $$$\' $$$\`")~"},
        LiteralCase{"a\nb\tc\rd $\n", I, R"~("a$\nb$\tc$\rd $$$\n")~"},
        LiteralCase{"x\x01y\x0bz\x0c", I, R"~("x${U+1}y${U+B}z${U+C}")~"},
        LiteralCase{"C:\\dir\\ \\\\server\\share\\", I, R"~("C:\dir\ \\server\share\")~"},
        LiteralCase{"Ünïcode 中文 😀", I, R"~("Ünïcode 中文 😀")~"},
        LiteralCase{"\"$INSTDIR\" ${X} $\\n \\ ' ``", I, R"~("$\"$$INSTDIR$\" $$${U+7B}X} $$${U+5C}n \ $\' $\`$\`")~"},
        LiteralCase{"ends in $", I, R"~("ends in $$")~"},
        LiteralCase{"/tmp/a$b/${X}/$\\n", B, R"~("/tmp/a$b/$${U+7B}X}/$${U+5C}n")~"},
        LiteralCase{"sign \"%1\" $$ $%PATH% $\"", B, R"~("sign $\"%1$\" $$ $${U+25}PATH% $$\"")~"},
        LiteralCase{"$\\' dir\\", B, R"~("$${U+5C}$\' dir\")~"}));

TEST(NsisString, RefusesWhatNoLiteralHolds) {
    for (const std::string& text : {std::string("costs $\\"), std::string("a\0b", 3)}) {
        EXPECT_THROW(NsisString(text, I), std::invalid_argument) << text;
        EXPECT_THROW(NsisString(text, B), std::invalid_argument) << text;
    }
}

InstallerPlan HostilePlan() {
    InstallerPlan plan;
    plan.name = "Q $x {y}";
    plan.title = "\"$INSTDIR\" ${X} $\\n";
    plan.version = "1.2.0-beta.1";
    plan.fileVersion = {1, 2, 0, 0};
    plan.publisher = "P \"$0\"";
    plan.shortcutName = "Q ${X}";
    plan.stagedFolder = "/build/$HOME/staged";
    plan.iconFile = "/build/$HOME/app.ico";
    plan.outputFile = "/build/$HOME/Q-setup.exe";
    plan.installedBytes = 1025;
    return plan;
}

bool Has(const std::string& script, const std::string& part) {
    return script.find(part) != std::string::npos;
}

TEST(InstallerScript, NoValueReachesTheScriptRaw) {
    const InstallerPlan plan = HostilePlan();
    const std::string script = InstallerScript(plan);
    for (const std::string& value : {plan.name, plan.title, plan.publisher, plan.shortcutName})
        EXPECT_FALSE(Has(script, value)) << value;
    // Build-machine paths keep their "$": makensis opens them as written.
    EXPECT_TRUE(Has(script, "File /r \"/build/$HOME/staged/*\"\n"));
    EXPECT_TRUE(Has(script, "Icon \"/build/$HOME/app.ico\"\n"));
    EXPECT_TRUE(Has(script, "\"EstimatedSize\" 2\n"));
    EXPECT_TRUE(Has(script, "VIProductVersion \"1.2.0.0\"\n"));
}

TEST(InstallerScript, SignsTheUninstallerOnlyWhenAsked) {
    InstallerPlan plan = HostilePlan();
    EXPECT_FALSE(Has(InstallerScript(plan), "finalize"));
    plan.signCommand = "\"/opt/$tool\" --sign \"%1\"";
    const std::string script = InstallerScript(plan);
    EXPECT_TRUE(Has(script, "!uninstfinalize \"$\\\"/opt/$tool$\\\" --sign $\\\"%1$\\\"\" = 0\n"));
    // The setup itself is signed by the caller once makensis is done.
    EXPECT_FALSE(Has(script, "!finalize"));
}

TEST(InstallerScript, MakesTheDesktopShortcutOnlyWhenAsked) {
    InstallerPlan plan = HostilePlan();
    const std::string desktopShortcut = "CreateShortcut \"$DESKTOP\\";
    EXPECT_FALSE(Has(InstallerScript(plan), desktopShortcut));
    plan.desktopShortcut = true;
    EXPECT_TRUE(Has(InstallerScript(plan), desktopShortcut));
}

TEST(InstallerScript, NamesTheValueItCannotWrite) {
    InstallerPlan plan = HostilePlan();
    plan.publisher = "P $\\";
    try {
        InstallerScript(plan);
        FAIL() << "no exception";
    } catch (const std::invalid_argument& error) {
        EXPECT_TRUE(Has(error.what(), "publisher")) << error.what();
    }
}

}  // namespace
