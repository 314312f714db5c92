#include "host/HostServices.h"
#include "HostContainer.h"
#include "ScopedEnv.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

// A container whose services are of the wrong type for every request; counts releases.
class WrongTypeContainer : public IPluginContainer {
public:
    struct Other : IBaseInterface {
        explicit Other(int& released) : released(released) {}
        void Release() override {
            ++released;
            delete this;
        }
        int& released;
    };
    bool QueryHostService(const char*, int, IBaseInterface** service) override {
        *service = new Other(released);
        return true;
    }
    int released = 0;
};

} // namespace

TEST(HostServices, TextsAndHostValuesComeFromTheServicesAndAreEmptyWithoutThem) {
    HostContainer container;
    container.SetText(L"QuorvelUIPlugin", L"IDS_OK", L"OK");
    container.SetHostValue(L"rss", L"userchanneldefine", L"1");
    container.SetHostValue(L"rss", L"empty", L"");
    EXPECT_EQ(GetLocaleText(L"IDS_OK", kModuleTextsName, &container), L"OK");
    EXPECT_EQ(GetLocaleText(L"IDS_OK", kButtonTextsName, &container), L"");
    EXPECT_EQ(GetLocaleText(L"IDS_NONE", kModuleTextsName, &container), L"");
    EXPECT_EQ(GetLocaleText(L"IDS_OK", kModuleTextsName, nullptr), L"");
    EXPECT_EQ(ReadHostConfigValue(L"rss", L"userchanneldefine", &container), L"1");
    EXPECT_EQ(ReadHostConfigValue(L"rss", L"empty", &container), L"");
    EXPECT_EQ(ReadHostConfigValue(L"rss", L"missing", &container), L"");
    EXPECT_EQ(ReadHostConfigValue(L"rss", L"userchanneldefine", nullptr), L"");
    EXPECT_EQ(container.OutstandingServices(), 0); // every lookup released its service
    WrongTypeContainer wrong;
    EXPECT_EQ(GetLocaleText(L"IDS_OK", kModuleTextsName, &wrong), L"");
    EXPECT_EQ(ReadHostConfigValue(L"rss", L"userchanneldefine", &wrong), L"");
    EXPECT_EQ(wrong.released, 2); // the refused services are released too
}

TEST(HostServices, MessageBoxGoesThroughTheOutsideLibraryElseCancel) {
    TempDir app, other;
    UseAppDirectory(app);
    EXPECT_EQ(ShowMessageBox(nullptr, L"text", L"caption", kMbOkCancelQuestionTopmost), kIdCancel);
    std::filesystem::copy_file(TESSAVIN_TEST_NOENTRY_LIBRARY, app / "libXMessageBox.so");
    EXPECT_EQ(ShowMessageBox(nullptr, L"t", L"c", 0), kIdCancel); // a library without the entry

    UseAppDirectory(other);
    std::filesystem::copy_file(TESSAVIN_TEST_MESSAGEBOX_LIBRARY, other / "libXMessageBox.so");
    const std::string log = other / "box.txt";
    ScopedEnv logTo("TESSAVIN_FAKE_MESSAGEBOX_LOG", log.c_str());
    EXPECT_EQ(ShowMessageBox(nullptr, L"plain", L"cap", kMbIconError), 6);
    EXPECT_EQ(ReadFileBytes(log), "plain|cap|16|no-owner|no-params");
    HostContainer container;
    container.SetText(L"BrindlePlugin", L"IDS_OK", L"Okay");
    container.SetText(L"BrindlePlugin", L"IDS_REPORT", L"Report");
    EXPECT_EQ(ShowMessageBox(&container, L"\u5220\u9664?", L"Delete", 0x40021), 6);
    EXPECT_EQ(ReadFileBytes(log), "\xE5\x88\xA0\xE9\x99\xA4?|Delete|262177|no-owner|1|Okay|Report");
    EXPECT_EQ(container.OutstandingServices(), 0);
}
