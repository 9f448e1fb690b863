#pragma once
// Dialog templates as data: every control of a dialog with its ID, kind,
// caption, rectangle in dialog units and style, in template order.
//
// The template order is also the tab order: a window walks the controls that
// carry kTabStop in this order. Rectangles are x, y, width, height in dialog
// units of the template's font; a combo box's height is the height of its
// opened list, not of its field. Nothing here depends on a toolkit: the Qt
// window renders these tables, tests check them.

#include <span>
#include <string_view>

// ID of a control that no code reaches (labels).
constexpr int IDC_STATIC = -1;

enum class ControlKind {
    Static,       // text; reports clicks only with kNotify
    Icon,         // static image of an icon resource
    Edit,         // bordered, scrolls horizontally
    PushButton,   //
    CheckBox,     // automatic two-state
    ComboBox,     // drop-down with an editable field and a vertical scroll bar
    ProgressBar,  //
};

// Style bits of a control.
enum ControlStyle : unsigned {
    kTabStop = 1u << 0,
    kReadOnly = 1u << 1,        // edits: selectable and copyable, not typed into
    kDefaultButton = 1u << 2,   // the template's default push button
    kNotify = 1u << 3,          // statics: a click reaches the dialog
    kMultiLine = 1u << 4,       // push buttons: caption on more than one line
    kInitiallyHidden = 1u << 5  // created without being shown
};

struct DialogRect {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;

    int Right() const { return x + cx; }
    int Bottom() const { return y + cy; }
};

struct DialogControl {
    int id;
    ControlKind kind;
    std::string_view caption;  // UTF-8; "\r\n" breaks a multi-line caption
    DialogRect rect;
    unsigned style;
    int icon = 0;  // icon resource of an Icon control
};

// Window style bits of a dialog.
enum DialogStyle : unsigned {
    kSystemMenu = 1u << 0,
    kMinimizeBox = 1u << 1,
    kAppWindow = 1u << 2,  // shown in the task bar
};

struct DialogTemplate {
    int id;
    std::string_view caption;
    std::string_view fontFace;
    int fontPointSize;
    int cx;  // client size in dialog units
    int cy;
    unsigned style;
    std::span<const DialogControl> controls;

    // The control with `id`, or nullptr (IDC_STATIC finds nothing).
    const DialogControl* Find(int id) const;
};

// Template `id` (IDD_VORNAK_DIALOG, IDD_ABOUTBOX), or nullptr.
const DialogTemplate* FindDialogTemplate(int id);

// Controls of the main dialog lying at this x or beyond belong to the settings
// panel, which the small window hides.
constexpr int kSettingsPanelLeft = 299;
