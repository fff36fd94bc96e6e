#pragma once

#include <array>

#include "linalg/RectD.h"

// Behaviour flags of scene objects.
enum GuiFlag : unsigned {
    kGuiVisible = 1,      // drawn and hit-testable
    kGuiMovable = 2,      // dragged by the mouse
    kGuiRotatable = 4,    // turned by its edge handles
    kGuiResizable = 8,    // sized by its handles
    kGuiKeepInside = 16,  // kept inside the group whose child layer holds it
};

// Notification codes, sent to the object's own callback and then to the manager's.
enum GuiNotification : int {
    kGuiSelected = 4,
    kGuiPressedAgain = 8,
    kGuiDeselected = 16,
    kGuiBeforeDrag = 32,
    kGuiAfterDrag = 64,
    kGuiRightPressed = 128,
    kGuiRightReleased = 256,
    kGuiAllNotifications = 4095,
};

// What a drag step means to the object.
enum GuiDragMode : int {
    kGuiDragPressNew = 0,       // pressed, newly selected
    kGuiDragPressSelected = 1,  // pressed while already selected
    kGuiDragDeselect = 2,       // the selection moves away
    kGuiDragMove = 3,           // moved with the pointer
    kGuiDragHandle = 4,         // a handle is pulled
};

// Keyboard modifiers as the manager needs them; "exactly Shift" is kGuiShift alone.
enum GuiModifier : unsigned { kGuiNoModifier = 0, kGuiShift = 1, kGuiCtrl = 2, kGuiAlt = 4, kGuiMeta = 8 };

struct GuiColor {
    float r = 1, g = 0, b = 0, a = 1;
};

// The selection colour, orange (255, 165, 0, 255).
inline constexpr GuiColor kGuiSelectionColor{1.0f, 165.0f / 255.0f, 0.0f, 1.0f};

// Handle squares in screen pixels: 0-3 at the edge midpoints (top, right, bottom, left),
// 4-7 at the corners (top-left, top-right, bottom-right, bottom-left).
struct GuiHandles {
    static constexpr int kCapacity = 16;
    std::array<RectD, kCapacity> rects{};
    int count = 0;
};

// The side of the handle squares the manager asks for, in pixels.
inline constexpr double kGuiHandleSize = 9;
