#include "system/access.h"

#include "support/filehelpers.h"

#include <gtest/gtest.h>

namespace {

using qeltest::cScratchFolder;
using qeltest::WideName;
using qeltest::RunCommand;
using qeltest::ShellQuote;

std::string Mode(const std::string& path)
{
    return RunCommand("stat -c %a " + ShellQuote(path));
}

} // namespace

TEST(GrantAccess, ModesAsStatShowsThem)
{
    cScratchFolder folder;
    std::string file = folder.PathOf("f \xff");
    std::string dir = folder.PathOf("d");
    ASSERT_EQ(RunCommand("touch " + ShellQuote(file) + " && mkdir " + ShellQuote(dir) + " && echo ok"), "ok\n");
    struct sCase
    {
        const std::string& m_path;
        const char* m_before; // chmod before the grant
        i32 m_user;
        i32 m_admins;
        i32 m_everyone;
        const char* m_after;
    };
    for (const sCase& grant : {
             sCase{file, "000", 7, 7, 5, "775\n"},
             sCase{file, "000", 6, 4, 4, "644\n"},
             // Everyone's rights include the owner's and the administrators'.
             sCase{file, "777", 0, 0, 5, "555\n"},
             sCase{file, "4755", 6, 0, 0, "600\n"},
             sCase{file, "6777", 7, 1, 0, "710\n"},
             sCase{file, "000", 15, 8, -1, "777\n"},
             // On a folder read includes passing through.
             sCase{dir, "1777", 4, 0, 4, "555\n"},
             sCase{dir, "000", 6, 2, 0, "720\n"},
         }) {
        ASSERT_EQ(RunCommand("chmod " + std::string(grant.m_before) + " " + ShellQuote(grant.m_path) + " && echo ok"),
                  "ok\n");
        EXPECT_TRUE(GrantAccess(WideName(grant.m_path).c_str(), grant.m_user, grant.m_admins, grant.m_everyone));
        EXPECT_EQ(Mode(grant.m_path), grant.m_after)
            << grant.m_path << " " << grant.m_user << grant.m_admins << grant.m_everyone;
    }
}

TEST(GrantAccess, FollowsLinksAndFailsCleanly)
{
    cScratchFolder folder;
    std::string file = folder.PathOf("target");
    ASSERT_EQ(RunCommand("touch " + ShellQuote(file) + " && chmod 600 " + ShellQuote(file) + " && ln -s target " +
                         ShellQuote(folder.PathOf("link")) + " && echo ok"),
              "ok\n");
    EXPECT_TRUE(GrantAccess(WideName(folder.PathOf("link")).c_str(), 7, 5, 5));
    EXPECT_EQ(Mode(file), "755\n");
    EXPECT_FALSE(GrantAccess(WideName(folder.PathOf("missing")).c_str(), 7, 7, 5));
    std::u16string unencodable = WideName(folder.Path()) + u"/\xDA00";
    EXPECT_FALSE(GrantAccess(unencodable.c_str(), 7, 7, 5));
    EXPECT_FALSE(GrantAccess(nullptr, 7, 7, 5));
}
