#pragma once

class HostContainer;

// English texts for the module's keys ("QuorvelUIPlugin") that the stand-in hosts show.
void AddEnglishTexts(HostContainer& container);
