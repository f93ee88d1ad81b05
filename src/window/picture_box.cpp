#include "picture_box.h"

#include <cmath>
#include <vector>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

namespace karuvo::window {
namespace {

constexpr int kMargin = 4;

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::ClickFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(true);
}

void PictureBox::setPicture(Image picture) {
    picture_ = std::move(picture);
    field_ = Image();
    band_ = {};
    zoom_ = 1;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

void PictureBox::setBand(QRect band) {
    band_ = band;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    if (room_.isValid() && isVisible()) resize(fittingSize());
    updateScrollBars();
    viewport()->update();
}

void PictureBox::setField(Image field) {
    field_ = std::move(field);
    engineView_ = true;
    viewport()->update();
}

QRect PictureBox::shownPart() const {
    const QRect whole(0, 0, picture_.width(), picture_.height());
    return band_.isNull() ? whole : band_.intersected(whole);
}

QSize PictureBox::contentSize() const {
    const QSize shown = shownPart().size();
    return {shown.width() * zoom_ + kMargin, shown.height() * zoom_ + kMargin};
}

void PictureBox::setZoom(int zoom) {
    zoom = std::clamp(zoom, 1, kMaxZoom);
    if (zoom == zoom_) return;
    const QSize view = viewport()->size();
    const double middleX = (horizontalScrollBar()->value() + view.width() / 2.0) / zoom_;
    const double middleY = (verticalScrollBar()->value() + view.height() / 2.0) / zoom_;
    zoom_ = zoom;
    if (room_.isValid() && isVisible()) resize(fittingSize());
    updateScrollBars();
    horizontalScrollBar()->setValue(static_cast<int>(middleX * zoom_ - viewport()->width() / 2.0));
    verticalScrollBar()->setValue(static_cast<int>(middleY * zoom_ - viewport()->height() / 2.0));
    viewport()->update();
}

void PictureBox::setRoom(QSize room) {
    room_ = room;
    resize(fittingSize());
    updateScrollBars();
}

std::pair<bool, bool> PictureBox::barsNeeded(QSize box) const {
    const QSize content = contentSize();
    const int barWidth = verticalScrollBar()->sizeHint().width();
    const int barHeight = horizontalScrollBar()->sizeHint().height();
    bool across = content.width() > box.width();
    bool down = content.height() > box.height();
    // A bar along one side takes its width from the other direction.
    across = across || (down && content.width() > box.width() - barWidth);
    down = down || (across && content.height() > box.height() - barHeight);
    return {across, down};
}

QSize PictureBox::fittingSize() const {
    const auto [across, down] = barsNeeded(room_);
    const QSize content = contentSize();
    return QSize(content.width() + (down ? verticalScrollBar()->sizeHint().width() : 0),
                 content.height() + (across ? horizontalScrollBar()->sizeHint().height() : 0))
        .boundedTo(room_);
}

void PictureBox::updateScrollBars() {
    // From the box's own size, not the viewport's: a box resized while hidden keeps
    // the viewport of its earlier size until it is shown, and the bars that size
    // needed would stay over a picture that now fits.
    const QSize content = contentSize();
    const auto [across, down] = barsNeeded(size());
    const QSize view(width() - (down ? verticalScrollBar()->sizeHint().width() : 0),
                     height() - (across ? horizontalScrollBar()->sizeHint().height() : 0));
    horizontalScrollBar()->setRange(0, std::max(0, content.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(std::max(1, zoom_ * 8));
    verticalScrollBar()->setRange(0, std::max(0, content.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(std::max(1, zoom_ * 8));
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PictureBox::scrollContentsBy(int, int) { viewport()->update(); }

void PictureBox::paintEvent(QPaintEvent* event) {
    if (picture_.isEmpty()) return;
    QPainter p(viewport());
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    // Only the picture pixels that reach the exposed part, each a zoom x zoom square.
    if (showsEngineView()) {
        paintField(p, event->rect(), offset);
        return;
    }
    const QRect shown = event->rect().translated(offset);
    const QRect part = shownPart();
    const QRect source = QRect(part.left() + shown.left() / zoom_, part.top() + shown.top() / zoom_,
                               shown.width() / zoom_ + 2, shown.height() / zoom_ + 2)
                             .intersected(part);
    if (source.isEmpty()) return;
    const QRect target((source.left() - part.left()) * zoom_ - offset.x(), (source.top() - part.top()) * zoom_ - offset.y(),
                       source.width() * zoom_, source.height() * zoom_);
    p.drawImage(target, picture_.qimage(), source);
}

void PictureBox::paintField(QPainter& p, const QRect& exposed, QPoint offset) const {
    const QRect part = shownPart();
    const QRect area = exposed.intersected(QRect(-offset, part.size() * zoom_));
    if (area.isEmpty()) return;
    // The field at a screen pixel's centre, sampled as a GPU samples a texture: bilinearly
    // between texel centres, clamped to the page's edges; the median of red, green and
    // blue (a multi-channel field's outline, a one-channel field's grey).
    const auto sample = [&](int sx, int sy) {
        const double u = (sx + offset.x() + 0.5) / zoom_ - 0.5, v = (sy + offset.y() + 0.5) / zoom_ - 0.5;
        const int x0 = static_cast<int>(std::floor(u)), y0 = static_cast<int>(std::floor(v));
        const double fx = u - x0, fy = v - y0;
        double c[3];
        for (int k = 0; k < 3; ++k) {
            const auto at = [&](int x, int y) {
                x = std::clamp(x, 0, part.width() - 1);
                y = std::clamp(y, 0, part.height() - 1);
                return (field_.pixel(part.left() + x, part.top() + y) >> (8 * k) & 0xFF) / 255.0;
            };
            c[k] = (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) + (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
        }
        return std::max(std::min(c[0], c[1]), std::min(std::max(c[0], c[1]), c[2]));
    };
    const int w = area.width(), h = area.height();
    std::vector<double> a(static_cast<std::size_t>(w + 1) * static_cast<std::size_t>(h + 1));
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) a[static_cast<std::size_t>(y) * (w + 1) + x] = sample(area.left() + x, area.top() + y);
    QImage out(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * (w + 1) + x;
            const double d = a[i];
            // Half of fwidth: the change to the next pixel across and down.
            const double half = 0.5 * (std::abs(a[i + 1] - d) + std::abs(a[i + w + 1] - d));
            double level = d >= 0.5 ? 1.0 : 0.0;
            if (half > 0) {
                const double t = std::clamp((d - (0.5 - half)) / (2 * half), 0.0, 1.0);
                level = t * t * (3 - 2 * t);
            }
            const int grey = static_cast<int>(std::lround(level * 255));
            row[x] = qRgb(grey, grey, grey);
        }
    }
    p.drawImage(area.topLeft(), out);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && viewport()->rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click && onClick) onClick();
}

void PictureBox::wheelEvent(QWheelEvent* event) {
    // A shifted wheel may turn vertical steps into horizontal ones.
    const int pageSteps = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    if (onPage && event->modifiers() == Qt::ShiftModifier && pageSteps != 0 && onPage(pageSteps > 0 ? -1 : 1)) {
        event->accept();
        return;
    }
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const int steps = event->angleDelta().y();
    if (steps > 0) setZoom(zoom_ + 1);
    else if (steps < 0) setZoom(zoom_ - 1);
    event->accept();
}

bool PictureBox::handleKey(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        if (onEscape) onEscape();
        return true;
    case Qt::Key_F:
        if (field_.isEmpty() || event->modifiers() != Qt::NoModifier) return false;
        engineView_ = !engineView_;
        viewport()->update();
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return onPage && onPage(event->key() == Qt::Key_PageUp ? -1 : 1);
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        if (!ctrl) return false;
        setZoom(zoom_ + 1);
        return true;
    case Qt::Key_Minus:
        if (!ctrl) return false;
        setZoom(zoom_ - 1);
        return true;
    default: return false;
    }
}

void PictureBox::keyPressEvent(QKeyEvent* event) {
    if (handleKey(event)) event->accept();
    else QAbstractScrollArea::keyPressEvent(event);
}

void TextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    focusedByPress_ = event->reason() == Qt::MouseFocusReason;
    if (!focusedByPress_ && onGotFocus) onGotFocus();
}

void TextBox::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    if (!focusedByPress_) return;
    focusedByPress_ = false;
    if (onGotFocus) onGotFocus();
}

}  // namespace karuvo::window
