#include "Elements.h"

#include <algorithm>

namespace lumaro::capture {

int Elements::add(QRect rect, int parent)
{
    const int index = int(m_nodes.size());
    m_nodes.push_back({ rect, {} });
    if (parent < 0)
        m_topLevel.push_back(index);
    else
        m_nodes[std::size_t(parent)].children.push_back(index);
    return index;
}

std::vector<QRect> Elements::chainAt(QPoint point) const
{
    std::vector<QRect> outward;
    const std::vector<int> *level = &m_topLevel;
    for (;;) {
        auto hit = std::find_if(level->begin(), level->end(),
                                [&](int i) { return m_nodes[std::size_t(i)].rect.contains(point); });
        if (hit == level->end())
            break;
        outward.push_back(m_nodes[std::size_t(*hit)].rect);
        level = &m_nodes[std::size_t(*hit)].children;
    }
    std::reverse(outward.begin(), outward.end());
    for (const QRect &screen : m_screens)
        if (screen.contains(point)) {
            if (outward.empty() || outward.back() != screen)
                outward.push_back(screen);
            break;
        }
    return outward;
}

namespace {

// The parts of the edge that none of `covers` hides. A rectangle hides the
// line when it has pixels on both sides of it.
void addUncovered(SnapEdge edge, bool upright, const std::vector<QRect> &covers, std::vector<SnapEdge> &out)
{
    std::vector<SnapEdge> pieces{ edge };
    for (const QRect &c : covers) {
        const int lo = upright ? c.left() : c.top(), hi = upright ? c.right() : c.bottom();
        if (edge.at <= lo || edge.at > hi)
            continue;
        const int from = upright ? c.top() : c.left(), to = (upright ? c.bottom() : c.right()) + 1;
        std::vector<SnapEdge> left;
        for (const SnapEdge &p : pieces) {
            if (p.from < from)
                left.push_back({ p.at, p.from, std::min(p.to, from) });
            if (p.to > to)
                left.push_back({ p.at, std::max(p.from, to), p.to });
        }
        pieces = std::move(left);
    }
    out.insert(out.end(), pieces.begin(), pieces.end());
}

} // namespace

SnapLines Elements::edges() const
{
    SnapLines lines = snapLinesOf(m_screens);
    std::vector<QRect> inFront;
    addEdges(m_topLevel, inFront, lines);
    return lines;
}

void Elements::addEdges(const std::vector<int> &level, std::vector<QRect> &inFront, SnapLines &lines) const
{
    // Front to back: each element is hidden by what lies in front of it at
    // its own level and at every level above.
    const std::size_t outer = inFront.size();
    for (int i : level) {
        const Node &n = m_nodes[std::size_t(i)];
        const SnapLines whole = snapLinesOf({ n.rect });
        for (const SnapEdge &e : whole.xs)
            addUncovered(e, true, inFront, lines.xs);
        for (const SnapEdge &e : whole.ys)
            addUncovered(e, false, inFront, lines.ys);
        addEdges(n.children, inFront, lines);
        inFront.push_back(n.rect);
    }
    inFront.resize(outer);
}

void ElementWalk::follow(const std::vector<QRect> &chain)
{
    if (chain == m_chain)
        return;
    // Another chain: the pointer is over another element.
    m_chain = chain;
    m_level = 0;
}

void ElementWalk::outward()
{
    m_level = std::min(m_level + 1, std::max(0, int(m_chain.size()) - 1));
}

void ElementWalk::inward()
{
    m_level = std::max(m_level - 1, 0);
}

QRect ElementWalk::current() const
{
    return m_chain.empty() ? QRect() : m_chain[std::size_t(std::min(m_level, int(m_chain.size()) - 1))];
}

} // namespace lumaro::capture
