// On NT 4 (Wine's nt40 emulation) the country code comes from win.ini, not
// from the per-user International key.
#include <gtest/gtest.h>

#include "drvsweep.h"
#include "sweep_fixtures.h"

TEST(Nt40Country, SectionFollowsWinIni)
{
    ASSERT_FALSE(IsNt5OrLater());
    ASSERT_FALSE(IsWindows9x());
    std::string winIni = sweep::windowsDir() + "\\win.ini";
    qxt::regSetString(HKEY_CURRENT_USER, "Control Panel\\International", "iCountry", "886");
    sweep::writeIni("[49]\nUnInstDrvAppTitle=Treiber entfernen\n[886]\nUnInstDrvAppTitle=Taiwan\n"
                    "[1]\nUnInstDrvAppTitle=Remove drivers\n");
    static UninstallConfig cfg;

    ASSERT_TRUE(WritePrivateProfileStringA("intl", "iCountry", "49", winIni.c_str()));
    EXPECT_EQ(ReadCountryCode(), 49);
    LoadUninstallConfig(&cfg);
    EXPECT_STREQ(cfg.section, "49");
    EXPECT_STREQ(cfg.title, "Treiber entfernen");

    ASSERT_TRUE(WritePrivateProfileStringA("intl", "iCountry", NULL, winIni.c_str()));
    EXPECT_EQ(ReadCountryCode(), 1);
    LoadUninstallConfig(&cfg);
    EXPECT_STREQ(cfg.title, "Remove drivers");
}
