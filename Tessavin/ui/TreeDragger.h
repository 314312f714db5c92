#pragma once

#include <functional>
#include <memory>
#include <wx/defs.h> // before dragimag.h, which needs the build settings
#include <wx/dragimag.h>
#include <wx/timer.h>
#include <wx/treectrl.h>

// The drag gesture of a tree control: an item dragged with the left button (held a moment and
// moved past the system's drag threshold) shows a drag image (hot spot 8, 8) and drop-highlights
// the node under the cursor; a drop in the left margin means the top level. Hovering expands the
// node under the cursor; near the top and bottom edges the tree scrolls, faster the farther the
// cursor is past the edge. What a drop does (and what it refuses) is up to `drop`.
//
// The tree forwards its mouse events, its begin-drag notification and the events of the
// timers with ids kHoverTimerId and kScrollTimerId (both owned by the tree window).
class CTreeDragger {
public:
    static const int kHoverTimerId = 1;
    static const int kScrollTimerId = 2;
    static const int kHoverMs = 800;
    static const int kScrollMs = 40;
    static const int kMinPressMs = 60;   // a drag needs the button held this long
    static const int kMarginPx = 20;     // a drop this close to the left edge: top level
    static const int kDefaultDragPx = 8; // the drag rectangle when the system names none

    explicit CTreeDragger(wxTreeCtrl* tree);
    ~CTreeDragger();
    CTreeDragger(const CTreeDragger&) = delete;
    CTreeDragger& operator=(const CTreeDragger&) = delete;

    // The dragged item and the drop target (not ok: the top level), when the button goes up
    // over another node or in the left margin.
    std::function<void(const wxTreeItemId& source, const wxTreeItemId& target)> drop;

    void OnLeftDown(const wxMouseEvent& event);
    void OnMotion(const wxMouseEvent& event);
    // The tree's begin-drag notification (sent while the mouse moves with the button down).
    void OnBeginDrag(const wxTreeEvent& event);
    // True when a drag ended here.
    bool OnLeftUp();
    // The mouse went elsewhere (another window took it): the drag ends without a drop.
    void Cancel();
    void OnTimer(int id);

    bool Dragging() const { return dragging_; }
    wxTreeItemId DropTarget() const { return target_; }
    long ScrollTicks() const { return scrollTicks_; }
    // How many scroll-timer ticks a one-line scroll waits for, with the cursor `beyond`
    // pixels past the tree's edge (negative: inside the 10-pixel band along it).
    static int ScrollPeriod(int beyond);

private:
    void EndGesture();
    // The pointer has left the system's drag rectangle around the press.
    bool PastThreshold() const;
    void Highlight(const wxTreeItemId& item);
    void ScrollStep();
    wxTreeItemId FirstVisibleRow() const;
    wxTreeItemId NextRow(const wxTreeItemId& item) const;
    wxTreeItemId PrevRow(const wxTreeItemId& item) const;
    static long EventTime(const wxMouseEvent& event);

    wxTreeCtrl* tree_;
    wxTimer hover_;
    wxTimer scroll_;
    std::unique_ptr<wxDragImage> image_;
    bool dragging_ = false;
    wxTreeItemId source_;
    wxTreeItemId target_;
    wxTreeItemId highlighted_;
    long pressTime_ = 0;
    long motionTime_ = 0;
    wxPoint lastPos_;
    wxPoint pressPos_;
    bool toTopLevel_ = false;
    long scrollTicks_ = 0;
};
