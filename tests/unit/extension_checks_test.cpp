#include "extension_checks.h"

#include <gtest/gtest.h>

namespace {

// The export check on names as compilers and linkers leave them.
TEST(ExtensionChecks, NamesTheCauseOfEachMissingEntryPoint) {
    struct Row {
        std::vector<std::string> exports;
        std::vector<std::string> expectedDetails;
    };
    const std::string mangled = "C++ name mangling";
    const std::string stdcall = "__stdcall decoration";
    const Row rows[] = {
        {{"OnExtensionMessage", "Init", "Release", "OnMainWindowCreated"}, {}},
        {{"Init", "Release", "OnMainWindowCreated"}, {"OnExtensionMessage is not exported"}},
        {{"_Z4InitPKcS0_S0_PFvS0_E", "Release", "OnMainWindowCreated", "OnExtensionMessage"},
         {"Init is not exported; found _Z4InitPKcS0_S0_PFvS0_E: " + mangled}},
        {{"?Release@@YAXXZ", "Init", "OnMainWindowCreated", "OnExtensionMessage"},
         {"Release is not exported; found ?Release@@YAXXZ: " + mangled}},
        {{"Init@16", "_Release@0", "OnMainWindowCreated", "OnExtensionMessage"},
         {"Init is not exported; found Init@16: " + stdcall, "Release is not exported; found _Release@0: " + stdcall}},
        {{"_Init", "Release", "OnMainWindowCreated", "OnExtensionMessage"},
         {"Init is not exported; found _Init: a leading underscore"}},
        // Names that merely contain an entry point's are no cause.
        {{"InitLogging", "_Z8InitfastPKc", "Release", "OnMainWindowCreated", "OnExtensionMessage"},
         {"Init is not exported"}},
    };
    for (const Row& row : rows) {
        const PeImage library{kMachineX86, row.exports, {}};
        const Finding finding = CheckExtensionExports(library);
        EXPECT_EQ(finding.ok, row.expectedDetails.empty()) << row.exports[0];
        ASSERT_EQ(finding.details.size(), row.expectedDetails.size()) << row.exports[0];
        for (size_t i = 0; i < row.expectedDetails.size(); ++i) {
            // A cause is named after "found"; without one the line ends there.
            const std::string& expected = row.expectedDetails[i];
            if (expected.find("found") == std::string::npos) EXPECT_EQ(finding.details[i], expected);
            else EXPECT_EQ(finding.details[i].rfind(expected, 0), 0u) << finding.details[i];
        }
        EXPECT_FALSE(finding.stopsStart);
    }
}

}  // namespace
