// A dialog laid out the way a resource script lays it out: a caption, a font and a list of
// controls placed in dialog units.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class ControlKind {
    Text,           // static text
    Edit,           // single-line edit
    PushButton,     // ordinary push button
    DefPushButton,  // default push button
    OwnerDrawButton,
    GroupBox,
    Picture,        // bitmap static
    Icon,           // icon static
};

// Style bits, our own values; only what the templates of this program use.
enum ControlStyle : uint32_t {
    StyleNone = 0,
    AlignLeft = 0,
    AlignCenter = 1u << 0,
    AlignRight = 1u << 1,
    VCenter = 1u << 2,
    Border = 1u << 3,
    Sunken = 1u << 4,       // sunken frame (static)
    ClientEdge = 1u << 5,   // sunken client edge
    StaticEdge = 1u << 6,   // thin sunken edge
    Transparent = 1u << 7,
    ReadOnly = 1u << 8,
    AutoHScroll = 1u << 9,
    MultiLine = 1u << 10,
    NoPrefix = 1u << 11,    // "&" shown as is
    TabStop = 1u << 12,
    CenterImage = 1u << 13,
};

struct ControlTemplate {
    int id;  // -1 for controls without an identifier
    ControlKind kind;
    std::string caption;
    int x, y, w, h;  // dialog units
    uint32_t style;
    bool visible;
    int resource;  // bitmap or icon resource for pictures and icons, else 0
};

struct DialogTemplate {
    int id;
    std::string caption;
    std::string fontFamily;
    int fontPoints;
    int width, height;  // client size in dialog units
    std::vector<ControlTemplate> controls;
};

}  // namespace platform
