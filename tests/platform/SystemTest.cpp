// System calls: the program's own path, the shutdown privilege and the
// restart request, system message texts, the message box.
#include <string>

#include "platform/Handles.h"
#include "platform/sim/SimKernel.h"
#include "platform/sim/SimProcess.h"
#include "platform/sim/SimSystem.h"
#include "tests/platform/MachineFixture.h"

namespace {

class SystemTest : public MachineTest {
protected:
    // The steps the tool takes before asking for a restart; the last error after them.
    std::uint32_t EnableShutdownPrivilege() {
        plat::Handle token = 0;
        EXPECT_TRUE(P().OpenProcessToken(plat::kTokenAdjustPrivileges | plat::kTokenQuery, token));
        plat::UniqueKernelHandle owner(token);
        plat::Luid luid;
        EXPECT_TRUE(P().LookupPrivilegeValueA("SeShutdownPrivilege", luid));
        EXPECT_TRUE(P().AdjustTokenPrivileges(token, false, luid, plat::kSePrivilegeEnabled));
        return P().GetLastError();
    }
};

TEST_F(SystemTest, ModuleFileNameIsTheProgramsWindowsPath) {
    char buffer[261];
    const std::uint32_t n = P().GetModuleFileNameA(buffer, sizeof buffer);
    const std::string expected = P().ToWindowsPath(plat::SelfExecutable());
    ASSERT_EQ(n, expected.size());
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(expected.compare(0, 3, "Z:\\"), 0) << expected;  // the test program lives off the drives
    char small[5];
    EXPECT_EQ(P().GetModuleFileNameA(small, sizeof small), 5u);
    EXPECT_EQ(std::string(small), expected.substr(0, 4));
    EXPECT_EQ(P().GetLastError(), 122u);  // ERROR_INSUFFICIENT_BUFFER
}

TEST_F(SystemTest, RestartNeedsTheShutdownPrivilegeAndIsRecorded) {
    plat::SimRestart restart;
    EXPECT_FALSE(M().PendingRestart(restart));
    EXPECT_FALSE(P().ExitWindowsEx(plat::kEwxReboot | plat::kEwxForce, 0x80030003u));
    EXPECT_EQ(P().GetLastError(), 1314u);  // ERROR_PRIVILEGE_NOT_HELD
    EXPECT_FALSE(M().PendingRestart(restart));

    EXPECT_EQ(EnableShutdownPrivilege(), 0u);
    EXPECT_TRUE(P().ExitWindowsEx(plat::kEwxReboot | plat::kEwxForce, 0x80030003u));
    ASSERT_TRUE(M().PendingRestart(restart));
    EXPECT_EQ(restart.flags, plat::kEwxReboot | plat::kEwxForce);
    EXPECT_EQ(restart.reason, 0x80030003u);

    plat::Luid luid;
    EXPECT_FALSE(P().LookupPrivilegeValueA("SeNoSuchPrivilege", luid));
    EXPECT_EQ(P().GetLastError(), 1313u);
    plat::Handle token = 0;
    ASSERT_TRUE(P().OpenProcessToken(plat::kTokenQuery, token));
    plat::UniqueKernelHandle owner(token);
    ASSERT_TRUE(P().LookupPrivilegeValueA("seshutdownprivilege", luid));
    EXPECT_FALSE(P().AdjustTokenPrivileges(token, false, luid, plat::kSePrivilegeEnabled));
    EXPECT_EQ(P().GetLastError(), plat::kErrorAccessDenied);  // opened without TOKEN_ADJUST_PRIVILEGES
}

TEST_F(SystemTest, AFaultRuleDeniesTheShutdownPrivilege) {
    ASSERT_TRUE(M().AddFault("AdjustTokenPrivileges", "SeShutdownPrivilege", plat::kErrorNotAllAssigned));
    EXPECT_EQ(EnableShutdownPrivilege(), plat::kErrorNotAllAssigned);
    EXPECT_FALSE(P().ExitWindowsEx(plat::kEwxReboot, 0));
    plat::SimRestart restart;
    EXPECT_FALSE(M().PendingRestart(restart));
}

TEST_F(SystemTest, FormatMessageGivesTheSystemTexts) {
    struct Case {
        std::uint32_t code;
        const char* text;
    } cases[] = {
        {0, "The operation completed successfully.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {32, "The process cannot access the file because it is being used by another process.\r\n"},
        {80, "The file exists.\r\n"},
        {145, "The directory is not empty.\r\n"},
        {183, "Cannot create a file when that file already exists.\r\n"},
        {1300, "Not all privileges or groups referenced are assigned to the caller.\r\n"},
        {1603, "Fatal error during installation.\r\n"},
        {1605, "This action is only valid for products that are currently installed.\r\n"},
        {3010,
         "The requested operation is successful.  Changes will not be effective until the system is "
         "rebooted.\r\n"},
    };
    const std::uint32_t flags = plat::kFormatMessageFromSystem | plat::kFormatMessageAllocateBuffer |
                                plat::kFormatMessageIgnoreInserts;
    for (const auto& c : cases) {
        std::string text;
        EXPECT_EQ(P().FormatMessageA(flags, c.code, 0x400, text), std::string(c.text).size()) << c.code;
        EXPECT_EQ(text, c.text) << c.code;
    }
    // Every code the tool can meet has a text ending in CR LF.
    std::vector<std::uint32_t> codes = {0,  2,   3,   5,   6,   32,  33,  38,  39,   80,
                                        87, 112, 123, 145, 183, 206, 234, 259, 1300, 3010};
    for (std::uint32_t c = 1601; c <= 1639; ++c) codes.push_back(c);
    for (std::uint32_t code : codes) {
        std::string text;
        EXPECT_GT(P().FormatMessageA(flags, code, 0x400, text), 2u) << code;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << code;
    }
    std::string text = "previous";
    EXPECT_EQ(P().FormatMessageA(flags, 31337, 0x400, text), 0u);
    EXPECT_EQ(P().GetLastError(), 317u);  // ERROR_MR_MID_NOT_FOUND
    EXPECT_EQ(text, "");
}

TEST_F(SystemTest, MessageBoxWritesToStandardErrorAndIsDismissed) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(P().MessageBoxA("Cannot read the database.\n", "Error Message", plat::kMbOk), plat::kIdOk);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error Message: Cannot read the database.\n");
}

}  // namespace
