#pragma once

#include "host/HostInterfaces.h"

#include <string>

extern const wchar_t* const kModuleTextsName; // "QuorvelUIPlugin"
extern const wchar_t* const kButtonTextsName; // "BrindlePlugin"

// The text for a key; empty without a container, service or text.
std::wstring GetLocaleText(const std::wstring& key, const std::wstring& moduleName,
                           IPluginContainer* container);
// One host setting; empty without a container or service, or when the host has no value.
std::wstring ReadHostConfigValue(const std::wstring& section, const std::wstring& key,
                                 IPluginContainer* container);

// The host's [rss] userchanneldefine is "1": the start-up copies the plug-in's channel list.
bool HostWantsUserChannelList(IPluginContainer* container);

// Button results and styles of message boxes.
const int kIdOk = 1;
const int kIdCancel = 2;
const unsigned kMbOkCancelQuestionTopmost = 0x40021;
const unsigned kMbIconError = 16;

// What the message-box library receives besides text, caption and style.
struct MessageBoxParams {
    static const unsigned kUserDefinedButtons = 1u;
    static const int kCaptionCount = 15;
    static const int kCaptionChars = 64;
    unsigned size = sizeof(MessageBoxParams);
    unsigned options = 0;
    wchar_t captions[kCaptionCount][kCaptionChars] = {};
};

// Entry "XMessageBox" of libXMessageBox.so in the application folder.
using MessageBoxEntry = int (*)(void* owner, const wchar_t* text, const wchar_t* caption,
                                unsigned style, MessageBoxParams* params);

// Shows a message box through the outside library; the pressed button, or 2 (Cancel)
// when the library or its entry is missing.
int ShowMessageBox(IPluginContainer* container, const std::wstring& text,
                   const std::wstring& caption, unsigned style);
