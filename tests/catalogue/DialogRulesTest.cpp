#include "catalogue/DialogRules.h"
#include "TempDir.h"
#include "config/Config.h"
#include "host/OptionsRules.h"

#include <gtest/gtest.h>

namespace {
bool Unique(const std::wstring& address) {
    return address != L"http://taken/feed.xml";
}
std::wstring Key(const RuleResult& r) {
    return r.ok ? L"ok" : r.key;
}
} // namespace

TEST(DialogRules, AddChannelInOrderWithAndWithoutVerify) {
    const std::wstring n260(260, L'n'), n261(261, L'n');
    auto add = [](const std::wstring& name, const std::wstring& url, bool verify,
                  const std::wstring& description = L"") {
        return DialogRules::AddChannel(name, description, url, verify, Unique);
    };
    EXPECT_EQ(Key(add(L"", L"", true)), L"IDS_CHANNEL_NAME_COULD_NOT_NULL");
    EXPECT_EQ(add(L"", L"", true).focus, 11500);
    EXPECT_EQ(Key(add(n261, L"http://a/x.xml", true)), L"IDS_CHANNEL_NAME_TOO_LONG");
    EXPECT_EQ(Key(add(n260, L"http://a/x.xml", true)), L"ok");
    EXPECT_EQ(add(L"a", L"u", true, n261).focus, 11503);
    EXPECT_EQ(Key(add(L"a", L"", true)), L"IDS_CHANNEL_ADDRESS_COULD_NOT_NULL");
    EXPECT_EQ(Key(add(L"a", L"http://a/" + n260, true)), L"IDS_CHANNEL_ADDRESS_TOO_LONG");
    RuleResult taken = add(L"a", L"http://taken/feed.xml", true);
    EXPECT_EQ(Key(taken), L"IDS_CHANNEL_IS_EXITS");
    EXPECT_FALSE(taken.putBack);
    for (const wchar_t* bad : {L"http://a/feed.Xml", L"http://a/feed", L"https://a/feed.xml"}) {
        EXPECT_EQ(Key(add(L"a", bad, true)), L"IDS_CHANNEL_ADDRESS_INVALID") << bad;
        EXPECT_EQ(Key(add(L"a", bad, false)), L"ok") << bad;
    }
    EXPECT_EQ(Key(add(L"a", L"http://a/feed.XML", true)), L"ok");
    EXPECT_EQ(Key(add(L"a", L"HTTP://a/feed.xml", true)), L"ok");
    EXPECT_EQ(Key(add(L"a", L"a.xml", true)), L"IDS_CHANNEL_ADDRESS_INVALID");
}

TEST(DialogRules, HttpsAddressesOnlyWithTheSetting) {
    TempDir folder;
    settingsPath = folder.WPath() + L"Quorvel.ini";
    auto verified = [](const std::wstring& url) {
        return Key(DialogRules::AddChannel(L"a", L"", url, true, Unique));
    };
    for (int allow : {0, 1}) {
        ASSERT_EQ(CConfig().WriteAllowHttps(allow), 1);
        const std::wstring expected = allow ? L"ok" : L"IDS_CHANNEL_ADDRESS_INVALID";
        EXPECT_EQ(verified(L"https://a/feed.xml"), expected) << allow;
        EXPECT_EQ(verified(L"HTTPS://a/feed.XML"), expected) << allow;
        EXPECT_EQ(DialogRules::IsHttpUrl(L"https://a/x"), allow == 1);
        EXPECT_EQ(verified(L"http://a/feed.xml"), L"ok");
        EXPECT_EQ(verified(L"ftp://a/feed.xml"), L"IDS_CHANNEL_ADDRESS_INVALID");
    }
    settingsPath.clear();
}

TEST(DialogRules, GroupRenamePropertiesAndHelpers) {
    EXPECT_EQ(Key(DialogRules::AddGroup(L"")), L"IDS_GROUP_NAME_COULD_NOT_NULL");
    EXPECT_EQ(Key(DialogRules::AddGroup(std::wstring(261, L'g'))), L"IDS_GROUP_NAME_TOO_LONG");
    EXPECT_EQ(DialogRules::AddGroup(std::wstring(261, L'g')).focus, 11505);
    EXPECT_TRUE(DialogRules::AddGroup(std::wstring(260, L'g')).ok);
    EXPECT_EQ(Key(DialogRules::Rename(L"")), L"IDS_NAME_COULD_NOT_NULL");
    EXPECT_EQ(DialogRules::Rename(L"").focus, 11506);
    EXPECT_EQ(Key(DialogRules::Rename(std::wstring(261, L'r'))), L"IDS_NAME_TOO_LONG");
    EXPECT_TRUE(DialogRules::IsAllDigits(L""));
    EXPECT_FALSE(DialogRules::IsAllDigits(L"1a"));
    EXPECT_FALSE(DialogRules::IsHttpUrl(L"example.com/feed.xml"));
    EXPECT_TRUE(DialogRules::IsHttpUrl(L"http://example.com:8080/feed.xml?x=1"));

    ChannelProperties v{L"n", L"d", L"http://own/feed.xml", L"1000", L"240"};
    auto check = [&v](const std::wstring& opened = L"http://own/feed.xml") {
        return DialogRules::Properties(v, opened, Unique);
    };
    EXPECT_EQ(Key(check()), L"ok");
    v.maxItemsText = L"1001";
    EXPECT_EQ(Key(check()), L"IDS_LOCAL_RESERVE_MSG_CAN_NOT_OVER");
    v.maxItemsText = L"9";
    EXPECT_EQ(Key(check()), L"IDS_LOCAL_RESERVE_MSG_CAN_NOT_LOWER_THAN");
    v.maxItemsText = L"x";
    EXPECT_EQ(check().focus, 11510);
    v.maxItemsText = L"10";
    v.intervalText = L"";
    EXPECT_EQ(Key(check()), L"IDS_UPDATE_TIME_COULD_NOT_LOWER");
    v.intervalText = L"241";
    EXPECT_EQ(Key(check()), L"IDS_UPDATE_TIME_COULD_NOT_OVER");
    v.intervalText = L"10";
    v.url = L"http://taken/feed.xml";
    EXPECT_EQ(Key(check()), L"IDS_CHANNEL_IS_EXITS");
    EXPECT_EQ(Key(check(L"http://taken/feed.xml")), L"ok"); // its own address is fine
}

TEST(OptionsRules, FocusGoesToTheFirstFailingFieldInOrder) {
    OptionsValues v{L"5", L"10", L"1", L"", L"", false};
    EXPECT_TRUE(OptionsRules::Check(v).ok); // proxy off: empty port and address accepted
    auto focus = [&v] { return OptionsRules::Check(v).focus; };
    auto key = [&v] { return OptionsRules::Check(v).key; };
    for (const wchar_t* t : {L"0", L"31", L""}) {
        v.threadText = t;
        EXPECT_EQ(focus(), 11322) << t;
        EXPECT_EQ(key(), L"IDS_OPTIONS_THREADS_INVALID") << t;
    }
    v.threadText = L"30";
    for (const wchar_t* t : {L"9", L"36"}) {
        v.linkTimeText = t;
        EXPECT_EQ(focus(), 11530);
        EXPECT_EQ(key(), L"IDS_OPTIONS_TIMEOUT_INVALID");
    }
    v.threadText = L"99";
    EXPECT_EQ(focus(), 11530); // the time-out is checked before the thread count
    v.threadText = L"1";
    v.linkTimeText = L"35";
    for (const wchar_t* n : {L"0", L"6"}) {
        v.linkNumText = n;
        EXPECT_EQ(focus(), 11529);
        EXPECT_EQ(key(), L"IDS_OPTIONS_ATTEMPTS_INVALID");
    }
    v.linkNumText = L"5";
    v.proxyState = true;
    v.portText = L"70000";
    EXPECT_EQ(focus(), 11518); // the empty address first
    EXPECT_EQ(key(), L"IDS_OPTIONS_PROXY_ADDRESS_EMPTY");
    v.proxyAddress = L"proxy";
    EXPECT_EQ(focus(), 11519);
    EXPECT_EQ(key(), L"IDS_OPTIONS_PROXY_PORT_INVALID");
    v.portText = L"0";
    EXPECT_EQ(focus(), 11519);
    v.portText = L"x";
    EXPECT_EQ(key(), L"IDS_OPTIONS_PROXY_PORT_NOT_NUMBER");
    v.portText = L"3128";
    EXPECT_TRUE(OptionsRules::Check(v).ok);

    // The text fields, proxy on or off (they are saved either way): nothing the settings
    // file would lose or cut.
    const std::wstring kept(255, L'x'), cut(256, L'x');
    for (bool proxy : {true, false}) {
        v.proxyState = proxy;
        const struct {
            std::wstring* field;
            std::wstring bad, good;
            const wchar_t* key;
            int focus;
        } cases[] = {
            {&v.proxyAddress, L"proxy\nhost", kept, L"IDS_OPTIONS_PROXY_ADDRESS_CONTROL", 11518},
            {&v.proxyAddress, cut, L"proxy", L"IDS_OPTIONS_PROXY_ADDRESS_TOO_LONG", 11518},
            {&v.userName, L"a\rb", kept, L"IDS_OPTIONS_USER_NAME_CONTROL", 11520},
            {&v.userName, cut, L"user", L"IDS_OPTIONS_USER_NAME_TOO_LONG", 11520},
            {&v.password, L"p\x7f", std::wstring(387, L'p'), L"IDS_OPTIONS_PASSWORD_CONTROL",
             11521},
            // 194 characters of two native bytes each.
            {&v.password, std::wstring(194, L'\u4E2D'), std::wstring(193, L'\u4E2D'),
             L"IDS_OPTIONS_PASSWORD_TOO_LONG", 11521},
        };
        for (const auto& c : cases) {
            *c.field = c.bad;
            EXPECT_EQ(key(), c.key) << proxy;
            EXPECT_EQ(focus(), c.focus) << proxy;
            *c.field = c.good;
            EXPECT_TRUE(OptionsRules::Check(v).ok) << proxy << " " << c.field->size();
        }
    }
    EXPECT_EQ(OptionsRules::CheckUserName(L"a\tb").key, L"IDS_OPTIONS_USER_NAME_CONTROL");
    EXPECT_TRUE(OptionsRules::CheckPassword(L"").ok);
}

TEST(DialogRulesNames, BlankOnlyNamesAndControlCharactersAreRefused) {
    auto unique = [](const std::wstring&) { return true; };
    for (const std::wstring& name :
         {std::wstring(L"   "), std::wstring(L"\t"), std::wstring(L"\u3000\u00A0")}) {
        EXPECT_EQ(DialogRules::AddChannel(name, L"", L"http://a/", false, unique).key,
                  L"IDS_CHANNEL_NAME_COULD_NOT_NULL");
        EXPECT_FALSE(DialogRules::AddGroup(name).ok);
        EXPECT_FALSE(DialogRules::Rename(name).ok);
    }
    for (const std::wstring& name :
         {std::wstring(L"a\nb"), std::wstring(L"a\rb"), std::wstring(L"x\x7F"),
          std::wstring(L"x\u2028"), std::wstring(L"rlo \u202E lmth.exe")}) {
        EXPECT_EQ(DialogRules::AddChannel(name, L"", L"http://a/", false, unique).key,
                  L"IDS_NAME_HAS_CONTROL_CHARACTERS");
        EXPECT_EQ(DialogRules::AddGroup(name).key, L"IDS_NAME_HAS_CONTROL_CHARACTERS");
        EXPECT_EQ(DialogRules::Rename(name).key, L"IDS_NAME_HAS_CONTROL_CHARACTERS");
    }
    // Descriptions take the same rule (an exported list cannot carry them), before their
    // length.
    for (const std::wstring& description : {std::wstring(L"ring\a"), std::wstring(L"two\nlines"),
                                            std::wstring(300, L'd') + L"\x01"}) {
        const RuleResult added = DialogRules::AddChannel(L"n", description, L"", false, unique);
        EXPECT_EQ(added.key, L"IDS_DESCRIPTION_HAS_CONTROL_CHARACTERS");
        EXPECT_EQ(added.focus, 11503);
        const ChannelProperties v{L"n", description, L"http://a/", L"100", L"60"};
        const RuleResult set = DialogRules::Properties(v, v.url, unique);
        EXPECT_EQ(set.key, L"IDS_DESCRIPTION_HAS_CONTROL_CHARACTERS");
        EXPECT_EQ(set.focus, 11508);
    }
    EXPECT_TRUE(DialogRules::AddChannel(L"n", L"tab-free, \u4E2D", L"http://a/", false, unique).ok);
    EXPECT_TRUE(DialogRules::Rename(L" padded name ").ok);
    EXPECT_TRUE(DialogRules::AddGroup(L"\u4E2D\u6587").ok);
}
