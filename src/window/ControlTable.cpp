#include "window/ControlTable.h"

#include <QtGlobal>

#include <algorithm>
#include <array>

namespace lumaro {

namespace {

constexpr auto Table = std::to_array<ControlPlace>({
    // On the window, front first
    { "FramePicture", "Form1", 1800, 120, 1575, 3015 },
    { "FrameWord", "Form1", 120, 3240, 3255, 3855 },
    { "FrameImage", "Form1", 120, 240, 1575, 2895 },
    { "Picture1", "Form1", 3960, 0, 255, 255 },
    { "Label1", "Form1", 5760, 2160, 480, 240, true },
    { "Labelshow", "Form1", 5760, 2520, 480, 240, true },
    { "Imageshow", "Form1", 3600, 120, 3000, 2880 },
    // Picture settings panel
    { "Command7", "FramePicture", 120, 2040, 1215, 495 },
    { "Command6", "FramePicture", 120, 1440, 1215, 495 },
    { "Command5", "FramePicture", 120, 840, 1215, 495 },
    { "Command4", "FramePicture", 120, 240, 1215, 495 },
    // Text panel
    { "Command2", "FrameWord", 120, 1320, 1215, 375 },
    { "Command12", "FrameWord", 120, 3000, 1335, 615 },
    { "Command11", "FrameWord", 120, 1800, 1215, 375 },
    { "Command10", "FrameWord", 1800, 1800, 1215, 375 },
    { "Text3", "FrameWord", 1560, 2520, 1335, 375 },
    { "Command9", "FrameWord", 1680, 3000, 1335, 615 },
    { "Command8", "FrameWord", 1800, 1320, 1215, 375 },
    { "Check1", "FrameWord", 1920, 840, 1095, 255 },
    { "LabelText", "FrameWord", 120, 240, 2655, 360 },
    { "Command1", "FrameWord", 120, 720, 1575, 495 },
    { "Label6", "FrameWord", 240, 2520, 960, 240, true },
    // A one-pixel rule from (120, 2280) to (2880, 2280)
    { "Line1", "FrameWord", 120, 2280, 2760, 15 },
    // Image size panel
    { "Command3", "FrameImage", 240, 2280, 735, 375 },
    { "Text2", "FrameImage", 480, 1800, 495, 270 },
    { "Text1", "FrameImage", 480, 1320, 495, 270 },
    { "Label5", "FrameImage", 1080, 1800, 90, 180, true },
    { "Label4", "FrameImage", 120, 1800, 270, 180, true },
    { "Label3", "FrameImage", 1080, 1320, 90, 180, true },
    { "Label2", "FrameImage", 120, 1320, 270, 180, true },
    { "LabelHeight", "FrameImage", 120, 840, 270, 180, true },
    { "LabelWidth", "FrameImage", 120, 360, 270, 180, true },
});

} // namespace

std::span<const ControlPlace> controlTable()
{
    return Table;
}

const ControlPlace &controlPlace(std::string_view name)
{
    const auto it = std::find_if(Table.begin(), Table.end(), [name](const ControlPlace &c) { return c.name == name; });
    if (it == Table.end())
        qFatal("no control named %.*s in the table", int(name.size()), name.data());
    return *it;
}

} // namespace lumaro
