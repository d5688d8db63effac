#include <gtest/gtest.h>

#include <string>

#include "ProgressLine.h"
#include "TestSupport.h"

using testsupport::readFile;
using testsupport::run;
using testsupport::ScratchDir;
using testsupport::shellQuote;
using testsupport::withoutElapsed;

// The time left is the stage's elapsed time scaled by the units still to do;
// a stage without a known total has none.
TEST(ProgressLine, EstimatesTheTimeLeftOfAStage) {
    const struct {
        ProgressEvent event;
        double stageSeconds, runSeconds;
        std::string expected;
    } cases[] = {
        {{ProgressStage::Projection, 2, -1, 250, 1000}, 30.0, 95.0,
         "pass 2: projection, group 250 of 1000  elapsed 1:35  stage left ~1:30"},
        {{ProgressStage::Projection, 0, -1, 1, 1000}, 0.5, 0.5, "pass 0: projection, group 1 of 1000  elapsed 0:01"},
        {{ProgressStage::Gathering, 1, 2, 40, 0}, 12.0, 4000.0, "pass 1: gathering colour 2, sweep 40  elapsed 1:06:40"},
        {{ProgressStage::Baking, 3, -1, 10, 40}, 2.0, 61.0, "baking: patch 10 of 40  elapsed 1:01  stage left ~0:06"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressLine::describe(c.event, c.stageSeconds, c.runSeconds), c.expected);
}

// On a terminal's standard error the status line is drawn and erased at the
// end; standard output is the same as without a terminal, and without one
// nothing at all reaches standard error.
TEST(ProgressLine, AppearsOnlyOnATerminal) {
    ScratchDir dir;
    testsupport::writeFile(dir.file("one.mdl"), "2\n0 0 0 0 4 0 4 0 0 0.5 0.5 0.5 1 1 1\n0 0 3 4 0 3 0 4 3 0.5 0.5 0.5 0 0 0\n");
    const std::vector<std::string> args = {"-m", "one.mdl", "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-w", "0.2",
                                           "-a", "0.5", "-i", "0.001", "-s", "0.5"};
    const auto plain = testsupport::runGlowbake(dir.path.string(), args);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "");

    // `script` gives the command a pseudo-terminal; standard output goes to a
    // file, so the terminal sees standard error alone.
    std::string command = shellQuote(GLOWBAKE_BIN);
    for (const std::string& a : args) command += " " + shellQuote(a);
    command += " >pty.out";
    const auto onTerminal = run(dir.path.string(), "script", {"-qec", command, "/dev/null"});
    ASSERT_EQ(onTerminal.status, 0) << onTerminal.out;
    const std::string& terminal = onTerminal.out;
    EXPECT_NE(terminal.find("\rpass 0: projection, group "), std::string::npos) << terminal;
    EXPECT_EQ(terminal.size() >= 4 ? terminal.substr(terminal.size() - 4) : terminal, "\r\x1b[K") << terminal;
    EXPECT_EQ(withoutElapsed(readFile(dir.file("pty.out"))), withoutElapsed(plain.out));
}
