#pragma once

#include <QLineEdit>
#include <QWidget>
#include <functional>

#include "platform/image.h"

namespace karuvo::window {

// A picture box: keeps what is drawn into it in a persistent picture that survives
// while the box is hidden, and shows that picture at its top-left corner.
class PictureBox : public QWidget {
public:
    explicit PictureBox(QWidget* parent);

    Image& picture() { return picture_; }
    const Image& picture() const { return picture_; }
    void setPicture(Image picture);

    // Called on a click: a left press and release both inside the box.
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Image picture_;
    bool pressed_ = false;
};

// A single-line text box that reports gaining the focus, after it has handled it.
class TextBox : public QLineEdit {
public:
    explicit TextBox(QWidget* parent) : QLineEdit(parent) {}

    std::function<void()> onGotFocus;

protected:
    void focusInEvent(QFocusEvent* event) override;
};

}  // namespace karuvo::window
