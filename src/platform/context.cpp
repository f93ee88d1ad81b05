#include "context.h"

namespace karuvo {

DrawingContext::DrawingContext(Image* target, const Font* ownFont) : target_(target), selected_(ownFont) {}

DrawingContext::~DrawingContext() { flush(); }

const Font* DrawingContext::selectFont(const Font* font) {
    if (!font) return nullptr;
    const Font* previous = selected_;
    selected_ = font;
    return previous;
}

void DrawingContext::setTextColour(Colour c) {
    colour_ = c & 0xFFFFFF;
    if (painter_) painter_->setPen(QColor(toQRgb(colour_)));
}

void DrawingContext::setTarget(Image* target) {
    flush();
    target_ = target;
}

void DrawingContext::flush() {
    if (painter_) {
        painter_->end();
        painter_.reset();
        painterFont_ = nullptr;
    }
}

QPainter& DrawingContext::painter() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&target_->qimage());
        painter_->setRenderHint(QPainter::TextAntialiasing, true);
        painter_->setPen(QColor(toQRgb(colour_)));
    }
    if (painterFont_ != selected_) {
        painter_->setFont(selected_->qfont());
        painterFont_ = selected_;
    }
    return *painter_;
}

void DrawingContext::drawChar(std::int32_t x, std::int32_t y, char32_t codePoint) {
    if (!target_ || target_->isEmpty()) return;
    QPainter& p = painter();
    if (mode_ == BackgroundMode::Opaque) {
        const CharBox box = measureChar(codePoint);
        p.fillRect(QRect(x, y, box.width, box.height), QColor(toQRgb(background_)));
    }
    p.drawText(QPoint(x, y + selected_->metrics().ascent()), codePointText(codePoint));
}

}  // namespace karuvo
