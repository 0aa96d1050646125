#pragma once

#include <QLabel>

#include <cstdint>

namespace lumaro {

// The window's Label control: transparent, its text always plain, and with
// AutoSize on as large as its caption in its font, growing right and down
// from its unchanged top-left corner.
class AutoSizeLabel : public QLabel
{
    Q_OBJECT
public:
    explicit AutoSizeLabel(QWidget *parent = nullptr);

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

} // namespace lumaro
