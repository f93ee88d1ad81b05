#include "colour_swatch.h"

#include <QPainter>

#include "platform/colour.h"
#include "platform/error.h"

namespace karuvo::window {

ColourSwatch::ColourSwatch(const QLabel* readout, QWidget* parent) : QWidget(parent), readout_(readout) {
    setFocusPolicy(Qt::NoFocus);
}

void ColourSwatch::paintEvent(QPaintEvent*) {
    Colour colour;
    try {
        colour = static_cast<Colour>(readColourCaption(readout_->text()));
    } catch (const Error&) {
        return;
    }
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.setBrush(QColor::fromRgb(toQRgb(colour)));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace karuvo::window
