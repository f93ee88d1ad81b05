#pragma once

#include <QAbstractScrollArea>
#include <QPainter>
#include <QLineEdit>
#include <functional>
#include <utility>

#include "platform/image.h"

namespace karuvo::window {

// A picture box: keeps what is drawn into it in a persistent picture that survives
// while the box is hidden, and shows that picture from its top-left corner. A picture
// larger than the box gets scroll bars; it can be magnified 1 to 8 times, each pixel
// a square (Ctrl + wheel, Ctrl + plus / minus).
class PictureBox : public QAbstractScrollArea {
public:
    static constexpr int kMaxZoom = 8;

    explicit PictureBox(QWidget* parent);

    Image& picture() { return picture_; }
    const Image& picture() const { return picture_; }
    // Takes a new picture and shows it unmagnified from its top-left corner.
    void setPicture(Image picture);
    // Shows only `band` of the picture (a page of a sheet), as if it were the whole, from
    // its top-left corner; a null rectangle shows the whole picture again. A new picture
    // shows whole.
    void setBand(QRect band);

    // The distance field the picture shows in colour, as grey levels of the same size, or
    // an empty image for a picture that is no field. While one is set the box draws it as
    // an engine draws a field, white on black: sampled bilinearly at the zoom, through a
    // smooth step about one half one screen pixel wide; F switches to the picture itself
    // and back. A new picture has no field.
    void setField(Image field);
    bool showsEngineView() const { return !field_.isEmpty() && engineView_; }

    int zoom() const { return zoom_; }
    // Held within 1 to kMaxZoom. A box shown within a room (setRoom) grows or shrinks
    // to the magnified picture; the view stays on the same middle.
    void setZoom(int zoom);
    // The size that shows the whole picture at the present zoom: the picture plus a
    // margin of 4 pixels each way.
    QSize contentSize() const;
    // Sizes the box to show as much of the picture as `room` (from the box's top-left
    // corner) holds: the whole picture without scroll bars when it fits, otherwise the
    // room, or the picture plus the one scroll bar it needs.
    void setRoom(QSize room);

    // Handles the box's keys (Escape, Ctrl + plus / minus, F); whether the key was one.
    bool handleKey(QKeyEvent* event);

    // Called on a click on the picture: a left press and release both inside the view
    // (not on a scroll bar).
    std::function<void()> onClick;
    // Called on Escape.
    std::function<void()> onEscape;
    // Called with -1 on PageUp or Shift + wheel up, +1 on PageDown or Shift + wheel down;
    // when it gives true (a page was turned or there was none further), the key or the
    // wheel does nothing else; otherwise it scrolls as usual.
    std::function<bool(int)> onPage;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // Which scroll bars (across, down) a box of `box` size needs for the picture.
    std::pair<bool, bool> barsNeeded(QSize box) const;
    QSize fittingSize() const;
    void updateScrollBars();
    // The part of the picture shown: the band, or the whole picture.
    QRect shownPart() const;
    // Draws the exposed part `exposed` of the viewport from the field, as an engine would.
    void paintField(QPainter& p, const QRect& exposed, QPoint offset) const;

    Image picture_;
    Image field_;
    bool engineView_ = true;
    QRect band_;
    QSize room_;
    int zoom_ = 1;
    bool pressed_ = false;
};

// A single-line text box that reports gaining the focus, after it has handled it; when
// a mouse press gives the focus, after the press has placed the cursor, so that what the
// report does (selecting the whole text) is not undone by the press.
class TextBox : public QLineEdit {
public:
    explicit TextBox(QWidget* parent) : QLineEdit(parent) {}

    std::function<void()> onGotFocus;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool focusedByPress_ = false;
};

}  // namespace karuvo::window
