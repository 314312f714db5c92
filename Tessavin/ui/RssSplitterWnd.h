#pragma once

#include <wx/window.h>

// Two panes side by side with a 7-pixel split bar between them, on the frame's background
// colour. The bar is dragged with the mouse; command 11531 collapses the left pane and
// brings it back at its last dragged width (160 before any drag).
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
    int LeftWidth() const { return leftWidth_; }
    bool IsLeftCollapsed() const { return leftCollapsed_; }
    int SavedLeftWidth() const { return savedLeftWidth_; }

private:
    void LayoutPanes();
    bool OnSash(int x) const { return x >= leftWidth_ && x < leftWidth_ + kSashWidth; }
    void SetLeftWidth(int width);
    void OnPaint(wxPaintEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);

    wxWindow* left_ = nullptr;
    wxWindow* right_ = nullptr;
    int leftWidth_ = kInitialLeftWidth;
    int savedLeftWidth_ = kInitialLeftWidth;
    bool leftCollapsed_ = false;
    bool dragging_ = false;
    int dragOffset_ = 0;
};
