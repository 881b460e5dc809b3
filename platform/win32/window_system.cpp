#include "platform/win32/window_system.h"

#include <commctrl.h>
#include <oleacc.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/accessible_roles.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/scoped_handles.h"
#include "platform/win32/wide_text.h"
#include "platform/window_geometry.h"

namespace quorvin::platform::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"QuorvinWindow";

struct Picture {
    const char* name;
    int id;
    bool bitmap;  // else an icon
};

constexpr Picture kPictures[] = {
    {"app_icon", QUORVIN_ICON_APP, false},
    {"about_button", QUORVIN_ICON_ABOUT_BUTTON, false},
    {"quit_button", QUORVIN_ICON_QUIT_BUTTON, false},
    {"donation", QUORVIN_BITMAP_DONATION, true},
};

const Picture& pictureNamed(const std::string& name)
{
    for (const Picture& picture : kPictures) {
        if (name == picture.name) {
            return picture;
        }
    }
    throw std::out_of_range("no picture named " + name);
}

COLORREF colorRef(const Color& color)
{
    return RGB(color.red, color.green, color.blue);
}

// The functions that know about per-monitor dpi exist from Windows 10 1607 on; older systems get 96 dpi.
template <class Function>
Function* user32Function(const char* name)
{
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT dpiOf(HWND window)
{
    static auto* const getDpiForWindow = user32Function<UINT WINAPI(HWND)>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

void adjustForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi)
{
    static auto* const adjust =
        user32Function<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&rect, style, FALSE, exStyle, dpi)) {
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
}

// The face the designs' sizes were measured with, as the default of the windows' toolkit of old: wider
// faces (Segoe UI, Tahoma) cut the end of several labels.
const Font kDefaultFont{u"MS Sans Serif", 8.25, false};

// Below 10 points at 1x, a smoothed face comes out pale grey, most of all a stand-in with thin strokes
// for a face that is not installed (Comic Sans MS): an enabled button looks disabled and full stops fade.
// There the glyphs are drawn hinted and unsmoothed, black and whole, as the designs were first seen.
DWORD qualityFor(const Font& font, UINT dpi)
{
    constexpr double kSmallest = 10;
    return font.points < kSmallest && dpi < 2 * USER_DEFAULT_SCREEN_DPI ? NONANTIALIASED_QUALITY : CLEARTYPE_QUALITY;
}

HFONT designFont(const Font& font, UINT dpi)
{
    const int height = -static_cast<int>(std::lround(font.points * dpi / 72.0));
    return CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, qualityFor(font, dpi), DEFAULT_PITCH | FF_DONTCARE,
                       wide(font.family).c_str());
}

std::u16string windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return fromWide(text);
}

// Whether an edit box shows the whole of `text` between its margins, in its font.
bool editShowsWhole(HWND edit, const std::wstring& text)
{
    RECT client{};
    GetClientRect(edit, &client);
    const auto margins = static_cast<DWORD>(SendMessageW(edit, EM_GETMARGINS, 0, 0));
    SIZE extent{};
    if (const WindowDC dc(edit); dc) {
        const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(edit, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    }
    return extent.cx < client.right - LOWORD(margins) - HIWORD(margins);
}

// Whether Tab stops at a control of this kind: buttons, text boxes and links.
bool takesFocus(const ControlDesign& control)
{
    switch (control.kind) {
    case ControlKind::Button:
    case ControlKind::PictureButton:
    case ControlKind::TextBox:
        return true;
    case ControlKind::Label:
    case ControlKind::Picture:
        return !control.linkTarget.empty();
    default:
        return false;
    }
}

// The ring around a focused control, in its window's client pixels.
FocusRing ringAround(HWND control)
{
    HWND window = GetParent(control);
    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    return focusRingAround({box.left, box.top, box.right - box.left, box.bottom - box.top},
                           static_cast<double>(dpiOf(window)) / USER_DEFAULT_SCREEN_DPI);
}

// The window draws the ring of the control that has the focus (WM_PAINT): the control has it redrawn as it
// takes and loses the focus.
LRESULT CALLBACK focusRingProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
        const PixelRect outer = ringAround(hwnd).outer;
        const RECT area{outer.left, outer.top, outer.left + outer.width, outer.top + outer.height};
        RedrawWindow(GetParent(hwnd), &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, focusRingProcedure, 0);
    }
    return result;
}

// A link label tells screen readers that it is a link, and its address; Enter or Space (on its release,
// as on a button) presses it as a click does.
LRESULT CALLBACK linkProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    constexpr LPARAM kRepeated = 1 << 30;  // the key was already down
    const auto press = [hwnd] {
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), STN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
    };
    switch (message) {
    case WM_GETOBJECT: {
        const auto* target = reinterpret_cast<const std::u16string*>(data);
        if (const LRESULT answer = accessibleWithRole(hwnd, wParam, lParam, ROLE_SYSTEM_LINK, wide(*target))) {
            return answer;
        }
        break;
    }
    case WM_GETDLGCODE:
        // Enter is the link's, not the default button's that the dialog manager would press.
        if (const auto* key = reinterpret_cast<const MSG*>(lParam);
            key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
            return DefSubclassProc(hwnd, message, wParam, lParam) | DLGC_WANTMESSAGE;
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN && (lParam & kRepeated) == 0) {
            press();
            return 0;
        }
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE) {
            press();
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, linkProcedure, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool isUserInput(const MSG& message)
{
    const UINT m = message.message;
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
           (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK) || m == WM_DROPFILES ||
           m == BM_CLICK;  // a click posted by an accessibility tool is input too
}

}  // namespace

class NativeWindow;

class NativeControl final : public Control {
public:
    NativeControl(NativeWindow& window, const ControlDesign& design, int id)
        : window(window), design(design), id(id), text_(design.text), toolTip_(design.toolTip),
          enabled_(design.enabled), visible_(design.visible)
    {
    }
    ~NativeControl() override = default;
    NativeControl(const NativeControl&) = delete;
    NativeControl& operator=(const NativeControl&) = delete;

    std::u16string text() const override
    {
        return !hwnd || design.kind == ControlKind::ProgressBar || showsPicture() ? text_ : windowText(hwnd);
    }

    void setText(std::u16string_view text) override;

    std::u16string toolTip() const override { return toolTip_; }
    void setToolTip(std::u16string_view toolTip) override { toolTip_ = toolTip; }  // read back when it shows

    bool enabled() const override { return hwnd ? IsWindowEnabled(hwnd) != FALSE : enabled_; }
    void setEnabled(bool enabled) override;

    bool visible() const override { return hwnd ? (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0 : visible_; }
    void setVisible(bool visible) override;

    // Replaces the font and the picture with ones made for `dpi`.
    void applyDpi(UINT dpi, HFONT defaultFont);
    void release();

    const wchar_t* toolTipText() const { return reinterpret_cast<const wchar_t*>(toolTip_.c_str()); }
    bool showsPicture() const
    {
        return design.kind == ControlKind::PictureButton || design.kind == ControlKind::Picture;
    }

    NativeWindow& window;
    const ControlDesign& design;
    const int id;
    HWND hwnd = nullptr;
    ScopedBrush brush;  // its own background colour, if any

private:
    std::u16string text_;
    std::u16string toolTip_;
    bool enabled_;
    bool visible_;
    ScopedFont font_;
    ScopedBitmap bitmap_;  // its picture, one or the other
    ScopedIcon icon_;
};

class NativeWindow final : public Window {
public:
    NativeWindow(WindowSystem& system, const WindowDesign& design, EventSink& sink);
    ~NativeWindow() override;
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    std::u16string caption() const override { return windowText(hwnd_); }
    void setCaption(std::u16string_view caption) override { SetWindowTextW(hwnd_, wide(caption).c_str()); }
    Control& control(std::string_view name) override;
    WindowHandle handle() const override { return reinterpret_cast<WindowHandle>(hwnd_); }

    HWND hwnd() const { return hwnd_; }
    UINT dpi() const { return dpi_; }
    bool unloaded() const { return unloaded_; }
    int twipsToPixels(int twips) const { return platform::twipsToPixels(twips, dpi_); }
    HINSTANCE instance() const { return system_.instance(); }

    // Places a label at its designed box, widened to its text when the text is wider.
    void fitLabel(NativeControl& label);
    void centerOver(HWND owner);
    void focusFirstControl();
    // Owner that takes no input until this window is unloaded.
    void disableOwner(HWND owner);
    void unload();

    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void raise(const NativeControl& control, Event event);
    void onCommand(int id, int code);
    void onDroppedFiles(ScopedDrop drop);
    void paintLines(HDC dc);
    void paintFocusRing(HDC dc);
    void layout();
    void createControl(NativeControl& control);
    void placeLabelsBeforeFields();
    void loadIcons();
    NativeControl* controlOf(HWND hwnd);
    NativeControl* buttonWhere(bool ControlDesign::*role);
    NativeControl* enterButton();

    WindowSystem& system_;
    const WindowDesign& design_;
    EventSink& sink_;
    std::vector<std::unique_ptr<NativeControl>> controls_;  // in design order
    HWND hwnd_ = nullptr;
    HWND toolTips_ = nullptr;
    HWND disabledOwner_ = nullptr;
    HWND lastFocus_ = nullptr;
    ScopedBrush ownBackground_;  // none when the window has the system's colour
    HBRUSH background_ = nullptr;
    ScopedFont defaultFont_;
    ScopedIcon bigIcon_;
    ScopedIcon smallIcon_;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    bool unloaded_ = false;
};

// --- controls ---

void NativeControl::setText(std::u16string_view text)
{
    text_ = text;
    if (!hwnd) {
        return;
    }
    if (design.kind == ControlKind::ProgressBar) {
        SendMessageW(hwnd, PBM_SETPOS, std::wcstol(wide(text).c_str(), nullptr, 10), 0);
        return;
    }
    if (showsPicture()) {
        return;  // its window text is its name for screen readers
    }
    SetWindowTextW(hwnd, wide(text).c_str());  // an edit box raises its Change event, as typing does
    if (design.kind == ControlKind::TextBox && design.readOnly) {
        // A value the field cuts shows whole in its tool tip; one that fits keeps the designed tip (none).
        toolTip_ = editShowsWhole(hwnd, wide(text)) ? design.toolTip : std::u16string(text);
    }
    if (design.kind == ControlKind::Label) {
        window.fitLabel(*this);
    }
}

void NativeControl::setEnabled(bool enabled)
{
    enabled_ = enabled;
    if (hwnd) {
        EnableWindow(hwnd, enabled);
    }
}

void NativeControl::setVisible(bool visible)
{
    visible_ = visible;
    if (hwnd) {
        ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE);
    } else if (window.hwnd()) {
        InvalidateRect(window.hwnd(), nullptr, TRUE);  // a line is drawn by the window itself
    }
}

void NativeControl::applyDpi(UINT dpi, HFONT defaultFont)
{
    if (!hwnd) {
        return;
    }
    ScopedFont font(design.font ? designFont(*design.font, dpi) : nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font.get() : defaultFont), TRUE);
    font_ = std::move(font);  // the font the control had is freed once it no longer uses it

    if (design.picture.empty()) {
        return;
    }
    const Picture& picture = pictureNamed(design.picture);
    int width = 0, height = 0;
    if (design.stretchPicture) {
        RECT box{};
        GetClientRect(hwnd, &box);
        width = box.right, height = box.bottom;
    } else if (!picture.bitmap) {
        width = height = MulDiv(32, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
    } else {
        // A bitmap keeps its own size, in pixels of a 96-dpi screen.
        BITMAP natural{};
        const ScopedBitmap probe(
            static_cast<HBITMAP>(LoadImageW(window.instance(), MAKEINTRESOURCEW(picture.id), IMAGE_BITMAP, 0, 0, 0)));
        if (probe) {
            GetObjectW(probe.get(), sizeof natural, &natural);
        }
        width = MulDiv(natural.bmWidth, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
        height = MulDiv(natural.bmHeight, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
    }
    const UINT type = picture.bitmap ? IMAGE_BITMAP : IMAGE_ICON;
    HANDLE image = LoadImageW(window.instance(), MAKEINTRESOURCEW(picture.id), type, width, height, 0);
    const UINT setImage = design.kind == ControlKind::PictureButton ? BM_SETIMAGE : STM_SETIMAGE;
    SendMessageW(hwnd, setImage, type, reinterpret_cast<LPARAM>(image));
    // The picture the control had is freed once it shows the new one.
    if (picture.bitmap) {
        bitmap_.reset(static_cast<HBITMAP>(image));
    } else {
        icon_.reset(static_cast<HICON>(image));
    }
}

void NativeControl::release()
{
    font_.reset();
    bitmap_.reset();
    icon_.reset();
    brush.reset();
}

// --- windows ---

NativeWindow::NativeWindow(WindowSystem& system, const WindowDesign& design, EventSink& sink)
    : system_(system), design_(design), sink_(sink)
{
    if (design.background) {
        ownBackground_.reset(CreateSolidBrush(colorRef(*design.background)));
    }
    background_ = ownBackground_ ? ownBackground_.get() : GetSysColorBrush(COLOR_BTNFACE);
    const bool dialog = design.border == Border::FixedDialog;
    // No WS_CLIPCHILDREN: the window paints the inside of its frames, which group boxes leave to it.
    const DWORD style = WS_CAPTION | WS_SYSMENU | (dialog ? WS_POPUP : WS_OVERLAPPED);
    const DWORD exStyle = dialog ? WS_EX_DLGMODALFRAME : 0;
    CreateWindowExW(exStyle, kWindowClass, wide(design.caption).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, system.instance(), this);
    if (!hwnd_) {
        throw std::runtime_error("cannot create window " + design.name);
    }
    dpi_ = dpiOf(hwnd_);

    for (std::size_t i = 0; i < design.controls.size(); ++i) {
        controls_.push_back(
            std::make_unique<NativeControl>(*this, design.controls[i], kFirstControlId + static_cast<int>(i)));
    }
    // Tab order is creation order.
    std::vector<NativeControl*> order;
    for (const std::size_t i : tabOrder(design.controls)) {
        order.push_back(controls_[i].get());
    }
    toolTips_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, system.instance(), nullptr);
    // Long tips (a whole path) wrap at half the screen's width instead of running past its edge.
    SendMessageW(toolTips_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 2);
    for (NativeControl* control : order) {
        createControl(*control);
    }
    // Frames go below everything, or they would hide what they contain. They take no focus, so the tab
    // order (the controls' order from the top) stays the creation order.
    for (NativeControl* control : order) {
        if (control->design.kind == ControlKind::Frame) {
            SetWindowPos(control->hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    placeLabelsBeforeFields();
    layout();

    if (design.acceptsDroppedFiles) {
        DragAcceptFiles(hwnd_, TRUE);
    }
    loadIcons();
}

NativeWindow::~NativeWindow()
{
    if (hwnd_) {
        if (disabledOwner_) {
            EnableWindow(disabledOwner_, TRUE);
        }
        DestroyWindow(hwnd_);
    }
    controls_.clear();  // before the window's own font and brush, which they may use
}

void NativeWindow::createControl(NativeControl& control)
{
    const ControlDesign& d = control.design;
    if (d.background) {
        control.brush.reset(CreateSolidBrush(colorRef(*d.background)));
    }
    if (d.kind == ControlKind::Line) {
        return;  // drawn by the window
    }
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (d.visible ? WS_VISIBLE : 0) | (d.enabled ? 0 : WS_DISABLED) |
                  (takesFocus(d) ? WS_TABSTOP : 0);
    DWORD exStyle = 0;
    const wchar_t* windowClass = L"STATIC";
    const DWORD alignment = d.align == Align::Center ? SS_CENTER : d.align == Align::Right ? SS_RIGHT : SS_LEFT;
    switch (d.kind) {
    case ControlKind::Button:
        windowClass = L"BUTTON";
        style |= d.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        break;
    case ControlKind::PictureButton:
        windowClass = L"BUTTON";
        style |= BS_PUSHBUTTON | BS_ICON;
        break;
    case ControlKind::Frame:
        windowClass = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
    case ControlKind::TextBox:
        windowClass = L"EDIT";
        style |= ES_AUTOHSCROLL | (d.readOnly ? ES_READONLY : 0);
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::ProgressBar:
        windowClass = PROGRESS_CLASSW;
        break;
    case ControlKind::Label:
        // SS_NOTIFY: clicks, and the mouse over it shows its tool tip. Every label is one line, widened to
        // its text (fitLabel); only a text wider than the whole window would end in an ellipsis.
        style |= SS_NOTIFY | SS_ENDELLIPSIS | alignment;
        break;
    case ControlKind::Picture:
        style |= SS_NOTIFY | (pictureNamed(d.picture).bitmap ? SS_BITMAP : SS_ICON) |
                 (d.stretchPicture ? SS_REALSIZECONTROL : SS_REALSIZEIMAGE);
        break;
    case ControlKind::Line:
        break;
    }
    // A picture's window text is not shown: screen readers say it as the picture's name.
    const std::u16string text = control.showsPicture() ? accessibleNameOf(d) : d.text;
    control.hwnd =
        CreateWindowExW(exStyle, windowClass, wide(text).c_str(), style, 0, 0, 0, 0, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), system_.instance(), nullptr);
    if (d.kind == ControlKind::TextBox) {
        // A text box takes texts of any length, as typed or pasted; the system's default keeps only 30,000
        // characters or so and cuts a pasted text without a word.
        SendMessageW(control.hwnd, EM_SETLIMITTEXT, 0, 0);
    }
    if (d.kind == ControlKind::ProgressBar) {
        SendMessageW(control.hwnd, PBM_SETRANGE32, 0, 100);
        control.setText(d.text);
    }
    if (!d.linkTarget.empty()) {
        SetWindowSubclass(control.hwnd, linkProcedure, 0, reinterpret_cast<DWORD_PTR>(&d.linkTarget));
    }
    if (takesFocus(d)) {
        SetWindowSubclass(control.hwnd, focusRingProcedure, 0, 0);
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control.hwnd);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// The window's icons at the sizes its monitor's dpi asks for, taken from the icon's images of 16 to 256 pixels.
void NativeWindow::loadIcons()
{
    if (design_.icon.empty()) {
        return;
    }
    static auto* const metricForDpi = user32Function<int WINAPI(int, UINT)>("GetSystemMetricsForDpi");
    const auto metric = [this](int index) {
        return metricForDpi ? metricForDpi(index, dpi_) : GetSystemMetrics(index);
    };
    const int id = pictureNamed(design_.icon).id;
    ScopedIcon bigIcon(static_cast<HICON>(
        LoadImageW(instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, metric(SM_CXICON), metric(SM_CYICON), 0)));
    ScopedIcon smallIcon(static_cast<HICON>(
        LoadImageW(instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, metric(SM_CXSMICON), metric(SM_CYSMICON), 0)));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
    // The icons the window held until now are freed once it holds the new ones.
    bigIcon_ = std::move(bigIcon);
    smallIcon_ = std::move(smallIcon);
}

// Screen readers name a field by the label just before it among the window's children; labels take no
// focus, so moving them leaves the tab order as it is.
void NativeWindow::placeLabelsBeforeFields()
{
    for (auto& field : controls_) {
        if (field->design.label.empty() || !field->hwnd) {
            continue;
        }
        HWND label = static_cast<NativeControl&>(control(field->design.label)).hwnd;
        HWND before = GetWindow(field->hwnd, GW_HWNDPREV);
        if (label != before) {
            SetWindowPos(label, before ? before : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

// Places the window and its controls, and makes their fonts and pictures, for the window's dpi.
void NativeWindow::layout()
{
    RECT frame{0, 0, twipsToPixels(design_.clientWidth), twipsToPixels(design_.clientHeight)};
    adjustForDpi(frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                 static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    // The font the controls had is freed when this ends, once none of them uses it.
    const ScopedFont oldDefault = std::exchange(defaultFont_, ScopedFont(designFont(kDefaultFont, dpi_)));
    for (auto& control : controls_) {
        const ControlDesign& d = control->design;
        if (!control->hwnd) {
            continue;
        }
        int left = d.left, top = d.top;
        if (!d.container.empty()) {
            const ControlDesign& frameDesign = static_cast<NativeControl&>(this->control(d.container)).design;
            left += frameDesign.left;
            top += frameDesign.top;
        }
        SetWindowPos(control->hwnd, nullptr, twipsToPixels(left), twipsToPixels(top), twipsToPixels(d.width),
                     twipsToPixels(d.height), SWP_NOZORDER | SWP_NOACTIVATE);
        control->applyDpi(dpi_, defaultFont_.get());
        if (d.kind == ControlKind::Label) {
            fitLabel(*control);  // in the font just set
        }
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// A one-line text wider than its label's box grows past the box, inside the label's container, rather than
// being cut. A static control breaks its lines at CR as well as at LF.
void NativeWindow::fitLabel(NativeControl& label)
{
    const ControlDesign& d = label.design;
    int areaLeft = 0, areaRight = twipsToPixels(design_.clientWidth);
    int left = d.left, top = d.top;
    if (!d.container.empty()) {
        const ControlDesign& frame = static_cast<NativeControl&>(control(d.container)).design;
        left += frame.left;
        top += frame.top;
        areaLeft = twipsToPixels(frame.left);
        areaRight = twipsToPixels(frame.left + frame.width);
    }
    PixelRect box{twipsToPixels(left), twipsToPixels(top), twipsToPixels(d.width), twipsToPixels(d.height)};

    const std::wstring text = wide(label.text());
    SIZE extent{};
    if (const WindowDC dc(label.hwnd); dc) {
        const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label.hwnd, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    }
    if (text.find_first_of(L"\r\n") == std::wstring::npos) {
        box = platform::fitLabel(box, extent.cx, d.align, areaLeft, areaRight);
    }
    SetWindowPos(label.hwnd, nullptr, box.left, box.top, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

Control& NativeWindow::control(std::string_view name)
{
    for (auto& control : controls_) {
        if (control->design.name == name) {
            return *control;
        }
    }
    throw std::out_of_range("window " + design_.name + " has no control " + std::string(name));
}

NativeControl* NativeWindow::controlOf(HWND hwnd)
{
    for (auto& control : controls_) {
        if (control->hwnd && control->hwnd == hwnd) {
            return control.get();
        }
    }
    return nullptr;
}

NativeControl* NativeWindow::buttonWhere(bool ControlDesign::*role)
{
    for (auto& control : controls_) {
        if (control->design.*role) {
            return control.get();
        }
    }
    return nullptr;
}

// The button Enter presses where the focused control does not take it: the one the focused field names,
// else the default button.
NativeControl* NativeWindow::enterButton()
{
    const NativeControl* field = controlOf(GetFocus());
    if (field && !field->design.enterPresses.empty()) {
        return &static_cast<NativeControl&>(control(field->design.enterPresses));
    }
    return buttonWhere(&ControlDesign::defaultButton);
}

void NativeWindow::centerOver(HWND owner)
{
    RECT area{};
    if (owner && design_.centerOnOwner) {
        GetWindowRect(owner, &area);
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(owner ? owner : hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
        area = monitor.rcWork;
    }
    RECT own{};
    GetWindowRect(hwnd_, &own);
    const PixelRect place = centred({area.left, area.top, area.right - area.left, area.bottom - area.top},
                                    own.right - own.left, own.bottom - own.top);
    SetWindowPos(hwnd_, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void NativeWindow::focusFirstControl()
{
    if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) {
        SetFocus(first);
    }
}

void NativeWindow::disableOwner(HWND owner)
{
    SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    disabledOwner_ = owner;
    EnableWindow(owner, FALSE);
}

void NativeWindow::unload()
{
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    if (!system_.ending()) {
        sink_.onEvent("", Event::Unload);
    }
    // The owner takes input again before this window goes, so Windows hands it the activation.
    if (disabledOwner_) {
        EnableWindow(disabledOwner_, TRUE);
        SetActiveWindow(disabledOwner_);
        disabledOwner_ = nullptr;
    }
    if (hwnd_) {
        DestroyWindow(hwnd_);
    }
}

void NativeWindow::raise(const NativeControl& control, Event event)
{
    if (!system_.ending() && !unloaded_) {
        sink_.onEvent(control.design.name, event);
    }
}

void NativeWindow::onCommand(int id, int code)
{
    // Enter and Escape, as the dialog manager reports them, press the default and the cancel button.
    if (id == IDOK || id == IDCANCEL) {
        NativeControl* button = id == IDOK ? enterButton() : buttonWhere(&ControlDesign::cancelButton);
        if (button && button->enabled() && button->visible()) {
            raise(*button, Event::Click);
        }
        return;
    }
    if (id < kFirstControlId || id >= kFirstControlId + static_cast<int>(controls_.size())) {
        return;
    }
    const NativeControl& control = *controls_[static_cast<std::size_t>(id - kFirstControlId)];
    switch (control.design.kind) {
    case ControlKind::Button:
    case ControlKind::PictureButton:
        if (code == BN_CLICKED) {
            raise(control, Event::Click);
        }
        break;
    case ControlKind::TextBox:
        if (code == EN_CHANGE) {
            raise(control, Event::Change);
        }
        break;
    case ControlKind::Label:
    case ControlKind::Picture:
        if (code == STN_CLICKED) {
            raise(control, Event::Click);
        }
        break;
    default:
        break;
    }
}

void NativeWindow::onDroppedFiles(ScopedDrop drop)
{
    std::vector<std::u16string> paths;
    const UINT count = DragQueryFileW(drop.get(), 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop.get(), i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop.get(), i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(fromWide(path));
    }
    drop.reset();
    // A window that takes no input takes no drop either.
    if (design_.acceptsDroppedFiles && IsWindowEnabled(hwnd_) && !system_.ending()) {
        sink_.onFilesDropped(paths);
    }
}

void NativeWindow::paintLines(HDC dc)
{
    // The design lists the upper of two overlapping lines first.
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        const NativeControl& line = **it;
        if (line.design.kind != ControlKind::Line || !line.visible()) {
            continue;
        }
        const ControlDesign& d = line.design;
        const ScopedPen pen(CreatePen(PS_SOLID, MulDiv(d.lineWidth, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI),
                                      d.foreground ? colorRef(*d.foreground) : RGB(0, 0, 0)));
        const SelectedObject selected(dc, pen.get());
        MoveToEx(dc, twipsToPixels(d.left), twipsToPixels(d.top), nullptr);
        LineTo(dc, twipsToPixels(d.width), twipsToPixels(d.height));
    }
}

void NativeWindow::paintFocusRing(HDC dc)
{
    HWND focus = GetFocus();
    const NativeControl* control = controlOf(focus);
    if (!control || !takesFocus(control->design) || GetParent(focus) != hwnd_) {
        return;
    }
    const COLORREF back = design_.background ? colorRef(*design_.background) : GetSysColor(COLOR_BTNFACE);
    const Color color = focusRingColor({GetRValue(back), GetGValue(back), GetBValue(back)});
    const ScopedBrush brush(CreateSolidBrush(colorRef(color)));
    for (const PixelRect& side : sidesOf(ringAround(focus))) {
        const RECT area{side.left, side.top, side.left + side.width, side.top + side.height};
        FillRect(dc, &area, brush.get());
    }
}

LRESULT CALLBACK NativeWindow::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* window = static_cast<NativeWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    auto* window = reinterpret_cast<NativeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return window ? window->handle(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT NativeWindow::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        system_.unload(*this);
        return 0;
    case WM_ENDSESSION:
        // The session ends: the program ends as through its close box. An owned window leaves that to
        // its owner, so that a search under way ends without a word.
        if (wParam && !disabledOwner_) {
            system_.unload(*this);
        }
        return 0;
    case WM_DROPFILES:
        onDroppedFiles(ScopedDrop(reinterpret_cast<HDROP>(wParam)));
        return 0;
    case WM_GETOBJECT:
        // A window drawn as a dialog is a dialog to screen readers too.
        if (design_.border == Border::FixedDialog) {
            if (const LRESULT answer = accessibleWithRole(hwnd_, wParam, lParam, ROLE_SYSTEM_DIALOG, L"")) {
                return answer;
            }
        }
        break;
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(hwnd_, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, background_);
        return 1;
    }
    case WM_PAINT: {
        const PaintDC paint(hwnd_);
        paintLines(paint.get());
        paintFocusRing(paint.get());
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
        NativeControl* control = controlOf(reinterpret_cast<HWND>(lParam));
        auto* dc = reinterpret_cast<HDC>(wParam);
        if (!control) {
            break;
        }
        if (control->design.foreground) {
            SetTextColor(dc, colorRef(*control->design.foreground));
        }
        if (control->brush) {
            SetBkColor(dc, colorRef(*control->design.background));
            return reinterpret_cast<LRESULT>(control->brush.get());
        }
        if (control->design.kind == ControlKind::TextBox) {
            break;  // the system's own edit colours
        }
        // Labels, frames and the corners of buttons show the window's background.
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(background_);
    }
    case WM_SETCURSOR: {
        const NativeControl* control = controlOf(reinterpret_cast<HWND>(wParam));
        if (control && control->design.handCursor && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == TTN_GETDISPINFOW) {
            auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            const NativeControl* control = controlOf(reinterpret_cast<HWND>(header->idFrom));
            tip->lpszText = const_cast<wchar_t*>(control ? control->toolTipText() : L"");
            return 0;
        }
        break;
    }
    case WM_ACTIVATE:
        // As a dialog does: the focus leaves with the activation and comes back to the same control.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            lastFocus_ = focus && IsChild(hwnd_, focus) ? focus : lastFocus_;
        } else if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)) {
            SetFocus(lastFocus_);
        } else {
            focusFirstControl();
        }
        return 0;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        layout();
        loadIcons();
        const RECT* suggested = reinterpret_cast<RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_NCDESTROY:
        for (auto& control : controls_) {
            control->release();
            control->hwnd = nullptr;
        }
        hwnd_ = nullptr;
        unloaded_ = true;
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// --- the window system ---

WindowSystem::WindowSystem(HINSTANCE instance)
    : instance_(instance), woken_(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = NativeWindow::procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
}

std::unique_ptr<Window> WindowSystem::create(const WindowDesign& design, EventSink& sink)
{
    return std::make_unique<NativeWindow>(*this, design, sink);
}

void WindowSystem::show(Window& window)
{
    auto& native = static_cast<NativeWindow&>(window);
    native.centerOver(nullptr);
    ShowWindow(native.hwnd(), SW_SHOW);
    SetForegroundWindow(native.hwnd());
    native.focusFirstControl();
}

void WindowSystem::showOver(NativeWindow& window, NativeWindow& owner)
{
    window.disableOwner(owner.hwnd());
    window.centerOver(owner.hwnd());
    ShowWindow(window.hwnd(), SW_SHOW);
    window.focusFirstControl();
}

void WindowSystem::showModal(Window& window, Window& owner)
{
    auto& native = static_cast<NativeWindow&>(window);
    showOver(native, static_cast<NativeWindow&>(owner));
    MSG message{};
    while (!native.unloaded() && !ending_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        dispatch(message);
    }
    if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));  // for the loop below this one
    }
}

void WindowSystem::showOwned(Window& window, Window& owner)
{
    auto& native = static_cast<NativeWindow&>(window);
    showOver(native, static_cast<NativeWindow&>(owner));
    owned_ = &native;
}

void WindowSystem::waitForEvents(std::int64_t milliseconds, bool userInput)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(std::max<std::int64_t>(milliseconds, 0));
    HANDLE woken = woken_.get();
    while (handlePending(userInput) && !ending_) {
        const ULONGLONG now = GetTickCount64();
        // Wakes for the event, or for any message that comes, the queue being empty.
        if (now >= end || MsgWaitForMultipleObjectsEx(1, &woken, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                                      MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0 + 1) {
            return;
        }
    }
}

void WindowSystem::wake()
{
    SetEvent(woken_.get());
}

bool WindowSystem::handlePending(bool userInput)
{
    MSG message{};
    while (!ending_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        // Paint, timers and the system's own messages always run; input only when it is asked for, and then
        // only to the owned window while one is up.
        if (isUserInput(message)) {
            const bool forOwned = owned_ && message.hwnd && GetAncestor(message.hwnd, GA_ROOT) == owned_->hwnd();
            if (!userInput || (owned_ && !forOwned)) {
                if (message.message == WM_DROPFILES) {
                    ScopedDrop(reinterpret_cast<HDROP>(message.wParam)).reset();  // a drop refused is freed
                }
                continue;
            }
        }
        dispatch(message);
    }
    return true;
}

void WindowSystem::unload(Window& window)
{
    auto& native = static_cast<NativeWindow&>(window);
    if (owned_ == &native) {
        owned_ = nullptr;
    }
    native.unload();
}

void WindowSystem::endProgram()
{
    // No handler runs after this: the loops stop at the quit message and the windows raise no more events.
    ending_ = true;
    PostQuitMessage(0);
}

void WindowSystem::dispatch(const MSG& message)
{
    // Tab, Enter, Escape and access keys work as in a dialog box.
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    wchar_t className[32] = {};
    if (root && GetClassNameW(root, className, 32) && std::wstring_view(className) == kWindowClass &&
        IsDialogMessageW(root, const_cast<MSG*>(&message))) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int WindowSystem::run()
{
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        dispatch(message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace quorvin::platform::win32
