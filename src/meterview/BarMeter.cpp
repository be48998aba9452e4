// SPDX-License-Identifier: GPL-3.0-or-later
#include "BarMeter.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double Nothing = std::numeric_limits<double>::quiet_NaN();

// The largest pixel size at which `text` fits `box` in `font`'s family.
QFont FittingFont(QFont font, const QString& text, const QSizeF& box)
{
    const double startPx = std::max(6.0, box.height() * 0.8);
    font.setPixelSize(static_cast<int>(startPx));
    const double width = QFontMetricsF(font).horizontalAdvance(text);
    if (width > box.width() && width > 0)
        font.setPixelSize(std::max(6, static_cast<int>(startPx * box.width() / width)));
    return font;
}
} // namespace

QString MarkText(double value)
{
    return QString::number(value, 'g', 6);
}

BarMeter::BarMeter(const QString& title, QWidget* parent)
    : QWidget(parent), title_(title), peak_(Nothing)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BarMeter::setScale(const BarScale& scale)
{
    if (scale == scale_)
        return;
    scale_ = scale;
    update();
}

void BarMeter::setReading(double value, const QString& text)
{
    if (hasReading_ && (value == value_ || (std::isnan(value) && std::isnan(value_))) &&
        text == text_)
        return;
    hasReading_ = true;
    value_ = value;
    text_ = text;
    update();
}

void BarMeter::clearReading()
{
    hasReading_ = false;
    value_ = 0;
    text_.clear();
    peak_ = Nothing;
    update();
}

void BarMeter::setPeak(double value)
{
    if (value == peak_ || (std::isnan(value) && std::isnan(peak_)))
        return;
    peak_ = value;
    update();
}

void BarMeter::setBarColour(const QColor& colour)
{
    if (colour == barColour_)
        return;
    barColour_ = colour;
    update();
}

double BarMeter::fraction(double value) const
{
    const double span = scale_.maximum - scale_.minimum;
    if (!(span > 0) || std::isnan(value))
        return 0;
    return std::clamp((value - scale_.minimum) / span, 0.0, 1.0);
}

QString BarMeter::note() const
{
    if (isOver()) {
        QString text = tr("over %1").arg(MarkText(scale_.maximum));
        if (*scale_.unit)
            text += u' ' + QString::fromLatin1(scale_.unit);
        return text;
    }
    if (isUnder())
        return underText_;
    return {};
}

BarMeter::Layout BarMeter::layout() const
{
    const QRectF all = QRectF(rect());
    const double margin = std::clamp(all.height() * 0.06, 3.0, 12.0);
    const QRectF inner = all.adjusted(margin, margin, -margin, -margin);
    Layout l;
    const double digitsWidth = inner.width() * 0.3;
    l.digits = QRectF(inner.right() - digitsWidth, inner.top(), digitsWidth, inner.height());
    const double left = inner.left();
    const double width = std::max(1.0, inner.width() - digitsWidth - margin);
    const double titleHeight = std::clamp(inner.height() * 0.22, 8.0, 30.0);
    const double marksHeight = std::clamp(inner.height() * 0.2, 8.0, 26.0);
    l.title = QRectF(left, inner.top(), width, titleHeight);
    l.marks = QRectF(left, inner.bottom() - marksHeight, width, marksHeight);
    l.bar = QRectF(left, l.title.bottom() + margin * 0.5, width,
                   std::max(2.0, l.marks.top() - l.title.bottom() - margin));
    return l;
}

QRectF BarMeter::barRect() const
{
    return layout().bar;
}

void BarMeter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.window());
    const Layout l = layout();

    QFont titleFont = font();
    titleFont.setPixelSize(std::max(6, static_cast<int>(l.title.height() * 0.75)));
    p.setFont(titleFont);
    p.setPen(pal.windowText().color());
    p.drawText(l.title, Qt::AlignLeft | Qt::AlignVCenter, title_);

    // The bar's trough, the fill and the marks across it.
    p.fillRect(l.bar, pal.base());
    const double filled = hasReading_ ? fraction(value_) * l.bar.width() : 0;
    if (filled > 0)
        p.fillRect(QRectF(l.bar.left(), l.bar.top(), filled, l.bar.height()), barColour_);

    QFont markFont = titleFont;
    markFont.setPixelSize(std::max(6, static_cast<int>(l.marks.height() * 0.7)));
    p.setFont(markFont);
    const QFontMetricsF markMetrics(markFont);
    QPen tick(pal.mid().color(), 1);
    tick.setCosmetic(true);
    QList<double> marks = scale_.marks;
    marks.prepend(scale_.minimum);
    for (const double mark : marks) {
        const double x = l.bar.left() + fraction(mark) * l.bar.width();
        p.setPen(tick);
        p.drawLine(QPointF(x, l.bar.top()), QPointF(x, l.marks.top() + l.marks.height() * 0.2));
        const QString text = MarkText(mark);
        const double w = markMetrics.horizontalAdvance(text);
        const double textLeft = std::clamp(x - w / 2, l.marks.left(), l.marks.right() - w);
        p.setPen(pal.windowText().color());
        p.drawText(
            QRectF(textLeft, l.marks.top() + l.marks.height() * 0.2, w + 1, l.marks.height() * 0.8),
            Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    QPen frame(pal.dark().color(), 1);
    frame.setCosmetic(true);
    p.setPen(frame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(l.bar);

    const QString noteText = note();
    if (!noteText.isEmpty()) {
        QFont noteFont = titleFont;
        noteFont.setBold(true);
        noteFont.setPixelSize(
            std::max(6, static_cast<int>(std::min(l.bar.height() * 0.5, l.title.height() * 0.9))));
        p.setFont(noteFont);
        const QRectF inside = l.bar.adjusted(6, 0, -6, 0);
        if (isOver()) {
            p.setPen(Qt::white);
            p.drawText(inside, Qt::AlignRight | Qt::AlignVCenter, noteText);
        } else {
            p.setPen(pal.windowText().color());
            p.drawText(inside, Qt::AlignLeft | Qt::AlignVCenter, noteText);
        }
    }

    if (!std::isnan(peak_)) {
        const double x = l.bar.left() + fraction(peak_) * l.bar.width();
        const double w = std::clamp(l.bar.height() * 0.08, 2.0, 6.0);
        // Kept inside the bar at both ends so it never hides under the frame.
        const double left = std::clamp(x - w / 2, l.bar.left(), l.bar.right() - w);
        p.fillRect(QRectF(left, l.bar.top() - 2, w, l.bar.height() + 4), PeakMarkerColour);
    }

    if (!text_.isEmpty()) {
        QFont digitsFont = font();
        digitsFont.setBold(true);
        digitsFont = FittingFont(digitsFont, text_, l.digits.size());
        p.setFont(digitsFont);
        p.setPen(pal.windowText().color());
        p.drawText(l.digits, Qt::AlignRight | Qt::AlignVCenter, text_);
    }
}
