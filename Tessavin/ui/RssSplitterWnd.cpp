#include "ui/RssSplitterWnd.h"

#include <algorithm>
#include <wx/dcbuffer.h>
#include <wx/event.h>

const wxColour CRssSplitterWnd::kBackground(0xDD, 0xF1, 0xFF);

CRssSplitterWnd::CRssSplitterWnd(wxWindow* parent)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE) {
    SetBackgroundColour(kBackground);
    Bind(wxEVT_SIZE, [this](wxSizeEvent&) { LayoutPanes(); });
    Bind(wxEVT_PAINT, &CRssSplitterWnd::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CRssSplitterWnd::OnMouse, this);
    Bind(wxEVT_LEFT_UP, &CRssSplitterWnd::OnMouse, this);
    Bind(wxEVT_MOTION, &CRssSplitterWnd::OnMouse, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CRssSplitterWnd::OnCaptureLost, this);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { ToggleLeftPane(); }, kToggleLeftPaneCommand);
}

void CRssSplitterWnd::SetPanes(wxWindow* left, wxWindow* right) {
    left_ = left;
    right_ = right;
    LayoutPanes();
}

void CRssSplitterWnd::RestoreLeftWidth(int width) {
    if (width < kMinPaneWidth)
        return;
    leftWidth_ = width;
    savedLeftWidth_ = width;
    leftCollapsed_ = false;
    restored_ = true;
    LayoutPanes();
}

int CRssSplitterWnd::LeftWidth() const {
    const int width = GetClientSize().GetWidth();
    // A width from an earlier run (perhaps of a larger window) leaves the right pane a
    // quarter of the window; a dragged one only the minimum.
    const int right = restored_ ? std::max(kMinPaneWidth, width / 4) : kMinPaneWidth;
    return std::max(kMinPaneWidth, std::min(leftWidth_, width - kSashWidth - right));
}

void CRssSplitterWnd::SetLeftWidth(int width) {
    const int most = GetClientSize().GetWidth() - kSashWidth - kMinPaneWidth;
    if (width > most)
        width = most;
    if (width < kMinPaneWidth)
        width = kMinPaneWidth;
    leftWidth_ = width;
    LayoutPanes();
}

void CRssSplitterWnd::LayoutPanes() {
    const wxSize size = GetClientSize();
    const int left = LeftWidth();
    if (left_)
        left_->SetSize(0, 0, left, size.GetHeight());
    if (right_)
        right_->SetSize(left + kSashWidth, 0, std::max(0, size.GetWidth() - left - kSashWidth),
                        size.GetHeight());
    Refresh(false);
}

void CRssSplitterWnd::ToggleLeftPane() {
    if (leftCollapsed_) {
        leftCollapsed_ = false;
        SetLeftWidth(savedLeftWidth_);
    } else {
        leftCollapsed_ = true;
        SetLeftWidth(0); // the minimum width stays
    }
}

void CRssSplitterWnd::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    dc.SetBackground(wxBrush(kBackground));
    dc.Clear();
}

void CRssSplitterWnd::OnMouse(wxMouseEvent& event) {
    const int x = event.GetX();
    if (event.LeftDown() && OnSash(x)) {
        leftWidth_ = LeftWidth(); // the drag starts where the bar is shown
        restored_ = false;
        dragging_ = true;
        dragOffset_ = x - leftWidth_;
        CaptureMouse();
    } else if (event.LeftUp() && dragging_) {
        dragging_ = false;
        if (HasCapture())
            ReleaseMouse();
        // A dragged bar is the width a collapsed pane comes back with.
        savedLeftWidth_ = leftWidth_;
        leftCollapsed_ = false;
    } else if (event.Dragging() && dragging_) {
        SetLeftWidth(x - dragOffset_);
    }
    SetCursor(dragging_ || OnSash(x) ? wxCursor(wxCURSOR_SIZEWE) : wxNullCursor);
    event.Skip();
}

void CRssSplitterWnd::OnCaptureLost(wxMouseCaptureLostEvent&) {
    dragging_ = false;
}
