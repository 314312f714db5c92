#pragma once

#include <wx/window.h>

// Two panes side by side with a 7-pixel split bar between them, on the frame's background
// colour. The bar is dragged with the mouse; command 11531 collapses the left pane and
// brings it back at its last dragged width (160 before any drag, or the width restored at
// the start). The left pane never takes more than the window leaves beside the bar and the
// right pane (its minimum, or a quarter of the window for a restored width); the width
// wanted is kept for when the window grows again.
class CRssSplitterWnd : public wxWindow {
public:
    static constexpr int kSashWidth = 7;
    static constexpr int kInitialLeftWidth = 160;
    static constexpr int kMinPaneWidth = 5;
    static constexpr int kToggleLeftPaneCommand = 11531;
    static const wxColour kBackground; // red 0xDD, green 0xF1, blue 0xFF

    explicit CRssSplitterWnd(wxWindow* parent);

    void SetPanes(wxWindow* left, wxWindow* right);
    void ToggleLeftPane();
    // The width kept from an earlier run (the host's setting): the width to show and to come
    // back with when it is at least kMinPaneWidth, else ignored.
    void RestoreLeftWidth(int width);
    // The left pane's width as shown.
    int LeftWidth() const;
    int SavedLeftWidth() const { return savedLeftWidth_; }

private:
    void LayoutPanes();
    bool OnSash(int x) const { return x >= LeftWidth() && x < LeftWidth() + kSashWidth; }
    void SetLeftWidth(int width);
    void OnPaint(wxPaintEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);

    wxWindow* left_ = nullptr;
    wxWindow* right_ = nullptr;
    int leftWidth_ = kInitialLeftWidth;
    int savedLeftWidth_ = kInitialLeftWidth;
    bool leftCollapsed_ = false;
    bool restored_ = false; // the width is the one restored, not dragged since
    bool dragging_ = false;
    int dragOffset_ = 0;
};
