#include <gtest/gtest.h>

#include "apps/apps.h"
#include "standin_client.h"

TEST(Probe, Chord)
{
    standin::Running r;
    std::string log = qxt::makeTempDir("probe") + "\\s.log";
    ASSERT_TRUE(standin::start("--role powervcr", log, &r));
    PowerVcrDriver::handleKey(12);
    PowerVcrDriver::handleKey(5);
    standin::sync(r.window, log);
    qxt::pumpMessages(500);
    for (auto &l : standin::lines(log))
        printf("%s\n", l.c_str());
    standin::stop(&r);
}
