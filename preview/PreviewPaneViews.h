#pragma once

#include <QImage>
#include <QScrollArea>

class QLabel;

namespace korvane {

// A rendered page or image in a scroll area: zoomed (1.0 is the rendered size) or fitted to the
// width, and turned in quarter turns, because scans come in sideways.
class PageView : public QScrollArea {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent = nullptr);

    // A new page keeps the zoom (or fitting) and the turn of the previous one.
    void SetImage(const QImage& image);
    void Clear();
    void ZoomBy(double factor);
    void FitWidth();
    // A quarter turn clockwise.
    void Rotate();

    const QImage& Image() const { return image_; }
    double Zoom() const { return zoom_; }
    int Quarters() const { return quarters_; }
    // What is drawn: the image turned and scaled.
    QImage Drawn() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Update();

    QLabel* label_;
    QImage image_;
    double zoom_ = 1.0;
    bool fit_ = true;
    int quarters_ = 0;
};

}  // namespace korvane
