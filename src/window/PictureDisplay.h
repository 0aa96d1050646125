#pragma once

#include "platform/PictureLoader.h"
#include "window/SharperDecode.h"
#include "window/StretchCache.h"

#include <QWidget>

namespace lumaro {

// The picture display (the window's Image control, Imageshow): stretches
// its picture to its own rectangle. Giving it a new picture never changes
// its size.
class PictureDisplay : public QWidget
{
    Q_OBJECT
public:
    explicit PictureDisplay(QWidget *parent = nullptr);

    void setPicture(LoadedPicture picture);
    const LoadedPicture &picture() const { return m_picture; }

    // Device pixels held by the stretched-picture cache (for tests and measurements).
    QSize cacheSize() const { return m_cache.size(); }

signals:
    // Button and Shift as 1/2/4 bit sets, X and Y in twips from the top-left corner.
    void mouseDown(short button, short shift, float x, float y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    LoadedPicture m_picture;
    StretchCache m_cache;
    SharperDecode m_sharper;
};

} // namespace lumaro
