#include "ui/RssDialog.h"

#include "host/HostServices.h"
#include "ui/ArtTable.h"

#include <algorithm>
#include <functional>
#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace {

// The border around the controls, the message line's included.
const int kMargin = 8;

// Scripts written without blanks between words: a line may break between any two of their
// characters.
bool BreaksAnywhere(wxUniChar c) {
    const wxUniChar::value_type v = c.GetValue();
    return (v >= 0x2E80 && v <= 0x9FFF) || (v >= 0xAC00 && v <= 0xD7AF) ||
           (v >= 0xF900 && v <= 0xFAFF) || (v >= 0xFF00 && v <= 0xFFEF) ||
           (v >= 0x20000 && v <= 0x2FFFF);
}

// Punctuation that never starts a line, and punctuation that never ends one.
bool StaysWithPrevious(wxUniChar c) {
    static const wxString kClosing = L"，。、：；！？）」』》〉】”’％,.:;!?)]}";
    return kClosing.Find(c) != wxNOT_FOUND;
}
bool StaysWithNext(wxUniChar c) {
    static const wxString kOpening = L"（「『《〈【“‘([{";
    return kOpening.Find(c) != wxNOT_FOUND;
}

// The text in lines of at most `width` pixels as `measure` gives them: broken at blanks,
// between the characters of scripts written without blanks, and inside a word only when
// the word alone is wider than a line.
wxString WrapText(const wxString& text, int width,
                  const std::function<int(const wxString&)>& measure) {
    // The pieces that stay on one line: a word, or one character of a script without
    // blanks, each with the punctuation that holds on to it.
    struct Piece {
        wxString text;
        bool blankBefore;
    };
    std::vector<Piece> pieces;
    const size_t length = text.length();
    size_t i = 0;
    bool blank = false;
    while (i < length) {
        if (text[i] == ' ' || text[i] == '\n') {
            blank = true;
            ++i;
            continue;
        }
        wxString piece;
        do {
            if (BreaksAnywhere(text[i]))
                piece += text[i++];
            else
                while (i < length && text[i] != ' ' && text[i] != '\n' && !BreaksAnywhere(text[i]))
                    piece += text[i++];
            while (i < length && StaysWithPrevious(text[i]))
                piece += text[i++];
        } while (i < length && StaysWithNext(piece.Last()) && text[i] != ' ' && text[i] != '\n');
        pieces.push_back({piece, blank});
        blank = false;
    }

    wxString wrapped, line;
    for (const Piece& piece : pieces) {
        const wxString longer = line + (piece.blankBefore ? " " : "") + piece.text;
        if (line.empty() || measure(longer) <= width) {
            line = line.empty() ? piece.text : longer;
        } else {
            wrapped += line + '\n';
            line = piece.text;
        }
        // A piece wider than a line on its own is cut where the line is full.
        while (line.length() > 1 && measure(line) > width) {
            size_t fit = 1;
            while (fit + 1 < line.length() && measure(line.Left(fit + 1)) <= width)
                ++fit;
            wrapped += line.Left(fit) + '\n';
            line = line.Mid(fit);
        }
    }
    return wrapped + line;
}

} // namespace

CRssDialog::CRssDialog(wxWindow* parent, IPluginContainer* container, const wchar_t* titleKey,
                       const wchar_t* titleDefault)
    : wxDialog(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      container_(container) {
    SetTitle(Text(titleKey, titleDefault));
    wxIcon icon;
    icon.CopyFromBitmap(ArtTable::Bitmap(11050, 32));
    SetIcon(icon);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent& event) {
        if (event.GetId() != wxID_OK)
            return event.Skip();
        if (Accept())
            EndModal(wxID_OK);
    });
    // A message keeps to the dialog's width when the dialog is resized.
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        if (message_ && !messageText_.empty() &&
            GetClientSize().GetWidth() - 2 * kMargin != wrapWidth_)
            WrapMessage();
    });
}

wxString CRssDialog::HostText(IPluginContainer* container, const wchar_t* key,
                              const wchar_t* fallback) {
    const std::wstring text = GetLocaleText(key, kModuleTextsName, container);
    return wxString(text.empty() ? fallback : text.c_str());
}

wxString CRssDialog::Text(const wchar_t* key, const wchar_t* fallback) const {
    return HostText(container_, key, fallback);
}

wxTextCtrl* CRssDialog::AddEdit(wxSizer* sizer, int labelId, const wchar_t* key,
                                const wchar_t* fallback, int editId, long style) {
    sizer->Add(new wxStaticText(this, labelId, Text(key, fallback)), 0, wxLEFT | wxRIGHT | wxTOP,
               kMargin);
    auto* edit = new wxTextCtrl(this, editId, wxEmptyString, wxDefaultPosition,
                                wxSize(FromDIP(360), -1), style);
    sizer->Add(edit, 0, wxEXPAND | wxALL, kMargin);
    return edit;
}

void CRssDialog::Finish(wxSizer* sizer, int messageId) {
    if (messageId) {
        message_ = new wxStaticText(this, messageId, wxEmptyString);
        message_->SetForegroundColour(*wxRED);
        sizer->Add(message_, 0, wxEXPAND | wxLEFT | wxRIGHT, kMargin);
    }
    auto* buttons = new wxStdDialogButtonSizer();
    auto* ok = new wxButton(this, wxID_OK, Text(L"IDS_OK", L"确定"));
    ok->SetDefault(); // Enter presses OK
    buttons->AddButton(ok);
    buttons->AddButton(new wxButton(this, wxID_CANCEL, Text(L"IDS_CANCEL", L"取消")));
    buttons->Realize();
    sizer->Add(buttons, 0, wxEXPAND | wxALL, kMargin);
    SetSizerAndFit(sizer);
    SetEscapeId(wxID_CANCEL);
    SetAffirmativeId(wxID_NONE); // OK runs the checks first
}

wxString CRssDialog::Value(int id) const {
    auto* edit = dynamic_cast<wxTextCtrl*>(FindWindow(id));
    return edit ? edit->GetValue() : wxString();
}

void CRssDialog::SetValue(int id, const wxString& value) {
    if (auto* edit = dynamic_cast<wxTextCtrl*>(FindWindow(id)))
        edit->ChangeValue(value);
}

wxString CRssDialog::Message() const {
    return message_ ? messageText_ : wxString();
}

void CRssDialog::ShowMessage(const wxString& text, bool refusal) {
    if (!message_)
        return;
    message_->SetForegroundColour(refusal ? *wxRED : GetForegroundColour());
    messageText_ = text;
    WrapMessage();
}

void CRssDialog::WrapMessage() {
    wrapWidth_ = GetClientSize().GetWidth() - 2 * kMargin;
    message_->SetLabelText(
        WrapText(messageText_, std::max(wrapWidth_, 1), [this](const wxString& line) {
            return message_->GetTextExtent(line).GetWidth();
        }));
    // Room for every line: the dialog grows to it and is not made smaller than that.
    const wxSize needed = ClientToWindowSize(GetSizer()->GetMinSize());
    SetMinSize(needed);
    const wxSize size = GetSize();
    if (size.GetWidth() < needed.GetWidth() || size.GetHeight() < needed.GetHeight())
        SetSize(wxSize(std::max(size.GetWidth(), needed.GetWidth()),
                       std::max(size.GetHeight(), needed.GetHeight())));
    Layout();
}

bool CRssDialog::Accept() {
    if (!Checked())
        return false;
    const wxString problem = Commit();
    if (problem.empty())
        return true;
    ShowMessage(problem);
    return false;
}

bool CRssDialog::Checked() {
    const RuleResult result = Check();
    if (result.ok)
        return true;
    if (!result.key.empty())
        ShowMessage(Text(result.key.c_str(), result.key.c_str()));
    if (wxWindow* control = FindWindow(result.focus))
        control->SetFocus();
    return false;
}
