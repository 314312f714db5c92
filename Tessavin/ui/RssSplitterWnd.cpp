#include "ui/RssSplitterWnd.h"

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
    if (left_)
        left_->SetSize(0, 0, leftWidth_, size.GetHeight());
    if (right_)
        right_->SetSize(leftWidth_ + kSashWidth, 0,
                        std::max(0, size.GetWidth() - leftWidth_ - kSashWidth), size.GetHeight());
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
