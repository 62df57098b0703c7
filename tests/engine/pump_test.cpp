// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/pump.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Log {
    std::string calls;
};

void First(void* log) { static_cast<Log*>(log)->calls += "1"; }

// Adds to the handler it replaced: its own work, then the previous handler's.
struct Chained {
    Log* log;
    const pump::Scope* scope = nullptr;
    static void Handler(void* self) {
        auto& c = *static_cast<Chained*>(self);
        c.log->calls += "2";
        c.scope->Previous()();
    }
};

}  // namespace

TEST(PumpTest, ScopeChainsToAndRestoresThePreviousHandler) {
    Log log;
    EXPECT_EQ(pump::Current().handler, nullptr);
    pump::ProcessMessages();  // nothing installed: nothing runs
    {
        const pump::Scope outer(&First, &log);
        EXPECT_EQ(pump::Current().handler, &First);
        {
            Chained chained{&log};
            const pump::Scope inner(&Chained::Handler, &chained);
            chained.scope = &inner;
            EXPECT_EQ(inner.Previous().handler, &First);
            EXPECT_EQ(inner.Previous().context, &log);
            pump::ProcessMessages();
        }
        EXPECT_EQ(log.calls, "21");
        pump::ProcessMessages();  // the outer handler is back
        EXPECT_EQ(log.calls, "211");
    }
    EXPECT_EQ(pump::Current().handler, nullptr);
}
