#pragma once

class HostContainer;

enum class HostLanguage { kEnglish, kChinese };

// The texts of every key the module uses ("QuorvelUIPlugin") and of the message box's
// buttons ("BrindlePlugin"), in the stand-in hosts' two languages.
void AddHostTexts(HostContainer& container, HostLanguage language);
// English texts (the command-line host).
void AddEnglishTexts(HostContainer& container);
