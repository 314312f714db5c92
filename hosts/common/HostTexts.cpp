#include "HostTexts.h"

#include "HostContainer.h"

void AddEnglishTexts(HostContainer& container) {
    static const wchar_t* const kTexts[][2] = {
        {L"IDS_CHANNEL_NAME_COULD_NOT_NULL", L"The channel name must not be empty."},
        {L"IDS_NAME_HAS_CONTROL_CHARACTERS",
         L"The name must not contain line breaks or other control characters."},
        {L"IDS_CHANNEL_NAME_TOO_LONG", L"The channel name is longer than 260 characters."},
        {L"IDS_CHANNEL_DESCRIPTION_TOOL_LONG",
         L"The channel description is longer than 260 characters."},
        {L"IDS_CHANNEL_ADDRESS_COULD_NOT_NULL", L"The channel address must not be empty."},
        {L"IDS_CHANNEL_ADDRESS_TOO_LONG", L"The channel address is longer than 260 characters."},
        {L"IDS_CHANNEL_IS_EXITS", L"A channel with this address exists already."},
        {L"IDS_CHANNEL_ADDRESS_INVALID", L"The channel address is not a valid http address."},
        {L"IDS_VALID_ADDRESS", L"The channel address is valid."},
        {L"IDS_PLS_INPUT_VALID_NUMBER", L"Please enter a number."},
        {L"IDS_LOCAL_RESERVE_MSG_CAN_NOT_OVER", L"At most 1000 items can be kept."},
        {L"IDS_LOCAL_RESERVE_MSG_CAN_NOT_LOWER_THAN", L"At least 10 items are kept."},
        {L"IDS_UPDATE_TIME_COULD_NOT_OVER", L"The update interval is at most 240 minutes."},
        {L"IDS_UPDATE_TIME_COULD_NOT_LOWER", L"The update interval is at least 10 minutes."},
        {L"IDS_THES_OPERATION_WILL_DELETE_ALL_ITEM_CHANNEL",
         L"This deletes the selected channels with all their items. Go on?"},
        {L"IDS_DELETE_INFO", L"Delete"},
        {L"IDS_ADD_CHANNEL", L"Add channel"},
        {L"IDS_ADD_CHANNEL_GROUP", L"Add channel group"},
        {L"IDS_RENAME_NODE", L"Rename"},
        {L"IDS_CHANNEL_PROPERTY", L"Channel properties"},
        {L"IDS_IMPORT_FEED_FILE", L"Import feed file"},
        {L"IDS_OK", L"OK"},
        {L"IDS_CANCEL", L"Cancel"},
    };
    for (const auto& entry : kTexts)
        container.SetText(L"QuorvelUIPlugin", entry[0], entry[1]);
    container.SetText(L"BrindlePlugin", L"IDS_OK", L"OK");
    container.SetText(L"BrindlePlugin", L"IDS_CANCEL", L"Cancel");
}
