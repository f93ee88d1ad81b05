#pragma once

#include <QLabel>
#include <QWidget>

namespace karuvo::window {

// A small square in the colour that a colour read-out names, so that the user need
// not decode its blue-first digits. It follows the read-out's caption at each paint;
// a caption that names no colour leaves it empty.
class ColourSwatch : public QWidget {
public:
    // `readout` must outlive the swatch.
    ColourSwatch(const QLabel* readout, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QLabel* readout_;
};

}  // namespace karuvo::window
