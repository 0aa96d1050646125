#pragma once

// The control kinds the window uses beyond Qt's own: an auto-sizing
// transparent label, a picture display that stretches its picture to its own
// rectangle, and a bordered picture box that sizes itself to its picture.

#include "platform/PictureLoader.h"

#include <QFrame>
#include <QImage>
#include <QLabel>

#include <cstdint>

class Label : public QLabel
{
    Q_OBJECT
public:
    explicit Label(QWidget *parent = nullptr);

    // With AutoSize on, the label takes the size of its caption in its font,
    // growing right and down from its unchanged top-left corner.
    void setAutoSize(bool on);
    bool autoSize() const { return m_autoSize; }

    void setCaption(const QString &text);
    QString caption() const { return text(); }

    void setForeColor(std::uint32_t bgr);
    std::uint32_t foreColor() const { return m_foreColor; }

    // Font size in points; false (and nothing changes) when the font system
    // cannot draw that size.
    bool setFontSize(double points);
    double fontSize() const { return font().pointSizeF(); }

    void setFontBold(bool bold);
    bool fontBold() const { return font().bold(); }

protected:
    void changeEvent(QEvent *event) override;

private:
    void fitToText();

    bool m_autoSize = false;
    std::uint32_t m_foreColor = 0;
};

// Largest caption font size, in points, that a label accepts.
constexpr double MaxFontPoints = 1638.0;

class ImageBox : public QWidget
{
    Q_OBJECT
public:
    explicit ImageBox(QWidget *parent = nullptr);

    // Giving the display a new picture never changes its size.
    void setPicture(Picture picture);
    const Picture &picture() const { return m_picture; }

    // Device pixels held by the stretched-picture cache (for tests and measurements).
    QSize cacheSize() const { return m_cache.size(); }

signals:
    // Button and Shift as 1/2/4 bit sets, X and Y in twips from the top-left corner.
    void mouseDown(short button, short shift, float x, float y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void sharpenIfNeeded(QSize devicePixels);
    void takeSharper(QImage image);

    Picture m_picture;
    // A sharper decode runs off the GUI thread; its result is taken only if
    // the picture is still the one it was asked for.
    int m_generation = 0;
    QSize m_decodingFor;
    // The part of the stretched picture last painted, for repaints at the same size.
    QImage m_cache;
    QRect m_cacheRect;
    QSize m_cacheFor;
};

class PictureBox : public QFrame
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setAutoSize(bool on);
    bool autoSize() const { return m_autoSize; }

    void setPicture(const QImage &image);
    const QImage &picture() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void fitToPicture();

    QImage m_image;
    bool m_autoSize = false;
};
