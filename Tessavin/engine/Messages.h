#pragma once

// Window messages between the engine, the channel tree, the reading pane and the frame.
const unsigned kMsgUpdateFinished = 11901;     // wParam 1/0, lParam the channel
const unsigned kMsgItemReadChanged = 11902;    // wParam 1 read / 0 unread, lParam the channel
const unsigned kMsgItemDeleted = 11903;        // wParam 0 was unread / 1 was read
const unsigned kMsgStatus = 11904;             // wParam a status code below, lParam 0
const unsigned kMsgShowChannelPage = 11905;    // lParam the channel
const unsigned kMsgChannelPageWritten = 11906; // lParam the channel: an update wrote its page
const unsigned kMsgUpdateWalkDone = 11907;     // the update-all walk has started its last job
const unsigned kMsgIconFetched = 11908;        // site icon searches ended: IconQueue results

// Status codes of message 11904.
const unsigned kStatusProxyAuthentication = 11720;
const unsigned kStatusBadAddress = 11721;
const unsigned kStatusRequestSent = 11722;
const unsigned kStatusEmptyDocument = 11723;
const unsigned kStatusDocumentReceived = 11724;
const unsigned kStatusReadFailed = 11725;
const unsigned kStatusDocumentRejected = 11726;
const unsigned kStatusUpdateStarted = 11731;
const unsigned kStatusUpdateSucceeded = 11732;
const unsigned kStatusUpdateFailed = 11744;
const unsigned kStatusImportFailed = 11745;
const unsigned kStatusUpdateHandled = 11746;
