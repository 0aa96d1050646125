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

std::vector<QRect> Elements::all() const
{
    std::vector<QRect> rects = m_screens;
    for (const Node &n : m_nodes)
        rects.push_back(n.rect);
    return rects;
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
