#pragma once

#include <span>
#include <string_view>

namespace lumaro {

// Where each control of the window sits, in twips from its parent's top-left
// corner (the client area's, or its frame's), siblings front to back. The
// window definition places the controls by this table (the tests keep their
// own copy of the design, to check it against); an auto-sized label's width
// and height are those of its caption as designed, and it takes its
// caption's real size once shown.
struct ControlPlace
{
    std::string_view name;
    std::string_view parent;
    int left, top, width, height;
    bool autoSized = false;
};

std::span<const ControlPlace> controlTable();
// The row of a control; the program stops if there is none (a typo in the definition).
const ControlPlace &controlPlace(std::string_view name);

} // namespace lumaro
