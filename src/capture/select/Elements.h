#pragma once

#include "Selection.h"

#include <QRect>

#include <vector>

namespace lumaro::capture {

// The things on the screen that a click can take whole: windows and, inside
// Lumaro's own window, its panels and controls. A tree in desktop pixels,
// every node's children in front-to-back order, the top-level nodes from the
// topmost window down.
class Elements
{
public:
    // Adds an element inside `parent` (or a top-level one) behind the ones
    // added before it; returns its index.
    int add(QRect rect, int parent = -1);
    // The screens, the outermost element wherever the pointer is.
    void setScreens(std::vector<QRect> areas) { m_screens = std::move(areas); }

    // The elements under `point`, innermost first, ending with its screen.
    // Only the frontmost element at each level counts, as a click sees it.
    std::vector<QRect> chainAt(QPoint point) const;
    // The edges a selection snaps to: every screen's, and every element's
    // where no element in front of it covers them.
    SnapLines edges() const;

private:
    void addEdges(const std::vector<int> &level, std::vector<QRect> &inFront, SnapLines &lines) const;

    struct Node
    {
        QRect rect;
        std::vector<int> children;
    };
    std::vector<Node> m_nodes;
    std::vector<int> m_topLevel;
    std::vector<QRect> m_screens;
};

// Which element of a chain is highlighted: 0 the innermost. Tab or the wheel
// walks outward and back in; it starts again innermost under a new element.
class ElementWalk
{
public:
    // Takes the chain under the pointer; keeps the level while the chain
    // stays the same.
    void follow(const std::vector<QRect> &chain);
    void outward();
    void inward();
    QRect current() const;

private:
    std::vector<QRect> m_chain;
    int m_level = 0;
};

} // namespace lumaro::capture
