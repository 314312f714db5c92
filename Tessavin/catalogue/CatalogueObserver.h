#pragma once

#include "catalogue/FeedAddresses.h"
#include "catalogue/UpdateOutcome.h"

#include <string>

class CChannel;
struct CatalogueNode;

// What a tree showing the catalogue (and the services around it) hears from the model.
// Every member has a default that does nothing, so a headless host overrides only what it
// needs. Calls come from the thread that made the change (the update-all walk included).
class ICatalogueObserver {
public:
    virtual ~ICatalogueObserver() = default;
    virtual void OnNodeInserted(CatalogueNode* node) { (void)node; }
    // Called before the node and its record are deleted.
    virtual void OnNodeRemoved(CatalogueNode* node) { (void)node; }
    // The subtree at node now hangs under its (new) parent, at the end.
    virtual void OnNodeMoved(CatalogueNode* node) { (void)node; }
    virtual void OnNodeTextChanged(CatalogueNode* node) { (void)node; }
    virtual void OnUpdatingChanged(CChannel* channel, bool updating) {
        (void)channel;
        (void)updating;
    }
    // reason: why a failed update failed, in a few English words.
    virtual void OnUpdateFinished(CChannel* channel, UpdateOutcome outcome,
                                  const std::string& reason) {
        (void)channel;
        (void)outcome;
        (void)reason;
    }
    // A finished update that read the channel's document (or heard it was unchanged): the
    // site and icon addresses it named, on the thread that handles the update's end.
    virtual void OnFeedAddresses(CChannel* channel, const FeedAddresses& addresses) {
        (void)channel;
        (void)addresses;
    }
    // Channel timers (period interval x 60000 ms); KillChannelTimer false when it failed.
    virtual void StartChannelTimer(CChannel* channel) { (void)channel; }
    virtual bool KillChannelTimer(CChannel* channel) {
        (void)channel;
        return true;
    }
    // True when the observer will call CatalogueModel::FlushSaves soon (after the messages
    // already queued); false asks the model to save at once.
    virtual bool ScheduleSave() { return false; }
    // The reading pane closes the channel's page if it shows it.
    virtual void ClosePageOfChannel(CChannel* channel) { (void)channel; }
    // The channel's files changed under its page: an open page is loaded again.
    virtual void ReloadPageOfChannel(CChannel* channel) { (void)channel; }
};
