// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MeterScales.h"

#include <QColor>
#include <QWidget>

// A horizontal bar meter: a title, the bar on its scale with the marks
// numbered below, a peak marker, and the value as large digits beside it.
// Everything is laid out in proportion to the widget, so it reads from across
// the room at any size and stays sharp at any device pixel ratio.
class BarMeter : public QWidget {
    Q_OBJECT
public:
    explicit BarMeter(const QString& title, QWidget* parent = nullptr);

    void setScale(const BarScale& scale);
    const BarScale& scale() const { return scale_; }
    // `text` is shown beside the bar as it is; `value` places the bar's end.
    void setReading(double value, const QString& text);
    // No reading: an empty bar and no digits.
    void clearReading();
    // The peak marker's value; NaN hides it.
    void setPeak(double value);
    void setBarColour(const QColor& colour);
    // Said in the bar while the value is below the scale (for the SWR:
    // the meter has no reading).
    void setUnderText(const QString& text) { underText_ = text; }

    double value() const { return value_; }
    double peak() const { return peak_; }
    QString valueText() const { return text_; }
    QColor barColour() const { return barColour_; }
    // Where a value stands on the bar, 0 at its start to 1 at its end; values
    // off the scale stop at its ends.
    double fraction(double value) const;
    bool isOver() const { return hasReading_ && value_ > scale_.maximum; }
    bool isUnder() const { return hasReading_ && !(value_ >= scale_.minimum); }
    // What the bar says besides its value: "over 3" above the scale, the
    // under text below it, otherwise nothing.
    QString note() const;
    // The bar in widget coordinates.
    QRectF barRect() const;

    QSize sizeHint() const override { return {560, 120}; }
    QSize minimumSizeHint() const override { return {240, 60}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layout {
        QRectF title;
        QRectF bar;
        QRectF marks;
        QRectF digits;
    };
    Layout layout() const;

    QString title_;
    BarScale scale_;
    bool hasReading_ = false;
    double value_ = 0;
    double peak_;
    QString text_;
    QString underText_;
    QColor barColour_{0, 110, 190};
};

// The peak marker: dark on every bar colour and on the empty trough.
inline const QColor PeakMarkerColour{20, 20, 20};

// The text of a scale mark: "1.5", "2", "500".
QString MarkText(double value);
