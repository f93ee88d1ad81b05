#pragma once

#include <QPainter>
#include <cstdint>
#include <memory>

#include "colour.h"
#include "font.h"
#include "image.h"

namespace karuvo {

enum class BackgroundMode {
    Transparent,  // text paints only the pixels of its glyphs
    Opaque,       // text first fills its character box with the background colour
};

// A drawing context on a picture: background mode, text colour and selected font,
// and the one-character measuring and drawing that the sheet is made of.
//
// The context keeps a painter open on its picture between calls; call flush() before
// reading or writing the picture's pixels directly (bitBlt does not do it for you).
class DrawingContext {
public:
    // `target` may be null (a context that only measures). `ownFont` is the font the
    // context uses while no font is selected; it must outlive the context.
    DrawingContext(Image* target, const Font* ownFont);
    ~DrawingContext();
    DrawingContext(const DrawingContext&) = delete;
    DrawingContext& operator=(const DrawingContext&) = delete;

    // Selects a font and hands back the one selected before (the context's own font
    // when none had been). Selecting null changes nothing and hands back null.
    const Font* selectFont(const Font* font);
    const Font* font() const { return selected_; }

    void setBackgroundMode(BackgroundMode mode) { mode_ = mode; }
    BackgroundMode backgroundMode() const { return mode_; }
    void setTextColour(Colour c);
    Colour textColour() const { return colour_; }
    void setBackgroundColour(Colour c) { background_ = c; }

    // Advance width and line height of one character in the selected font.
    CharBox measureChar(char32_t codePoint) const { return selected_->measure(codePoint); }
    // Draws one character with its box's top-left corner at (x, y), unclipped (but for
    // the picture's own edges), in the text colour.
    void drawChar(std::int32_t x, std::int32_t y, char32_t codePoint);

    // Points the context at another picture (or none); ends any painting first.
    void setTarget(Image* target);
    Image* target() const { return target_; }
    // Ends painting so that the picture's pixels can be used directly.
    void flush();

private:
    QPainter& painter();

    Image* target_;
    const Font* selected_;
    BackgroundMode mode_ = BackgroundMode::Opaque;
    Colour colour_ = kBlack;
    Colour background_ = kWhite;
    std::unique_ptr<QPainter> painter_;
    const Font* painterFont_ = nullptr;
};

}  // namespace karuvo
