// The time limit of RunProcess holds whatever the child does with its output.
#include <gtest/gtest.h>

#include "process.h"

TEST(RunProcess, DescendantHoldingThePipesDoesNotHoldTheRun) {
    // Like a runner that leaves a helper server behind with our pipes open.
    ProcessOptions options;
    options.iTimeoutMs = 3000;
    ProcessResult run = RunProcess({"/bin/sh", "-c", "sleep 5 & echo out; echo err >&2; exit 3"}, options);
    EXPECT_FALSE(run.iTimedOut);
    EXPECT_EQ(run.iStatus, 3);
    EXPECT_EQ(run.iOut, "out\n");
    EXPECT_EQ(run.iErr, "err\n");
    EXPECT_LT(run.iSeconds, 1.0);
}

TEST(RunProcess, ChildThatClosesItsOutputStillHasALimit) {
    ProcessOptions options;
    options.iTimeoutMs = 300;
    ProcessResult run = RunProcess({"/bin/sh", "-c", "echo early; exec >&- 2>&-; sleep 5"}, options);
    EXPECT_TRUE(run.iTimedOut);
    EXPECT_EQ(run.iSignal, 9);
    EXPECT_EQ(run.iOut, "early\n");
    EXPECT_LT(run.iSeconds, 2.0);
}
