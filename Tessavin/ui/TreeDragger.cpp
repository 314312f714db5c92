#include "ui/TreeDragger.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <wx/dcmemory.h>
#include <wx/dragimag.h>
#include <wx/imaglist.h>
#include <wx/settings.h>
#include <wx/utils.h>

namespace {

// The node's image and text on white, white masked out.
wxBitmap DragBitmap(const wxTreeCtrl& tree, const wxTreeItemId& item) {
    const wxString text = tree.GetItemText(item);
    wxMemoryDC measure;
    measure.SetFont(tree.GetFont());
    const wxSize extent = measure.GetTextExtent(text);
    const int width = 16 + 4 + extent.x + 2;
    const int height = std::max(16, extent.y);
    wxBitmap bitmap(width, height);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        dc.SetFont(tree.GetFont());
        dc.SetTextForeground(*wxBLACK);
        const int image = tree.GetItemImage(item);
        if (tree.GetImageList() && image >= 0)
            tree.GetImageList()->Draw(image, dc, 0, (height - 16) / 2,
                                      wxIMAGELIST_DRAW_TRANSPARENT);
        dc.DrawText(text, 20, (height - extent.y) / 2);
    }
    wxImage image = bitmap.ConvertToImage();
    image.SetMaskColour(255, 255, 255);
    return wxBitmap(image);
}

} // namespace

CTreeDragger::CTreeDragger(wxTreeCtrl* tree)
    : tree_(tree), hover_(tree, kHoverTimerId), scroll_(tree, kScrollTimerId) {}

CTreeDragger::~CTreeDragger() {
    hover_.Stop();
    scroll_.Stop();
    if (image_)
        image_->EndDrag();
}

long CTreeDragger::EventTime(const wxMouseEvent& event) {
    // The server's time of the event where there is one, so that a drag is judged by when
    // the hand moved rather than by when the events were handled.
    if (event.GetTimestamp() != 0)
        return event.GetTimestamp();
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count());
}

int CTreeDragger::ScrollPeriod(int beyond) {
    const int distance = (beyond + 10) / 20;
    return std::max(1, 6 - std::max(0, distance));
}

void CTreeDragger::OnLeftDown(const wxMouseEvent& event) {
    pressTime_ = EventTime(event);
    pressPos_ = event.GetPosition();
}

bool CTreeDragger::PastThreshold() const {
    // The system's drag rectangle, centred on the press; a hand that trembles stays inside.
    int width = wxSystemSettings::GetMetric(wxSYS_DRAG_X, tree_);
    int height = wxSystemSettings::GetMetric(wxSYS_DRAG_Y, tree_);
    width = width > 0 ? width : kDefaultDragPx;
    height = height > 0 ? height : kDefaultDragPx;
    return std::abs(lastPos_.x - pressPos_.x) > width / 2 ||
           std::abs(lastPos_.y - pressPos_.y) > height / 2;
}

void CTreeDragger::OnMotion(const wxMouseEvent& event) {
    motionTime_ = EventTime(event);
    hover_.StartOnce(kHoverMs);
    lastPos_ = event.GetPosition();
    if (!dragging_)
        return;
    image_->Move(lastPos_);
    image_->Hide();
    int flags = 0;
    const wxTreeItemId item = tree_->HitTest(lastPos_, flags);
    // Inside the tree the target is the node under the pointer (none over blank space);
    // beyond its edges it is the row the scrolling brings in.
    if (wxRect(tree_->GetClientSize()).Contains(lastPos_)) {
        Highlight(item);
        target_ = item;
    }
    // The left margin means the top level.
    toTopLevel_ = lastPos_.x < kMarginPx;
    tree_->Update();
    image_->Show();
}

void CTreeDragger::OnBeginDrag(const wxTreeEvent& event) {
    // 32-bit server times wrap: the difference is taken modulo 2^32.
    const auto held = static_cast<uint32_t>(motionTime_ - pressTime_);
    if (dragging_ || held < static_cast<uint32_t>(kMinPressMs) || !PastThreshold() ||
        !event.GetItem().IsOk())
        return;
    source_ = event.GetItem();
    target_ = wxTreeItemId();
    toTopLevel_ = false;
    wxTreeItemId source = source_;
    const wxBitmap bitmap = DragBitmap(*tree_, source);
    if (!bitmap.IsOk())
        return;
    image_ = std::make_unique<wxDragImage>(bitmap);
    if (!image_->BeginDrag(wxPoint(8, 8), tree_)) { // captures the mouse
        image_.reset();
        return;
    }
    dragging_ = true;
    image_->Move(event.GetPoint());
    image_->Show();
    scroll_.Start(kScrollMs);
}

void CTreeDragger::Highlight(const wxTreeItemId& item) {
    if (highlighted_ == item)
        return;
    if (highlighted_.IsOk())
        tree_->SetItemDropHighlight(highlighted_, false);
    highlighted_ = item;
    if (highlighted_.IsOk())
        tree_->SetItemDropHighlight(highlighted_, true);
}

void CTreeDragger::EndGesture() {
    dragging_ = false;
    if (image_) {
        image_->Hide();
        image_->EndDrag(); // releases the mouse
        image_.reset();
    }
    Highlight(wxTreeItemId());
    scroll_.Stop();
}

bool CTreeDragger::OnLeftUp() {
    if (!dragging_)
        return false;
    const wxTreeItemId source = source_;
    // Released in the margin: the top level; over another node: that node; over the
    // dragged node itself or over no node ever: nothing moves.
    const wxTreeItemId target = toTopLevel_ ? wxTreeItemId() : target_;
    const bool drops = toTopLevel_ || (target.IsOk() && target != source);
    EndGesture();
    source_ = target_ = wxTreeItemId();
    if (drop && drops)
        drop(source, target);
    return true;
}

void CTreeDragger::Cancel() {
    if (!dragging_)
        return;
    EndGesture();
    source_ = target_ = wxTreeItemId();
}

void CTreeDragger::OnTimer(int id) {
    if (id == kHoverTimerId) {
        hover_.Stop();
        int flags = 0;
        const wxTreeItemId item = tree_->HitTest(lastPos_, flags);
        if (dragging_ && item.IsOk()) {
            image_->Hide();
            tree_->SelectItem(item);
            tree_->Expand(item);
            tree_->Update();
            image_->Show();
        }
    } else if (id == kScrollTimerId && dragging_) {
        ScrollStep();
    }
}

wxTreeItemId CTreeDragger::NextRow(const wxTreeItemId& item) const {
    if (tree_->ItemHasChildren(item) && tree_->IsExpanded(item)) {
        wxTreeItemIdValue cookie;
        const wxTreeItemId child = tree_->GetFirstChild(item, cookie);
        if (child.IsOk())
            return child;
    }
    for (wxTreeItemId at = item; at.IsOk() && at != tree_->GetRootItem();
         at = tree_->GetItemParent(at)) {
        const wxTreeItemId next = tree_->GetNextSibling(at);
        if (next.IsOk())
            return next;
    }
    return wxTreeItemId();
}

wxTreeItemId CTreeDragger::PrevRow(const wxTreeItemId& item) const {
    wxTreeItemId prev = tree_->GetPrevSibling(item);
    if (!prev.IsOk()) {
        const wxTreeItemId parent = tree_->GetItemParent(item);
        return parent == tree_->GetRootItem() ? wxTreeItemId() : parent;
    }
    // The last row shown under the previous sibling.
    while (tree_->ItemHasChildren(prev) && tree_->IsExpanded(prev)) {
        const wxTreeItemId last = tree_->GetLastChild(prev);
        if (!last.IsOk())
            break;
        prev = last;
    }
    return prev;
}

wxTreeItemId CTreeDragger::FirstVisibleRow() const {
    wxTreeItemIdValue cookie;
    for (wxTreeItemId row = tree_->GetFirstChild(tree_->GetRootItem(), cookie); row.IsOk();
         row = NextRow(row)) {
        wxRect rect;
        if (tree_->GetBoundingRect(row, rect) && rect.GetBottom() >= 0)
            return row;
    }
    return wxTreeItemId();
}

void CTreeDragger::ScrollStep() {
    ++scrollTicks_;
    const wxPoint cursor = wxGetMousePosition();
    const wxPoint origin = tree_->ClientToScreen(wxPoint(0, 0));
    const int top = origin.y;
    const int bottom = origin.y + tree_->GetClientSize().y;
    const wxTreeItemId first = FirstVisibleRow();
    if (cursor.y < top + 10) {
        if (scrollTicks_ % ScrollPeriod(top - cursor.y) != 0)
            return;
        image_->Hide();
        const wxTreeItemId above = first.IsOk() ? PrevRow(first) : wxTreeItemId();
        if (above.IsOk())
            tree_->ScrollTo(above);
        Highlight(first);
        target_ = first;
        tree_->Update();
        image_->Show();
    } else if (cursor.y > bottom - 10) {
        if (scrollTicks_ % ScrollPeriod(cursor.y - bottom) != 0)
            return;
        image_->Hide();
        // The last row that was wholly in view before the scroll, and the first that was
        // not. A row cut by the edge comes up with the row after it, so that every step
        // scrolls a whole row whatever the tree's height.
        const int height = tree_->GetClientSize().y;
        wxTreeItemId last = first, below;
        wxRect rect;
        for (wxTreeItemId row = first; row.IsOk(); row = NextRow(row)) {
            if (!tree_->GetBoundingRect(row, rect) || rect.GetBottom() >= height) {
                below = row;
                break;
            }
            last = row;
        }
        if (below.IsOk() && rect.GetTop() < height && NextRow(below).IsOk())
            below = NextRow(below);
        if (below.IsOk())
            tree_->ScrollTo(below);
        if (last.IsOk()) {
            Highlight(last);
            target_ = last;
        }
        tree_->Update();
        image_->Show();
    }
}
