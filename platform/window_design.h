#pragma once
// A window's design as data: written once per window, rendered by each front end.
// Positions and sizes are in twips (1/1440 inch; 15 twips to a pixel at 96 dpi).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvin::platform {

enum class ControlKind {
    Button,         // text button
    PictureButton,  // button showing a picture instead of text
    Frame,          // titled group box; may contain other controls
    TextBox,        // single-line edit
    ProgressBar,    // its text is the percentage done, in digits ("0" to "100")
    Label,
    Picture,  // static picture
    Line,     // straight line: left/top is one end, width/height hold the other end (X2, Y2)
};

enum class Align { Left, Center, Right };

struct Color {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

struct Font {
    std::u16string family;  // empty: the toolkit's default face
    double points = 8.25;
    bool bold = false;
};

struct ControlDesign {
    std::string name;  // "Scan_Select", "Line1(0)"
    ControlKind kind = ControlKind::Label;
    std::string container;  // name of the containing frame; empty for the window itself
    std::u16string text;    // caption or text; '&' marks the access key of a button
    std::u16string toolTip;
    int left = 0, top = 0, width = 0, height = 0;  // relative to the container
    int tabIndex = -1;                             // -1: takes no focus
    std::string tabAfter;  // a control the design gives no tab index that takes the focus all the same,
                           // right after the one named here
    bool enabled = true;
    bool visible = true;
    bool readOnly = false;
    std::optional<Color> background;  // empty: toolkit default (labels are transparent)
    std::optional<Color> foreground;
    std::optional<Font> font;  // empty: toolkit default
    Align align = Align::Left;
    std::string picture;          // resource name of the picture or icon, see resources/
    bool stretchPicture = false;  // false: the picture keeps its own size
    bool handCursor = false;      // pointing hand: the control is a link
    int lineWidth = 1;            // in pixels, for lines
    bool defaultButton = false;   // Enter presses it
    bool cancelButton = false;    // Escape presses it
    std::string enterPresses;     // a text box: the button that Enter in it presses
    // For screen readers. A control is named by its text, a text box or bar by its label (read with it),
    // a picture button by its tool tip, unless it has a name of its own.
    std::string label;  // the label that names this control
    std::u16string accessibleName;
    std::u16string linkTarget;  // what a link (handCursor) opens: a web page, a mailto: address
};

// Whether Tab reaches the control, where its kind takes the focus at all.
inline bool inTabOrder(const ControlDesign& control)
{
    return control.tabIndex >= 0 || !control.tabAfter.empty();
}

// The name a screen reader says for a control that neither its text nor a label names, or empty.
inline std::u16string accessibleNameOf(const ControlDesign& control)
{
    if (!control.accessibleName.empty() || control.kind != ControlKind::PictureButton) {
        return control.accessibleName;
    }
    return control.toolTip;
}

enum class Border {
    FixedSingle,  // fixed size, close box, no maximise or minimise
    FixedDialog,  // the same, drawn as a dialog, not shown in the task bar; a dialog to screen readers
};

struct WindowDesign {
    std::string name;
    std::u16string caption;
    int clientWidth = 0, clientHeight = 0;  // twips
    Border border = Border::FixedSingle;
    bool centerOnOwner = false;  // false: centred on the screen
    std::optional<Color> background;
    std::string icon;                     // resource name of the window's icon
    bool acceptsDroppedFiles = false;     // files dropped on it reach EventSink::onFilesDropped
    std::vector<ControlDesign> controls;  // in design order; containers come before what they contain
};

}  // namespace quorvin::platform
