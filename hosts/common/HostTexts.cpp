#include "HostTexts.h"

#include "HostContainer.h"

namespace {

struct Text {
    const wchar_t* key;
    const wchar_t* english;
    const wchar_t* chinese;
};

// The module's texts ("QuorvelUIPlugin") in both languages of the stand-in hosts.
const Text kModuleTexts[] = {
    {L"IDS_CHANNEL_NAME_COULD_NOT_NULL", L"The channel name must not be empty.",
     L"频道名称不能为空。"},
    {L"IDS_NAME_HAS_CONTROL_CHARACTERS",
     L"The name must not contain line breaks or other control characters.",
     L"名称不能包含换行符或其他控制字符。"},
    {L"IDS_CHANNEL_NAME_TOO_LONG", L"The channel name is longer than 260 characters.",
     L"频道名称超过 260 个字符。"},
    {L"IDS_CHANNEL_DESCRIPTION_TOOL_LONG",
     L"The channel description is longer than 260 characters.", L"频道描述超过 260 个字符。"},
    {L"IDS_CHANNEL_ADDRESS_COULD_NOT_NULL", L"The channel address must not be empty.",
     L"频道地址不能为空。"},
    {L"IDS_CHANNEL_ADDRESS_TOO_LONG", L"The channel address is longer than 260 characters.",
     L"频道地址超过 260 个字符。"},
    {L"IDS_CHANNEL_IS_EXITS", L"A channel with this address exists already.",
     L"该地址的频道已经存在。"},
    {L"IDS_CHANNEL_ADDRESS_INVALID", L"The channel address is not a valid http address.",
     L"频道地址不是有效的 http 地址。"},
    {L"IDS_VALID_ADDRESS", L"The channel address is valid.", L"频道地址有效。"},
    {L"IDS_PLS_INPUT_VALID_NUMBER", L"Please enter a number.", L"请输入数字。"},
    {L"IDS_LOCAL_RESERVE_MSG_CAN_NOT_OVER", L"At most 1000 items can be kept.",
     L"最多保留 1000 条文章。"},
    {L"IDS_LOCAL_RESERVE_MSG_CAN_NOT_LOWER_THAN", L"At least 10 items are kept.",
     L"至少保留 10 条文章。"},
    {L"IDS_UPDATE_TIME_COULD_NOT_OVER", L"The update interval is at most 240 minutes.",
     L"更新间隔最长 240 分钟。"},
    {L"IDS_UPDATE_TIME_COULD_NOT_LOWER", L"The update interval is at least 10 minutes.",
     L"更新间隔最短 10 分钟。"},
    {L"IDS_THES_OPERATION_WILL_DELETE_ALL_ITEM_CHANNEL",
     L"This deletes the selected channels with all their items. Go on?",
     L"此操作将删除所选频道及其所有文章。继续吗？"},
    {L"IDS_DELETE_INFO", L"Delete", L"删除"},
    // Toolbar tooltips.
    {L"IDS_ADD_CHANNEL", L"Add channel", L"添加频道"},
    {L"IDS_ADD_CHANNEL_GROUP", L"Add channel group", L"添加频道组"},
    {L"IDS_RENAME", L"Rename", L"重命名"},
    {L"IDS_PROPERTIES", L"Channel properties", L"频道属性"},
    {L"IDS_DELETE", L"Delete", L"删除"},
    {L"IDS_UPDATE_CHANNEL", L"Update channel", L"更新频道"},
    {L"IDS_UPDATE_ALL", L"Update all channels", L"更新所有频道"},
    {L"IDS_STOP_ALL_UPDATE", L"Stop all updates", L"停止所有更新"},
    {L"IDS_OPTIONS", L"Options", L"选项"},
    // Dialog titles.
    {L"IDS_RENAME_NODE", L"Rename", L"重命名"},
    {L"IDS_CHANNEL_PROPERTY", L"Channel properties", L"频道属性"},
    {L"IDS_IMPORT_FEED_FILE", L"Import feed file", L"导入频道文件"},
    // Context menus (config.xml).
    {L"IDS_ADD_CHANNEL_MENU", L"Add channel", L"添加频道"},
    {L"IDS_ADD_CHANNEL_GROUP_MENU", L"Add channel group", L"添加频道组"},
    {L"IDS_RENAME_MENU", L"Rename", L"重命名"},
    {L"IDS_CHANNEL_PROPERTY_MENU", L"Properties", L"属性"},
    {L"IDS_DELETE_CHANNEL_MENU", L"Delete", L"删除"},
    {L"IDS_DELETE_ALL_ARTICLES_MENU", L"Delete all articles", L"删除所有文章"},
    {L"IDS_UPDATE_CHANNEL_MENU", L"Update channel", L"更新频道"},
    {L"IDS_UPDATE_ALL_CHANNELS_MENU", L"Update all channels", L"更新所有频道"},
    {L"IDS_STOP_ALL_UPDATES_MENU", L"Stop all updates", L"停止所有更新"},
    {L"IDS_IMPORT_FEED_FILE_MENU", L"Import feed file...", L"导入频道文件..."},
    {L"IDS_CLOSE_PAGE_MENU", L"Close page", L"关闭当前页"},
    // The command behind this key closes every page.
    {L"IDS_CLOSE_OTHER_PAGES_MENU", L"Close all pages", L"关闭所有页"},
    // The reading pane.
    {L"IDS_NEW_PAGE", L"New page", L"新建页面"},
    {L"IDS_GO_BACK", L"Back", L"后退"},
    {L"IDS_GO_FORWARD", L"Forward", L"前进"},
    {L"IDS_GO_REFRESH", L"Refresh", L"刷新"},
    {L"IDS_GO_STOP", L"Stop", L"停止"},
    {L"IDS_NEW_IE_WINDOW_OPEN_TO_THE_LARGEST_NUMBER_OF_RESTRIC",
     L"At most 20 pages can be open. Close a page first.",
     L"最多只能打开 20 个页面，请先关闭一个页面。"},
    {L"IDS_TEXT_PROMPT", L"Prompt", L"提示"},
    {L"IDS_DOWNLOAD_REFUSED", L"The reader saves no downloads: %s was not saved.",
     L"阅读器不保存下载内容：%s 未保存。"},
    // The channel dialogs.
    {L"IDS_OK", L"OK", L"确定"},
    {L"IDS_CANCEL", L"Cancel", L"取消"},
    {L"IDS_PLS_ENTER_CHANNEL_NAME", L"Channel name:", L"请输入频道名称:"},
    {L"IDS_CHANNEL_DESCRIPTION", L"Description:", L"频道描述与说明:"},
    {L"IDS_PLS_ENTER_NEW_RSS_CHANEL_ADDR", L"Address of the RSS channel:",
     L"请输入新的RSS频道地址:"},
    {L"IDS_VERIFY_VALIDITY_CHANNEL_ADDRESS", L"Check that the address is an RSS file",
     L"验证频道地址的有效性"},
    {L"IDS_PLS_ENTER_CHANNEL_GROUP_NAME", L"Name of the channel group:", L"请输入频道组名称"},
    {L"IDS_PLS_ENTER_NEW_NAME", L"New name:", L"请输入新名称"},
    {L"IDS_BASE_INFORMATION", L"Channel", L"基本信息"},
    {L"IDS_CHANNEL_NAME", L"Name", L"频道名称"},
    {L"IDS_RSS_CHNNEL_URL_ADDRESS", L"Address", L"RSS频道URL地址"},
    {L"IDS_CHECK_VALID_CHANNEL_SOURCE", L"Check address", L"检查频道源正确性"},
    {L"IDS_MAX_SAVE_MSG", L"Items kept at most", L"最大保存信息条数"},
    {L"IDS_INTERVAL_UPDATE", L"Update every", L"频道更新间隔"},
    {L"IDS_MINUTE", L"minutes", L"分钟"},
    {L"IDS_UNREAD_MSG", L"Unread items", L"未阅读信息"},
    {L"IDS_ALL_MSG", L"All items", L"所有信息"},
    {L"IDS_LATEST_UPDATE_TIME", L"Last update", L"最近更新时间"},
    {L"IDS_PLS_INPUT_ADDRESS_NEW_CHANNEL_OPML",
     L"Address of a channel list (OPML), or a list file on this computer:",
     L"请输入种子文件的URL或选择本地的种子文件"},
    {L"IDS_SELECT_FILE", L"Choose file...", L"选择文件"},
    {L"IDS_CHECK_AVAILABILITY", L"Check that the address is an http address",
     L"验证种子文件URL的有效性"},
    // The options dialog.
    {L"IDS_SYSTEM_CONFIGURATION", L"Options", L"系统配置"},
    {L"IDS_OPTIONS_CHANNEL_UPDATE", L"Channel updates", L"频道更新"},
    {L"IDS_OPTIONS_AUTO_UPDATE", L"Update RSS channels automatically", L"允许自动更新RSS频道"},
    {L"IDS_OPTIONS_THREADS", L"Worker threads:", L"工作线程数："},
    {L"IDS_OPTIONS_THREADS_RANGE", L"(1-30)", L"(1-30)个"},
    {L"IDS_OPTIONS_PROXY", L"Proxy", L"代理设置"},
    {L"IDS_OPTIONS_USE_PROXY", L"Use a proxy", L"启用代理"},
    {L"IDS_OPTIONS_PROXY_ADDRESS", L"Proxy server:", L"代理服务器地址："},
    {L"IDS_OPTIONS_PROXY_PORT", L"Proxy port:", L"代理服务器端口："},
    {L"IDS_OPTIONS_USER_NAME", L"User name:", L"登录用户名称："},
    {L"IDS_OPTIONS_PASSWORD", L"Password:", L"登录用户密码："},
    {L"IDS_OPTIONS_CONNECTION", L"Connections", L"连接设置"},
    {L"IDS_OPTIONS_ATTEMPTS", L"Attempts at most:", L"最大连接次数："},
    {L"IDS_OPTIONS_ATTEMPTS_RANGE", L"(1-5) times", L"(1-5)次"},
    {L"IDS_OPTIONS_TIMEOUT", L"Time-out:", L"最大超时时间："},
    {L"IDS_OPTIONS_SECONDS", L"seconds (10-30)", L"秒 (10-30)"},
    {L"IDS_OPTIONS_ALLOW_HTTPS", L"Allow https feeds", L"允许 https 频道"},
};

// The message box's button captions ("BrindlePlugin").
const Text kButtonTexts[] = {
    {L"IDS_OK", L"OK", L"确定"},
    {L"IDS_CANCEL", L"Cancel", L"取消"},
    {L"IDS_ABORT", L"Abort", L"中止"},
    {L"IDS_RETRY", L"Retry", L"重试"},
    {L"IDS_IGNORE", L"Ignore", L"忽略"},
    {L"IDS_YES", L"Yes", L"是"},
    {L"IDS_NO", L"No", L"否"},
    {L"IDS_HELP", L"Help", L"帮助"},
    {L"IDS_CONTINUE", L"Continue", L"继续"},
    {L"IDS_SKIP", L"Skip", L"跳过"},
    {L"IDS_SKIPALL", L"Skip all", L"全部跳过"},
    {L"IDS_IGNOREALL", L"Ignore all", L"全部忽略"},
    {L"IDS_YESTOALL", L"Yes to all", L"全部是"},
    {L"IDS_NOTOALL", L"No to all", L"全部否"},
    {L"IDS_REPORT", L"Report", L"报告"},
};

} // namespace

void AddHostTexts(HostContainer& container, HostLanguage language) {
    const bool chinese = language == HostLanguage::kChinese;
    for (const Text& text : kModuleTexts)
        container.SetText(L"QuorvelUIPlugin", text.key, chinese ? text.chinese : text.english);
    for (const Text& text : kButtonTexts)
        container.SetText(L"BrindlePlugin", text.key, chinese ? text.chinese : text.english);
}

void AddEnglishTexts(HostContainer& container) {
    AddHostTexts(container, HostLanguage::kEnglish);
}
